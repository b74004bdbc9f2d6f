#include "platform/ui/navigation/UINavigationItem.h"

#include "platform/ui/navigation/UIBarButtonItem.h"

namespace hx {

void UINavigationItem::setTitle(std::string title) {
    title_ = std::move(title);
    notify();
}

void UINavigationItem::setTitleView(std::shared_ptr<UIView> view) {
    titleView_ = std::move(view);
    notify();
}

std::shared_ptr<UIBarButtonItem> UINavigationItem::leftBarButtonItem() const {
    return left_.empty() ? nullptr : left_.front();
}

void UINavigationItem::setLeftBarButtonItem(std::shared_ptr<UIBarButtonItem> item, bool animated) {
    std::vector<std::shared_ptr<UIBarButtonItem>> items;
    if (item) items.push_back(std::move(item));
    setLeftBarButtonItems(std::move(items), animated);
}

std::shared_ptr<UIBarButtonItem> UINavigationItem::rightBarButtonItem() const {
    return right_.empty() ? nullptr : right_.front();
}

void UINavigationItem::setRightBarButtonItem(std::shared_ptr<UIBarButtonItem> item, bool animated) {
    std::vector<std::shared_ptr<UIBarButtonItem>> items;
    if (item) items.push_back(std::move(item));
    setRightBarButtonItems(std::move(items), animated);
}

void UINavigationItem::setLeftBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items,
                                             bool) {
    left_ = std::move(items);
    notify();
}

void UINavigationItem::setRightBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items,
                                              bool) {
    right_ = std::move(items);
    notify();
}

void UINavigationItem::setBackBarButtonItem(std::shared_ptr<UIBarButtonItem> item) {
    backItem_ = std::move(item);
    notify();
}

void UINavigationItem::setHidesBackButton(bool hides, bool) {
    hidesBackButton_ = hides;
    notify();
}

}  // namespace hx

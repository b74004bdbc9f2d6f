#include "platform/ui/navigation/UIToolbar.h"

#include <algorithm>

#include "platform/ui/navigation/UIBarButtonItem.h"

namespace hx {

namespace {

constexpr double kEdgeMargin = 8;

}  // namespace

UIToolbar::UIToolbar(const CGRect& frame) : BarBase(frame, Edge::Top) {}

void UIToolbar::setItems(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool animated) {
    items_ = std::move(items);
    setNeedsLayout();
    if (!weak_from_this().expired()) layoutIfNeeded();
    if (animated) {
        // The new items fade in.
        for (const auto& view : itemViews_)
            UIView::performWithoutAnimation([&] { view->setAlpha(0); });
        UIView::animateWithDuration(0.25, [views = itemViews_] {
            for (const auto& view : views) view->setAlpha(1);
        });
    }
}

void UIToolbar::layoutSubviews() {
    BarBase::layoutSubviews();
    for (const auto& view : itemViews_)
        if (view->superview().get() == this) view->removeFromSuperview();
    itemViews_.clear();

    const CGRect b = bounds();
    double fixed = 0;
    int flexible = 0;
    for (const auto& item : items_) {
        if (item->isFlexibleSpace())
            ++flexible;
        else
            fixed += item->preferredWidth();
    }
    double free = std::max(0.0, b.width() - 2 * kEdgeMargin - fixed);
    double flexibleWidth = flexible > 0 ? free / flexible : 0;
    double x = b.minX() + kEdgeMargin;
    for (const auto& item : items_) {
        double width = item->isFlexibleSpace() ? flexibleWidth : item->preferredWidth();
        if (std::shared_ptr<UIView> view = item->view()) {
            item->applyBarTint(tintColor());
            CGRect frame = view->frame();
            double height = std::min(frame.height() > 0 ? frame.height() : b.height(), b.height());
            view->setFrame(CGRectMake(x, b.minY() + (b.height() - height) / 2, width, height));
            addSubview(view);
            itemViews_.push_back(view);
        }
        x += width;
    }
}

}  // namespace hx

#pragma once
// What a view controller shows in the navigation bar while it is on top: a title or a title
// view, bar button items on either side, and whether the back button shows.
//
// Threads: main thread only.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hx {

class UIView;
class UIBarButtonItem;

class UINavigationItem {
  public:
    explicit UINavigationItem(std::string title = {}) : title_(std::move(title)) {}

    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    // Shown in place of the title when set.
    const std::shared_ptr<UIView>& titleView() const { return titleView_; }
    void setTitleView(std::shared_ptr<UIView> view);

    std::shared_ptr<UIBarButtonItem> leftBarButtonItem() const;
    void setLeftBarButtonItem(std::shared_ptr<UIBarButtonItem> item, bool animated = false);
    std::shared_ptr<UIBarButtonItem> rightBarButtonItem() const;
    void setRightBarButtonItem(std::shared_ptr<UIBarButtonItem> item, bool animated = false);
    // Left items from the left edge inwards, right items from the right edge inwards.
    const std::vector<std::shared_ptr<UIBarButtonItem>>& leftBarButtonItems() const {
        return left_;
    }
    void setLeftBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items,
                               bool animated = false);
    const std::vector<std::shared_ptr<UIBarButtonItem>>& rightBarButtonItems() const {
        return right_;
    }
    void setRightBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items,
                                bool animated = false);

    // The item the next screen's back button uses; its title, when set, replaces this title.
    const std::shared_ptr<UIBarButtonItem>& backBarButtonItem() const { return backItem_; }
    void setBackBarButtonItem(std::shared_ptr<UIBarButtonItem> item);
    bool hidesBackButton() const { return hidesBackButton_; }
    void setHidesBackButton(bool hides, bool animated = false);

    // For the bar showing this item: called after every change.
    void setChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }

  private:
    void notify() {
        if (changed_) changed_();
    }

    std::string title_;
    std::shared_ptr<UIView> titleView_;
    std::vector<std::shared_ptr<UIBarButtonItem>> left_;
    std::vector<std::shared_ptr<UIBarButtonItem>> right_;
    std::shared_ptr<UIBarButtonItem> backItem_;
    bool hidesBackButton_ = false;
    std::function<void()> changed_;
};

}  // namespace hx

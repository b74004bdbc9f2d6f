#pragma once
// The bar at the top of a navigation controller: the top item's title (or title view) in the
// middle, its bar button items at the sides, and a back button to the previous item when there
// is one and the top item does not hide it.
//
// Memory: the items belong to their view controllers; the navigation controller that owns
// the bar keeps them alive while they are shown and clears them before it goes.
//
// Threads: main thread only.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/navigation/BarBase.h"

namespace hx {

class UINavigationItem;
class UIButton;
class UILabel;
class UIBarButtonItem;

class UINavigationBar : public ui::BarBase {
  public:
    static constexpr double kHeight = 44;

    explicit UINavigationBar(const CGRect& frame = CGRectMake(0, 0, 320, kHeight));
    ~UINavigationBar() override;

    // The item shown and the one below it (for the back button); either may be null.
    void setItems(UINavigationItem* topItem, UINavigationItem* backItem);
    UINavigationItem* topItem() const { return topItem_; }
    UINavigationItem* backItem() const { return backItem_; }

    // Runs when the back button is pressed.
    void setBackAction(std::function<void()> action) { backAction_ = std::move(action); }
    // The back button while one shows; null otherwise.
    std::shared_ptr<UIButton> backButton() const;
    // The label showing the title when the top item has no title view.
    const std::shared_ptr<UILabel>& titleLabel() const { return titleLabel_; }

    void layoutSubviews() override;

  protected:
    void styleDidChange() override;

  private:
    void itemsChanged();
    double placeItems(const std::vector<std::shared_ptr<UIBarButtonItem>>& items, bool fromLeft,
                      double edge);

    UINavigationItem* topItem_ = nullptr;
    UINavigationItem* backItem_ = nullptr;
    std::function<void()> backAction_;
    std::shared_ptr<UIButton> backButton_;
    std::shared_ptr<UILabel> titleLabel_;
    // The views in the bar for the current items, and the title or title view shown.
    std::vector<std::shared_ptr<UIView>> itemViews_;
    std::shared_ptr<UIView> titleView_;
};

}  // namespace hx

#pragma once
// A bar of button items, normally at the bottom of a navigation controller. Fixed spaces take
// their width, flexible spaces share what is left equally, and the other items their natural
// width, from left to right.
//
// Threads: main thread only.

#include <memory>
#include <vector>

#include "platform/ui/navigation/BarBase.h"

namespace hx {

class UIBarButtonItem;

class UIToolbar : public ui::BarBase {
  public:
    static constexpr double kHeight = 44;

    explicit UIToolbar(const CGRect& frame = CGRectMake(0, 0, 320, kHeight));

    const std::vector<std::shared_ptr<UIBarButtonItem>>& items() const { return items_; }
    void setItems(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool animated = false);

    void layoutSubviews() override;

  private:
    std::vector<std::shared_ptr<UIBarButtonItem>> items_;
    std::vector<std::shared_ptr<UIView>> itemViews_;
};

}  // namespace hx

#pragma once
// A view that draws itself with the 2D context: a filled rectangle with alpha, a stroked circle
// and a grid of lines, as a custom view class that interface files can name.

#include "platform/ui/view/UIView.h"

namespace demo {

class DemoDrawingView : public hx::UIView {
  public:
    using hx::UIView::UIView;
    void drawRect(const hx::CGRect& rect) override;
};

}  // namespace demo

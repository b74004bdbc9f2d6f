#pragma once
// The viewfinder overlay laid over the live preview: black bands outside the chosen picture
// format and, when enabled, a 3×3 composition grid over the visible picture. Setting a
// property does not redraw by itself; the preview asks for a redraw with every frame.
//
// Threads: main thread only.

#include <cstdint>

#include "platform/ui/view/UIView.h"

namespace hx::app {

class hxOverlayView : public UIView {
  public:
    explicit hxOverlayView(const CGRect& frame = CGRectZero);

    int32_t Aspect() const { return aspect_; }
    void setAspect(int32_t aspect) { aspect_ = aspect; }
    bool maskTranslucent() const { return maskTranslucent_; }
    void setMaskTranslucent(bool translucent) { maskTranslucent_ = translucent; }
    int32_t Grid() const { return grid_; }
    void setGrid(int32_t grid) { grid_ = grid; }

    void drawRect(const CGRect& rect) override;

  private:
    int32_t aspect_ = 0;
    bool maskTranslucent_ = false;
    int32_t grid_ = 0;
};

}  // namespace hx::app

// Placeholder until the overlay lands.
#include "app/camera/hxOverlayView.h"

namespace hx::app {
hxOverlayView::hxOverlayView(const CGRect& frame) : UIView(frame) {}
void hxOverlayView::drawRect(const CGRect& rect) {}
}  // namespace hx::app

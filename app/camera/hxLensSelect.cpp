// Placeholder until the lens selector lands.
#include "app/camera/hxLensSelect.h"

namespace hx::app {
hxLensSelect::hxLensSelect(const CGRect& frame) : UIView(frame) {}
void hxLensSelect::setOri(int64_t orientation) {}
void hxLensSelect::immediateHide() {}
void hxLensSelect::showHidePresets() {}
void hxLensSelect::drawRect(const CGRect& rect) {}
void hxLensSelect::touchesBegan(const UITouchSet&, UIEvent*) {}
void hxLensSelect::touchesMoved(const UITouchSet&, UIEvent*) {}
void hxLensSelect::touchesEnded(const UITouchSet&, UIEvent*) {}
void hxLensSelect::touchesCancelled(const UITouchSet&, UIEvent*) {}
}  // namespace hx::app

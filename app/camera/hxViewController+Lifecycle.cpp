// Placeholder until the lifecycle lands.
#include "app/camera/hxViewController.h"

namespace hx::app {
void hxViewController::viewWillAppear(bool animated) {}
void hxViewController::viewWillDisappear(bool animated) {}
void hxViewController::goBackground() {}
void hxViewController::goForeground() {}
void hxViewController::storeCurrentState(int64_t state) { _inBack = state == 1; }
void hxViewController::shortCutAction(int64_t action) {}
bool hxViewController::checkCameraPerm() { return true; }
bool hxViewController::checkCL() { return true; }
void hxViewController::presentAlert(const char*, const char*, const char*) {}
void hxViewController::removeTemporaryFiles() {}
}  // namespace hx::app

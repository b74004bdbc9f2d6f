// Placeholder until the layout lands.
#include "app/camera/hxViewController.h"

namespace hx::app {
void hxViewController::computeGeometry() {}
void hxViewController::createViews() {}
void hxViewController::arrangeViews() {}
void hxViewController::buildSettingPanel() {}
void hxViewController::doRotateUI(int64_t orientation) {}
void hxViewController::setupCoreMotion() {}
void hxViewController::judgeAcceleration(double x, double y) {}
}  // namespace hx::app

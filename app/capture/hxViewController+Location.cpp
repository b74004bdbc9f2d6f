// Placeholder until location tagging lands.
#include "app/camera/hxViewController.h"

namespace hx::app {
void hxViewController::startLocation() {}
void hxViewController::stopLocation() {}
}  // namespace hx::app

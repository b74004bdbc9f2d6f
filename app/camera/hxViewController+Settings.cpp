// Placeholder until the settings land.
#include "app/camera/hxViewController.h"

namespace hx::app {
void hxViewController::loadSettings() {}
void hxViewController::saveSettings() {}
void hxViewController::settingAction(UIControl*) {}
void hxViewController::closeSetting(UIControl*) {}
void hxViewController::tiffAction(UIControl*) {}
void hxViewController::heicAction(UIControl*) {}
void hxViewController::geoTagAction(UIControl*) {}
void hxViewController::gridAction(UIControl*) {}
void hxViewController::setGridSetting(bool grid) {}
}  // namespace hx::app

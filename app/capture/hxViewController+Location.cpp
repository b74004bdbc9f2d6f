// Placeholder until location tagging lands.
#include "app/camera/hxViewController.h"

namespace hx::app {
void hxViewController::startLocation() {}
void hxViewController::stopLocation() {}
void hxViewController::didUpdateLocations(LocationManager&, const std::vector<Location>&) {}
void hxViewController::didFailWithError(LocationManager&, LocationError) {}
void hxViewController::didChangeAuthorization(LocationManager&, AuthorizationStatus) {}
}  // namespace hx::app

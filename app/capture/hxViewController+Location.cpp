// Location tagging: the location service runs while geotagging is on, so that processing can
// read the current position; refusals and failures turn geotagging off again, with an alert.
//
// Threads: main thread only; the manager calls its delegate on the main queue.

#include "app/camera/Localized.h"
#include "app/camera/hxViewController.h"
#include "platform/ui/alerts/UIAlertController.h"

namespace hx::app {

namespace {

constexpr double kDistanceFilterMetres = 10.0;

}  // namespace

void hxViewController::startLocation() {
    if (!locationManager) locationManager = std::make_unique<LocationManager>();
    if (!LocationManager::locationServicesEnabled()) {
        _geoTag = false;
        _updateLocation = false;
        if (_geoTagButton) _geoTagButton->setSelected(false);
        saveSettings();
        presentNotice("location_disable");
        stopLocation();
        return;
    }
    locationManager->setDelegate(this);
    locationManager->setDesiredAccuracy(kCLLocationAccuracyBest);
    locationManager->setDistanceFilter(kDistanceFilterMetres);
    locationManager->startUpdatingLocation();
}

void hxViewController::stopLocation() {
    if (locationManager) locationManager->stopUpdatingLocation();
    locationManager.reset();
    _updateLocation = false;
}

void hxViewController::didUpdateLocations(LocationManager&, const std::vector<Location>&) {
    _updateLocation = true;
}

void hxViewController::didChangeAuthorization(LocationManager& manager, AuthorizationStatus) {
    _loc_determinded = manager.authorizationStatus() != AuthorizationStatus::NotDetermined;
    manager.requestWhenInUseAuthorization();
}

void hxViewController::didFailWithError(LocationManager&, LocationError error) {
    // Before the user has answered, a refusal only means that nobody was asked yet.
    if (!_loc_determinded) return;
    const char* message = "location_cantget";
    if (error.code == kCLErrorDenied) {
        stopLocation();
        message = "location_notallow";
    }
    _geoTag = false;
    if (_geoTagButton) _geoTagButton->setSelected(false);
    saveSettings();
    presentNotice(message);
}

void hxViewController::presentNotice(const char* messageKey) {
    const std::string message = localizedString(messageKey);
    if (message.empty()) return;
    auto alert =
        UIAlertController::alertControllerWithTitle("", message, UIAlertControllerStyle::Alert);
    alert->addAction(UIAlertAction::actionWithTitle(localizedString("authorize_ph_close"),
                                                    UIAlertActionStyle::Default, nullptr));
    std::shared_ptr<UIViewController> presenter = shared_from_this();
    while (presenter->presentedViewController()) presenter = presenter->presentedViewController();
    presenter->presentViewController(alert, true);
}

}  // namespace hx::app

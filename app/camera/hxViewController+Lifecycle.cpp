// The camera screen's part of the application lifecycle: appearing and disappearing, going to
// the background and coming back, the quick actions, and the camera and photo-library
// permission checks with their alerts.

#include <filesystem>
#include <system_error>

#include "app/camera/Localized.h"
#include "app/camera/hxViewController.h"
#include "platform/capture/CaptureAuthorization.h"
#include "platform/paths/Paths.h"
#include "platform/photos/library/PhotoLibrary.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/alerts/UIAlertController.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/sharing/NSURL.h"
#include "platform/ui/sharing/OpenURL.h"
#include "platform/ui/window/UIApplication.h"
#include "platform/ui/window/UIWindow.h"
#include "platform/ui/window/UIWindowScene.h"

namespace hx::app {

namespace {

// The hardware shutter is wired again a moment after a return to the foreground, once the
// system has settled the volume.
constexpr double kVolumeNotificationDelay = 0.2;

}  // namespace

void hxViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    _drawGL = true;
    view()->setHidden(false);
    // The window gives its root view the whole screen; a tablet's screen is a centred column.
    if (_iPad) view()->setFrame(CGRectMake(_columnX, 0, _screenWidth, _screenHeight));
    doRotateUI(static_cast<int64_t>(UIWindowScene::mainScene().interfaceOrientation()));
    observeLibrary();
    if (_session && !_session->isRunning()) {
        std::weak_ptr<bool> alive = alive_;
        RunLoop::main().post([this, alive] {
            // A session left without a camera (none found) stays stopped.
            if (alive.lock() && _session && !_session->isRunning() && _device)
                _session->startRunning();
        });
    }
}

void hxViewController::viewWillDisappear(bool animated) {
    UIViewController::viewWillDisappear(animated);
    _drawGL = false;
}

void hxViewController::goBackground() {
    _drawGL = false;
    storeCurrentState(1);
}

void hxViewController::goForeground() {
    _drawGL = true;
    previewDirty_ = true;
    if (_firstPass && checkCameraPerm()) {
        _privCamera = true;
        setupFirstTime();
        if (!_firstPass) {
            // The camera came late (access granted meanwhile): the preview view is new and the
            // controls that follow the device catch up.
            placePreviewView();
            if (_flashSlider) _flashSlider->setEnabled(_hasFlash);
            if (_evButton) _evButton->setHidden(!_hasCustomExposure);
            changeToneCurve(_currentFilm);
            waitForACamera();
        }
    }
    _privPhoto = checkCL();
    setupAudio();
    storeCurrentState(0);
    RunLoop::main().cancelPerformRequests(this);
    std::weak_ptr<bool> alive = alive_;
    RunLoop::main().postAfter(
        kVolumeNotificationDelay,
        [this, alive] {
            if (alive.lock()) setVolumeNotification();
        },
        this);
    loadSettings();
    setShutter(_shutterType);
    if (_pvButton) _pvButton->setEnabled(false);
    if (_privPhoto) searchPhotoGroupsInBackground();
}

void hxViewController::storeCurrentState(int64_t state) {
    _inBack = state == 1;
}

void hxViewController::shortCutAction(int64_t action) {
    // Close the browsing screens first, without animation.
    std::shared_ptr<UIViewController> top;
    if (auto window = UIApplication::sharedApplication().keyWindow())
        top = window->rootViewController();
    while (top && top->presentedViewController()) top = top->presentedViewController();
    // Dismissed from here, the browser goes with everything over it (a re-filter screen
    // included, which then tells the camera it closes).
    if (top && top.get() != this && _nav && presentedViewController() == _nav) {
        dismissViewControllerAnimated(false);
    }
    // The position in use, not the session's first input: a session without a device has no
    // input to ask.
    const bool back = _currentCameraPosition == kPositionBack;
    if ((action == 1 && !back) || (action == 2 && back)) switchCameraTapped(nullptr);
}

bool hxViewController::checkCameraPerm() {
    auto status = capture::CaptureAuthorization::current(capture::AVMediaTypeVideo);
    if (status == capture::AVAuthorizationStatusRestricted ||
        status == capture::AVAuthorizationStatusDenied) {
        presentAlert("authorize_camera_titile", "authorize_camera_close", "authorize_camera_open");
        return false;
    }
    return true;
}

bool hxViewController::checkCL() {
    using photos::AuthorizationStatus;
    bool result = true;
    switch (photos::PhotoLibrary::authorizationStatus()) {
        case AuthorizationStatus::Restricted:
        case AuthorizationStatus::Denied:
            result = false;
            break;
        case AuthorizationStatus::NotDetermined: {
            // The answer comes later, on the library's queue: it lands in the permission
            // field on the main queue, since this call has long returned by then.
            std::weak_ptr<bool> alive = alive_;
            photos::PhotoLibrary::requestAuthorization([this, alive](AuthorizationStatus status) {
                const bool allowed = status == AuthorizationStatus::Authorized ||
                                     status == AuthorizationStatus::Limited;
                RunLoop::main().post([this, alive, allowed] {
                    if (alive.lock()) _privPhoto = allowed;
                });
            });
            break;
        }
        case AuthorizationStatus::Authorized:
        case AuthorizationStatus::Limited:
            break;
    }
    if (!result) presentAlert("authorize_ph_titile", "authorize_ph_close", "authorize_ph_open");
    return result;
}

void hxViewController::presentAlert(const char* messageKey, const char* closeKey,
                                    const char* openKey) {
    auto alert = UIAlertController::alertControllerWithTitle("", localizedString(messageKey),
                                                             UIAlertControllerStyle::Alert);
    alert->addAction(UIAlertAction::actionWithTitle(localizedString(closeKey),
                                                    UIAlertActionStyle::Default, nullptr));
    alert->addAction(UIAlertAction::actionWithTitle(
        localizedString(openKey), UIAlertActionStyle::Cancel, [](UIAlertAction&) {
            if (auto url = NSURL::URLWithString(UIApplicationOpenSettingsURLString))
                UIApplication::sharedApplication().openURL(*url);
        }));
    // Present over whatever is on top, so a second alert (camera and library both denied)
    // waits its turn instead of being refused.
    std::shared_ptr<UIViewController> presenter = shared_from_this();
    while (presenter->presentedViewController()) presenter = presenter->presentedViewController();
    presenter->presentViewController(alert, true);
}

void hxViewController::removeTemporaryFiles() {
    // The camera's own temporary folder only: never the system's, which others share.
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path folder = fs::path(paths::cacheDirectory()) / "camera-tmp";
    for (const auto& entry : fs::directory_iterator(folder, ec)) fs::remove_all(entry.path(), ec);
}

}  // namespace hx::app

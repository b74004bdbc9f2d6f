// A camera that comes and goes while the screen is open. When the session's camera goes away
// the session is interrupted: a black panel with a message covers the preview and the shutter
// is disabled, while every other control, the photo browser included, keeps working. A photo
// already taken is still processed and saved; one asked for too late ends with an error that
// releases the shutter (+Shutter). When the same camera comes back the session resumes by
// itself and the panel goes; when another camera appears instead, the session is rebuilt on
// the camera the screen's position and lens ask for (or the other position's). A screen that
// started without a camera waits the same way for the first one. Not every kind of camera
// announces its arrival (a V4L2 node appears silently), so while the screen waits, the cameras
// are also listed again every few seconds.

#include "app/camera/Localized.h"
#include "app/camera/hxViewController.h"
#include "platform/capture/CameraBackend.h"
#include "platform/log/Log.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/controls/UILabel.h"

namespace hx::app {

using namespace hx::capture;

namespace {

// How the disabled shutter looks.
constexpr float kGoneShutterAlpha = 0.4f;
// How often the cameras are listed again while the screen waits for one.
constexpr double kCameraLookSeconds = 2;

bool living(const std::weak_ptr<bool>& alive) {
    auto flag = alive.lock();
    return flag && *flag;
}

}  // namespace

void hxViewController::observeInterruptions() {
    if (!interruptionTokens_.empty()) return;
    NotificationCenter& center = NotificationCenter::defaultCenter();
    std::weak_ptr<bool> alive = alive_;
    auto observe = [&](const char* name, std::function<void(const Notification&)> handle) {
        interruptionTokens_.push_back(center.addObserverForName(
            name, nullptr, &DispatchQueue::main(),
            [alive, handle = std::move(handle)](const Notification& notification) {
                if (living(alive)) handle(notification);
            }));
    };
    observe(AVCaptureSessionWasInterruptedNotification,
            [this](const Notification& notification) { sessionWasInterrupted(notification); });
    observe(AVCaptureSessionInterruptionEndedNotification,
            [this](const Notification& notification) { sessionInterruptionEnded(notification); });
    observe(AVCaptureDeviceWasConnectedNotification,
            [this](const Notification&) { cameraWasConnected(); });
}

void hxViewController::stopObservingInterruptions() {
    for (NotificationCenter::ObserverToken token : interruptionTokens_)
        NotificationCenter::defaultCenter().removeObserver(token);
    interruptionTokens_.clear();
}

void hxViewController::sessionWasInterrupted(const Notification& notification) {
    if (!_session || notification.object != _session.get()) return;
    const auto reason =
        static_cast<int64_t>(notification.numberValue(AVCaptureSessionInterruptionReasonKey));
    if (reason != AVCaptureSessionInterruptionReasonVideoDeviceNotAvailable) return;
    hxLog("the camera went away; waiting for it to come back");
    showCameraGone(true);
    lookForCamerasLater();
}

void hxViewController::sessionInterruptionEnded(const Notification& notification) {
    if (!_session || notification.object != _session.get()) return;
    hxLog("the camera is back");
    showCameraGone(false);
}

void hxViewController::waitForACamera() {
    if (!_privCamera || _device) return;
    showCameraGone(true, "camera_none");
    lookForCamerasLater();
}

void hxViewController::lookForCamerasLater() {
    if (_lookingForCameras) return;
    _lookingForCameras = true;
    std::weak_ptr<bool> alive = alive_;
    RunLoop::main().postAfter(kCameraLookSeconds, [this, alive] {
        if (!living(alive)) return;
        _lookingForCameras = false;
        if (!_cameraGone) return;
        bool listed = false;
        for (const auto& device : CameraBackend::current()->devices())
            listed = listed || (device && device->isConnected() && device != _device);
        if (listed) cameraWasConnected();
        if (_cameraGone) lookForCamerasLater();
    });
}

void hxViewController::cameraWasConnected() {
    // Waiting for a camera: the session's camera went away, or none was found at the start.
    if (!_cameraGone || !_privCamera || !_session) return;
    // The session's own camera coming back ends the interruption by itself.
    if (_device && _device->isConnected()) return;
    const bool replacing = _device != nullptr;
    const int64_t wanted = _currentCameraPosition;
    changeCameraWithPosition(wanted, _currentLens);
    if (!_device) {
        // A camera at the other position is better than none; a back camera with the chosen
        // lens missing falls back to the wide lens.
        const int64_t other = wanted == kPositionBack ? kPositionFront : kPositionBack;
        changeCameraWithPosition(other, other == kPositionBack ? kLensWide : _currentLens);
    }
    if (!_device && wanted == kPositionBack && _currentLens != kLensWide)
        changeCameraWithPosition(kPositionBack, kLensWide);
    if (!_device) return;
    hxLog(
        replacing ? "camera \"%s\" is offered instead" : "camera \"%s\" is connected and taken up",
        _device->localizedName().c_str());
    setupOfflineWidth(_photoWidth, _photoHeight);
    showCameraGone(false);
}

void hxViewController::showCameraGone(bool gone, const char* messageKey) {
    const bool wasGone = _cameraGone;
    _cameraGone = gone;
    if (_shutterButton) {
        _shutterButton->setEnabled(!gone);
        _shutterButton->setAlpha(gone ? kGoneShutterAlpha : 1);
    }
    if (!isViewLoaded()) return;
    // The focus and exposure marks mean nothing without a camera; they come back centred.
    if (_afImage) _afImage->setHidden(gone);
    if (gone && _aeImage) _aeImage->setHidden(true);
    if (!gone) {
        if (_cameraGoneView) _cameraGoneView->setHidden(true);
        if (wasGone && _device) touchReset();
        previewDirty_ = true;
        return;
    }
    if (!_cameraGoneView) {
        _cameraGoneView = UIView::make(previewFrame());
        _cameraGoneView->setBackgroundColor(UIColor::blackColor());
        _cameraGoneView->setUserInteractionEnabled(false);
        const CGRect bounds = _cameraGoneView->bounds();
        _cameraGoneLabel =
            UILabel::make(CGRectMake(16, 0, bounds.size.width - 32, bounds.size.height));
        _cameraGoneLabel->setNumberOfLines(0);
        _cameraGoneLabel->setTextColor(UIColor::whiteColor());
        _cameraGoneLabel->setTextAlignment(NSTextAlignment::Center);
        _cameraGoneView->addSubview(_cameraGoneLabel);
    }
    _cameraGoneLabel->setText(localizedString(messageKey));
    _cameraGoneView->setFrame(previewFrame());
    _cameraGoneView->setHidden(false);
    // Over the live preview (or its stand-in), under the overlay and the controls.
    const std::shared_ptr<UIView>& root = view();
    if (_cameraGoneView->superview() != root) {
        const std::shared_ptr<UIView> preview =
            metalView ? std::shared_ptr<UIView>(metalView) : _previewPlaceholder;
        if (preview && preview->superview() == root)
            root->insertSubviewAboveSubview(_cameraGoneView, preview);
        else
            root->insertSubview(_cameraGoneView, 0);
    }
}

}  // namespace hx::app

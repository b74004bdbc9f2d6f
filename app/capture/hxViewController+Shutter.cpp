// The shutter: the on-screen button in its three trigger styles, the hardware keys (capture
// events on newer systems, the system volume's announcements on older ones), the guards that
// limit the shots in flight, the busy display, the hand-over of each photo to processing, and
// the auto review of the last picture.
//
// Threads: everything here runs on the main thread except captureOutputDidFinishProcessingPhoto,
// which the photo output calls on its own queue; whatever it does to views goes through the
// main queue.

#include <memory>
#include <mutex>
#include <string>

#include "app/camera/hxViewController.h"
#include "platform/audio/SystemVolume.h"
#include "platform/device/UIDevice.h"
#include "platform/log/Log.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/drawing/UIImage.h"

namespace hx::app {

namespace {

constexpr double kLongPressSeconds = 0.5;
constexpr int kVolumeViewTag = 111;
// The first system version whose hardware keys arrive as capture events.
constexpr const char* kCaptureEventSystemVersion = "17.2";

// A volume at either end of the range is kept just inside it, so that a key press at that end,
// which leaves the volume where it was, still differs from the reference and fires.
float volumeReference(float volume) {
    if (volume == 0.0f) return 0.05f;
    if (volume == 1.0f) return 0.95f;
    return volume;
}

// The user's flash choice (0 off, 1 auto, 2 on) on one photo's settings; other values leave the
// settings as they are.
void applyFlashTable(capture::CapturePhotoSettings& settings, int32_t flash) {
    switch (flash) {
        case 0:
            settings.setFlashMode(capture::AVCaptureFlashModeOff);
            break;
        case 1:
            settings.setFlashMode(capture::AVCaptureFlashModeAuto);
            break;
        case 2:
            settings.setFlashMode(capture::AVCaptureFlashModeOn);
            break;
        default:
            break;
    }
}

// Whether the controller that handed out this flag still lives.
bool living(const std::weak_ptr<bool>& alive) {
    auto flag = alive.lock();
    return flag && *flag;
}

}  // namespace

struct hxViewController::ShotGate {
    std::mutex mutex;
    hxViewController* owner = nullptr;
};

namespace {

// Releases the busy state of a capture that brought no photo, so that the shutter works again.
void releaseAfterFailure(hxViewController& camera,
                         const std::optional<capture::CaptureError>& error,
                         std::weak_ptr<bool> alive) {
    const std::string why = error ? error->localizedDescription : "no photo";
    hxLog("capture failed: %s", why.c_str());
    DispatchQueue::main().async([&camera, alive] {
        if (!living(alive)) return;
        if (camera._hud) camera._hud->setHidden(true);
        if (camera._indicator) camera._indicator->stopAnimating();
        camera._process = false;
    });
}

// Hands a photo to the processing variant for the film and format: a colour film (above 8) its
// own, else HEIC when that is on, else JPEG or TIFF.
void handOverPhoto(hxViewController& camera, const capture::CapturePhotoRef& photo, int32_t film,
                   bool heic) {
    if (film > 8)
        camera.imageProcessColor(photo);
    else if (heic)
        camera.imageProcessHEIC(photo);
    else
        camera.imageProcess(photo);
}

// The delegate of one capture: hands the photo to the controller while its gate is open, then
// goes (the photo output calls it exactly once). The film and the format are those of the press,
// read on the main thread, so the photo queue reads no setting the main thread may be changing.
class ShotDelegate : public capture::CapturePhotoCaptureDelegate {
  public:
    ShotDelegate(std::shared_ptr<hxViewController::ShotGate> gate, std::weak_ptr<bool> alive,
                 int32_t film, bool heic)
        : gate_(std::move(gate)), alive_(std::move(alive)), film_(film), heic_(heic) {}

    void captureOutputDidFinishProcessingPhoto(
        capture::CapturePhotoOutput&, const capture::CapturePhotoRef& photo,
        const std::optional<capture::CaptureError>& error) override {
        {
            std::lock_guard lock(gate_->mutex);
            if (hxViewController* camera = gate_->owner) {
                if (error || !photo || !photo->pixelBuffer())
                    releaseAfterFailure(*camera, error, alive_);
                else
                    handOverPhoto(*camera, photo, film_, heic_);
            }
        }
        delete this;
    }

  private:
    std::shared_ptr<hxViewController::ShotGate> gate_;
    std::weak_ptr<bool> alive_;
    int32_t film_;
    bool heic_;
};

}  // namespace

void hxViewController::closeShotGate() {
    if (!shotGate_) return;
    std::lock_guard lock(shotGate_->mutex);
    shotGate_->owner = nullptr;
}

// ---- wiring

void hxViewController::wireShutter() {
    std::weak_ptr<hxViewController> self =
        std::static_pointer_cast<hxViewController>(weak_from_this().lock());
    if (_shutterButton) {
        _shutterButton->addTarget(self, &hxViewController::shutterRelease,
                                  UIControlEventTouchUpInside);
        _shutterButton->addTarget(self, &hxViewController::shutterTap, UIControlEventTouchDown);
    }
    _longPress =
        std::make_shared<UILongPressGestureRecognizer>(self, &hxViewController::longPressedHandler);
    _longPress->setMinimumPressDuration(kLongPressSeconds);
    setShutter(_shutterType);
}

void hxViewController::setShutter(int32_t shutterType) {
    if (!_shutterButton || !_longPress) return;
    if (shutterType == 2) {
        // Added once: a second recogniser would fire twice for one press.
        for (const auto& recognizer : _shutterButton->gestureRecognizers())
            if (recognizer == _longPress) return;
        _shutterButton->addGestureRecognizer(_longPress);
    } else if (shutterType == 0 || shutterType == 1) {
        _shutterButton->removeGestureRecognizer(_longPress.get());
    }
}

void hxViewController::setupHardwareShutter() {
    if (UIDevice::currentDevice().systemVersionIsAtLeast(kCaptureEventSystemVersion)) {
        hxLog("17.2");
        std::weak_ptr<bool> alive = alive_;
        _captureInteraction = capture::CaptureEventInteraction::initWithEventHandler(
            [this, alive](const capture::CaptureEvent& event) {
                if (living(alive) && event.phase() == capture::AVCaptureEventPhaseBegan)
                    shutter(nullptr);
            });
        return;
    }
    // An off-screen volume view: on a phone its presence keeps the system's volume display from
    // covering the screen at every key press.
    _volumeView = UIView::make(CGRectMake(0, -100, 0, 10));
    _volumeView->setUserInteractionEnabled(false);
    _volumeView->setTag(kVolumeViewTag);
    _volumeView->sizeToFit();
    view()->addSubview(_volumeView);
    observeVolume(kSystemVolumeDidChangeNotification);
    updateLaunchVol();
}

void hxViewController::observeVolume(const char* name) {
    // Delivered on the main queue whichever thread changed the volume. The registration stays
    // for the life of the process; once the controller is gone its block does nothing.
    std::weak_ptr<bool> alive = alive_;
    NotificationCenter::defaultCenter().addObserverForName(
        name, nullptr, &DispatchQueue::main(), [this, alive](const Notification& notification) {
            if (living(alive)) volumeChanged(notification);
        });
}

void hxViewController::setVolumeNotification() {
    if (UIDevice::currentDevice().systemVersionIsAtLeast(kCaptureEventSystemVersion)) return;
    // Added at every return to the foreground and never removed: a press then arrives more than
    // once, and the guards of shutter() let only the first through.
    observeVolume(kSystemVolumeDidChangeLegacyNotification);
}

// ---- triggers

void hxViewController::shutterRelease(UIControl*) {
    if (_shutterType == 0) shutter(nullptr);
}

void hxViewController::shutterTap(UIControl*) {
    if (_shutterType == 1) shutter(nullptr);
}

void hxViewController::longPressedHandler(UIGestureRecognizer* recognizer) {
    if (_shutterType == 2 && recognizer && recognizer->state() == UIGestureRecognizerState::Began)
        shutter(nullptr);
}

bool hxViewController::shutterAvailable() {
    // The camera screen in front: nothing presented over it (an alert, the browser, the
    // re-filter screen), and a running session with a camera that is there and a photo output.
    if (presentedViewController()) return false;
    if (!isViewLoaded() || !view()->window()) return false;
    // A camera that went away takes no photo until one is back.
    return _session && _session->isRunning() && _device && _photoOutput && !_cameraGone;
}

void hxViewController::shutter(UIControl*) {
    if (!_privPhoto) {
        checkCL();
        return;
    }
    if (_process.load() || _processcounter.load() > 1) return;
    if (!shutterAvailable()) {
        hxLog("shutter ignored: the camera screen is not in front or no camera is running");
        return;
    }
    // Set before anything can call back, so that the photo's arrival on the photo output's
    // queue always finds the flag raised.
    _process = true;
    if (_hud) _hud->setHidden(false);
    if (_indicator) _indicator->startAnimating();
    if (_resultView) _resultView->setHidden(true);

    image::PropertyDictionary format;
    format.set(capture::kCVPixelBufferPixelFormatTypeKey,
               static_cast<int64_t>(capture::kCVPixelFormatType_32BGRA));
    auto settings = capture::CapturePhotoSettings::photoSettingsWithFormat(format);
    if (_hasFlash) applyFlashTable(*settings, _currentFlash);
    if (!shotGate_) {
        shotGate_ = std::make_shared<ShotGate>();
        shotGate_->owner = this;
    }
    _photoOutput->capturePhotoWithSettings(
        settings, new ShotDelegate(shotGate_, alive_, _currentFilm, _heic));
}

// ---- the photo

void hxViewController::captureOutputDidFinishProcessingPhoto(
    capture::CapturePhotoOutput&, const capture::CapturePhotoRef& photo,
    const std::optional<capture::CaptureError>& error) {
    // Shutter presses go through a per-capture delegate; this is the same hand-over for a photo
    // delivered to the controller itself, with the settings as they are now.
    if (error || !photo || !photo->pixelBuffer())
        releaseAfterFailure(*this, error, alive_);
    else
        handOverPhoto(*this, photo, _currentFilm, _heic);
}

// ---- auto review

const void* hxViewController::reviewTimerTarget() const {
    // Not `this`: the return to the foreground cancels the controller's own delayed requests
    // (the volume registration), and the two must not cancel each other.
    return &_resultView;
}

void hxViewController::autoReview(const image::ImageRef& picture) {
    std::weak_ptr<bool> alive = alive_;
    DispatchQueue::main().async([this, alive, picture] {
        if (!living(alive) || _autoreviewTime <= 0 || !_resultView) return;
        _resultView->setImage(UIImage::imageWithCGImage(picture));
        _resultView->setHidden(false);
        _resultView->setNeedsDisplay();
        RunLoop::main().cancelPerformRequests(reviewTimerTarget());
        RunLoop::main().postAfter(
            _autoreviewTime,
            [this, alive] {
                if (living(alive)) onTimer();
            },
            reviewTimerTarget());
    });
}

void hxViewController::onTimer() {
    std::weak_ptr<bool> alive = alive_;
    DispatchQueue::main().async([this, alive] {
        if (!living(alive) || !_resultView) return;
        _resultView->setImage(nullptr);
        _resultView->setHidden(true);
    });
}

// ---- the volume keys

void hxViewController::updateLaunchVol() {
    SystemVolume& system = SystemVolume::shared();
    _volume = system.hasVolumeControl() ? volumeReference(system.volume()) : -1.0f;
}

void hxViewController::volumeChanged(const Notification& notification) {
    const float value = static_cast<float>(notification.numberValue(kSystemVolumeParameterKey));
    if (_inBack) {
        _volume = volumeReference(value);
        return;
    }
    if (notification.textValue(kSystemVolumeReasonKey) == kSystemVolumeExplicitChange &&
        value != _volume)
        shutter(nullptr);
}

}  // namespace hx::app

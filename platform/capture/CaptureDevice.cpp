#include "platform/capture/CaptureDevice.h"

#include <algorithm>

#include "platform/capture/CameraBackend.h"
#include "platform/capture/CaptureAuthorization.h"
#include "platform/log/Log.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/NotificationCenter.h"

namespace hx::capture {

namespace {

// How long after a bias change the first frame that shows it is due.
constexpr double kFrameSeconds = 1.0 / 30;

template <typename Mode>
bool contains(const std::vector<Mode>& modes, Mode mode) {
    return std::find(modes.begin(), modes.end(), mode) != modes.end();
}

CGPoint clampedPoint(CGPoint point) {
    return {std::clamp(point.x, 0.0, 1.0), std::clamp(point.y, 0.0, 1.0)};
}

}  // namespace

CaptureDeviceRef CaptureDevice::create(std::unique_ptr<CameraDriver> driver) {
    if (!driver) return nullptr;
    CaptureDeviceRef device(new CaptureDevice(std::move(driver)));
    device->driver_->attach(device->queue_, device);
    device->driver_->settingsChanged(device->settings_, SettingsChange::Format);
    return device;
}

CaptureDevice::CaptureDevice(std::unique_ptr<CameraDriver> driver)
    : driver_(std::move(driver)),
      capabilities_(driver_->capabilities()),
      queue_(DispatchQueue::makeSerial("capture device " + capabilities_.uniqueID)),
      connected_(driver_->isConnected()) {
    for (const VideoDimensions& dimensions : capabilities_.formats)
        formats_.push_back(std::make_shared<CaptureDeviceFormat>(
            dimensions, capabilities_.maxAvailableVideoZoomFactor));
    // The largest format is active at first; of equal sizes the first listed wins.
    for (const CaptureDeviceFormatRef& format : formats_) {
        const VideoDimensions d = format->videoDimensions();
        const VideoDimensions best =
            activeFormat_ ? activeFormat_->videoDimensions() : VideoDimensions{};
        if (int64_t{d.width} * d.height > int64_t{best.width} * best.height) activeFormat_ = format;
    }
    largestFormat_ = activeFormat_;
    if (activeFormat_) settings_.activeFormat = activeFormat_->videoDimensions();
    // A camera starts in the most automatic modes it has.
    auto first = [](const auto& preferred, const auto& supported, auto fallback) {
        for (auto mode : preferred)
            if (contains(supported, mode)) return mode;
        return fallback;
    };
    settings_.focusMode =
        first(std::vector{AVCaptureFocusModeContinuousAutoFocus, AVCaptureFocusModeAutoFocus},
              capabilities_.focusModes, AVCaptureFocusModeLocked);
    settings_.exposureMode = first(
        std::vector{AVCaptureExposureModeContinuousAutoExposure, AVCaptureExposureModeAutoExpose},
        capabilities_.exposureModes, AVCaptureExposureModeLocked);
    settings_.whiteBalanceMode =
        first(std::vector{AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance,
                          AVCaptureWhiteBalanceModeAutoWhiteBalance},
              capabilities_.whiteBalanceModes, AVCaptureWhiteBalanceModeLocked);
}

CaptureDevice::~CaptureDevice() {
    driver_->stopStreaming();
}

// ---- lookups

CaptureDeviceRef CaptureDevice::defaultDeviceWithMediaType(const std::string& mediaType) {
    if (mediaType != AVMediaTypeVideo) return nullptr;
    auto devices = CameraBackend::current()->devices();
    for (const CaptureDeviceRef& device : devices)
        if (device->deviceType() == AVCaptureDeviceTypeBuiltInWideAngleCamera &&
            device->position() == AVCaptureDevicePositionBack)
            return device;
    return devices.empty() ? nullptr : devices.front();
}

CaptureDeviceRef CaptureDevice::defaultDeviceWithDeviceType(const std::string& deviceType,
                                                            const std::string& mediaType,
                                                            CaptureDevicePosition position) {
    if (mediaType != AVMediaTypeVideo) return nullptr;
    for (const CaptureDeviceRef& device : CameraBackend::current()->devices())
        if (device->deviceType() == deviceType &&
            (position == AVCaptureDevicePositionUnspecified || device->position() == position))
            return device;
    return nullptr;
}

CaptureDeviceRef CaptureDevice::deviceWithUniqueID(const std::string& uniqueID) {
    for (const CaptureDeviceRef& device : CameraBackend::current()->devices())
        if (device->uniqueID() == uniqueID) return device;
    return nullptr;
}

CaptureAuthorizationStatus CaptureDevice::authorizationStatusForMediaType(
    const std::string& mediaType) {
    return CaptureAuthorization::current(mediaType);
}

void CaptureDevice::requestAccessForMediaType(const std::string& mediaType,
                                              std::function<void(bool granted)> handler) {
    const bool granted =
        CaptureAuthorization::request(mediaType) == AVAuthorizationStatusAuthorized;
    if (handler) DispatchQueue::global().async([handler, granted] { handler(granted); });
}

bool CaptureDevice::hasMediaType(const std::string& mediaType) const {
    return mediaType == AVMediaTypeVideo;
}

// ---- settings

CaptureDeviceSettings CaptureDevice::settings() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

bool CaptureDevice::requireLock(const char* what) const {
    if (isLockedForConfiguration()) return true;
    hxLog("%s of the camera \"%s\" needs lockForConfiguration first", what,
          capabilities_.localizedName.c_str());
    return false;
}

template <typename Change>
void CaptureDevice::update(SettingsChange what, Change&& change) {
    std::lock_guard order(driverMutex_);
    CaptureDeviceSettings copy;
    {
        std::lock_guard lock(mutex_);
        change(settings_);
        copy = settings_;
    }
    driver_->settingsChanged(copy, what);
}

bool CaptureDevice::lockForConfiguration(CaptureError* error) {
    CaptureError refusal;
    if (!driver_->acquireConfigurationLock(&refusal)) {
        if (error) *error = refusal;
        return false;
    }
    ++lockCount_;
    return true;
}

void CaptureDevice::unlockForConfiguration() {
    int count = lockCount_.load();
    while (count > 0 && !lockCount_.compare_exchange_weak(count, count - 1)) {
    }
    if (count <= 0)
        hxLog("unlockForConfiguration without a lock on the camera \"%s\"",
              capabilities_.localizedName.c_str());
}

CaptureDeviceFormatRef CaptureDevice::activeFormat() const {
    std::lock_guard lock(mutex_);
    return activeFormat_;
}

bool CaptureDevice::setActiveFormat(const CaptureDeviceFormatRef& format) {
    if (!requireLock("Setting the active format")) return false;
    if (std::find(formats_.begin(), formats_.end(), format) == formats_.end()) {
        hxLog("setActiveFormat: not a format of the camera \"%s\"",
              capabilities_.localizedName.c_str());
        return false;
    }
    applyActiveFormat(format);
    return true;
}

void CaptureDevice::applyActiveFormat(const CaptureDeviceFormatRef& format) {
    if (!format || activeFormat() == format) return;
    update(SettingsChange::Format, [&](CaptureDeviceSettings& s) {
        activeFormat_ = format;
        s.activeFormat = format->videoDimensions();
        s.videoZoomFactor = std::min<double>(s.videoZoomFactor, format->videoMaxZoomFactor());
    });
}

bool CaptureDevice::isLowLightBoostEnabled() const {
    return isLowLightBoostSupported() && automaticallyEnablesLowLightBoostWhenAvailable() &&
           driver_->isDimScene();
}

bool CaptureDevice::automaticallyEnablesLowLightBoostWhenAvailable() const {
    std::lock_guard lock(mutex_);
    return settings_.automaticallyEnablesLowLightBoostWhenAvailable;
}

bool CaptureDevice::setAutomaticallyEnablesLowLightBoostWhenAvailable(bool enabled) {
    if (!requireLock("Low-light boost")) return false;
    if (!isLowLightBoostSupported()) {
        hxLog("The camera \"%s\" has no low-light boost", capabilities_.localizedName.c_str());
        return false;
    }
    update(SettingsChange::LowLightBoost, [&](CaptureDeviceSettings& s) {
        s.automaticallyEnablesLowLightBoostWhenAvailable = enabled;
    });
    return true;
}

bool CaptureDevice::isFocusModeSupported(CaptureFocusMode mode) const {
    return contains(capabilities_.focusModes, mode);
}

CaptureFocusMode CaptureDevice::focusMode() const {
    std::lock_guard lock(mutex_);
    return settings_.focusMode;
}

bool CaptureDevice::setFocusMode(CaptureFocusMode mode) {
    if (!requireLock("Setting the focus mode")) return false;
    if (!isFocusModeSupported(mode)) {
        hxLog("The camera \"%s\" does not support focus mode %d",
              capabilities_.localizedName.c_str(), static_cast<int>(mode));
        return false;
    }
    update(SettingsChange::Focus, [&](CaptureDeviceSettings& s) { s.focusMode = mode; });
    return true;
}

CGPoint CaptureDevice::focusPointOfInterest() const {
    std::lock_guard lock(mutex_);
    return settings_.focusPointOfInterest;
}

bool CaptureDevice::setFocusPointOfInterest(CGPoint point) {
    if (!requireLock("Setting the focus point")) return false;
    if (!isFocusPointOfInterestSupported()) {
        hxLog("The camera \"%s\" has no focus point of interest",
              capabilities_.localizedName.c_str());
        return false;
    }
    std::lock_guard lock(mutex_);
    settings_.focusPointOfInterest = clampedPoint(point);
    return true;
}

bool CaptureDevice::isExposureModeSupported(CaptureExposureMode mode) const {
    return contains(capabilities_.exposureModes, mode);
}

CaptureExposureMode CaptureDevice::exposureMode() const {
    std::lock_guard lock(mutex_);
    return settings_.exposureMode;
}

bool CaptureDevice::setExposureMode(CaptureExposureMode mode) {
    if (!requireLock("Setting the exposure mode")) return false;
    if (!isExposureModeSupported(mode)) {
        hxLog("The camera \"%s\" does not support exposure mode %d",
              capabilities_.localizedName.c_str(), static_cast<int>(mode));
        return false;
    }
    update(SettingsChange::Exposure, [&](CaptureDeviceSettings& s) { s.exposureMode = mode; });
    return true;
}

CGPoint CaptureDevice::exposurePointOfInterest() const {
    std::lock_guard lock(mutex_);
    return settings_.exposurePointOfInterest;
}

bool CaptureDevice::setExposurePointOfInterest(CGPoint point) {
    if (!requireLock("Setting the exposure point")) return false;
    if (!isExposurePointOfInterestSupported()) {
        hxLog("The camera \"%s\" has no exposure point of interest",
              capabilities_.localizedName.c_str());
        return false;
    }
    std::lock_guard lock(mutex_);
    settings_.exposurePointOfInterest = clampedPoint(point);
    return true;
}

float CaptureDevice::exposureTargetBias() const {
    std::lock_guard lock(mutex_);
    return settings_.exposureTargetBias;
}

float CaptureDevice::setExposureTargetBias(float bias, std::function<void(double)> handler) {
    if (!requireLock("Setting the exposure bias")) return exposureTargetBias();
    const float applied = std::clamp(bias, minExposureTargetBias(), maxExposureTargetBias());
    update(SettingsChange::Exposure,
           [&](CaptureDeviceSettings& s) { s.exposureTargetBias = applied; });
    if (handler) {
        const double syncTime = Clock::now() + kFrameSeconds;
        queue_->asyncAfter(kFrameSeconds, [handler, syncTime] { handler(syncTime); });
    }
    return applied;
}

bool CaptureDevice::isWhiteBalanceModeSupported(CaptureWhiteBalanceMode mode) const {
    return contains(capabilities_.whiteBalanceModes, mode);
}

CaptureWhiteBalanceMode CaptureDevice::whiteBalanceMode() const {
    std::lock_guard lock(mutex_);
    return settings_.whiteBalanceMode;
}

bool CaptureDevice::setWhiteBalanceMode(CaptureWhiteBalanceMode mode) {
    if (!requireLock("Setting the white balance")) return false;
    if (!isWhiteBalanceModeSupported(mode)) {
        hxLog("The camera \"%s\" does not support white-balance mode %d",
              capabilities_.localizedName.c_str(), static_cast<int>(mode));
        return false;
    }
    update(SettingsChange::WhiteBalance,
           [&](CaptureDeviceSettings& s) { s.whiteBalanceMode = mode; });
    return true;
}

double CaptureDevice::maxAvailableVideoZoomFactor() const {
    std::lock_guard lock(mutex_);
    const double formatLimit = activeFormat_ ? activeFormat_->videoMaxZoomFactor() : 1.0;
    return std::max(1.0, std::min<double>(capabilities_.maxAvailableVideoZoomFactor, formatLimit));
}

double CaptureDevice::videoZoomFactor() const {
    std::lock_guard lock(mutex_);
    return settings_.videoZoomFactor;
}

double CaptureDevice::setVideoZoomFactor(double factor) {
    if (!requireLock("Setting the zoom")) return videoZoomFactor();
    const double applied =
        std::clamp(factor, minAvailableVideoZoomFactor(), maxAvailableVideoZoomFactor());
    update(SettingsChange::Zoom, [&](CaptureDeviceSettings& s) { s.videoZoomFactor = applied; });
    return applied;
}

// ---- observation

CaptureDevice::ObserverId CaptureDevice::addObserver(const std::string& keyPath, uint32_t options,
                                                     Observer observer) {
    if (keyPath != kAdjustingFocusKeyPath && keyPath != kAdjustingExposureKeyPath) {
        hxLog("A camera cannot be observed for \"%s\"", keyPath.c_str());
        return 0;
    }
    if (!observer) return 0;
    auto shared = std::make_shared<Observer>(std::move(observer));
    ObserverId id;
    {
        std::lock_guard lock(observersMutex_);
        id = nextObserverId_++;
        observers_[id] = {keyPath, options, shared};
    }
    if (options & NSKeyValueObservingOptionInitial) {
        queue_->async([weak = weak_from_this(), keyPath, options, shared] {
            auto self = weak.lock();
            if (!self) return;
            const bool value = keyPath == kAdjustingFocusKeyPath ? self->isAdjustingFocus()
                                                                 : self->isAdjustingExposure();
            KeyValueChange change;
            if (options & NSKeyValueObservingOptionNew) change.newValue = value;
            (*shared)(keyPath, *self, change);
        });
    }
    return id;
}

void CaptureDevice::removeObserver(ObserverId id) {
    std::lock_guard lock(observersMutex_);
    observers_.erase(id);
}

void CaptureDevice::notify(const char* keyPath, bool oldValue, bool newValue) {
    std::vector<Registration> targets;
    {
        std::lock_guard lock(observersMutex_);
        for (const auto& [id, registration] : observers_)
            if (registration.keyPath == keyPath) targets.push_back(registration);
    }
    for (const Registration& registration : targets) {
        {
            // Removed by an earlier observer of this same change: skip it.
            std::lock_guard lock(observersMutex_);
            bool stillThere = false;
            for (const auto& [id, current] : observers_)
                stillThere = stillThere || current.observer == registration.observer;
            if (!stillThere) continue;
        }
        KeyValueChange change;
        if (registration.options & NSKeyValueObservingOptionNew) change.newValue = newValue;
        if (registration.options & NSKeyValueObservingOptionOld) change.oldValue = oldValue;
        (*registration.observer)(keyPath, *this, change);
    }
}

void CaptureDevice::driverAdjustingFocusChanged(bool adjusting) {
    const bool before = adjustingFocus_.exchange(adjusting);
    if (before != adjusting) notify(kAdjustingFocusKeyPath, before, adjusting);
}

void CaptureDevice::driverAdjustingExposureChanged(bool adjusting) {
    const bool before = adjustingExposure_.exchange(adjusting);
    if (before != adjusting) notify(kAdjustingExposureKeyPath, before, adjusting);
}

void CaptureDevice::driverConnectionChanged(bool connected) {
    if (connected_.exchange(connected) == connected) return;
    hxLog("camera \"%s\" %s", capabilities_.localizedName.c_str(),
          connected ? "is connected again" : "was disconnected");
    NotificationCenter::defaultCenter().postNotificationName(
        connected ? AVCaptureDeviceWasConnectedNotification
                  : AVCaptureDeviceWasDisconnectedNotification,
        this);
}

}  // namespace hx::capture

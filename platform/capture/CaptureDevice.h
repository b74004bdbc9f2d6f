#pragma once

// A camera: what it can do (formats, flash, low-light boost, focus, exposure and white-balance
// modes, points of interest, the exposure-bias range, the zoom limit) and how it is set now.
// Settings change only between lockForConfiguration() and unlockForConfiguration(); a setter
// returns what it applied: false (with a log line) for a refused or unsupported change, the
// clamped value for zoom and exposure bias. The device reports "adjustingFocus" and
// "adjustingExposure" to observers whenever focusing or exposure adjustment starts or ends.
//
// Devices are made once by the camera backend and shared: every lookup of the same camera
// returns the same object.
//
// Threads: every member may be called from any thread. Observers, the exposure-bias completion
// and nothing else run on the device's own serial queue (deviceQueue()), in the order the
// changes happened, never inside the call that caused them.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/capture/CameraDriver.h"
#include "platform/capture/CaptureDeviceFormat.h"
#include "platform/capture/CaptureTypes.h"
#include "platform/geometry/Geometry.h"
#include "platform/runloop/DispatchQueue.h"

namespace hx::capture {

class CaptureDevice;
using CaptureDeviceRef = std::shared_ptr<CaptureDevice>;

// What an observer hears: the value after the change and the one before, each when its option
// asks for it.
struct KeyValueChange {
    std::optional<bool> newValue;
    std::optional<bool> oldValue;
};

class CaptureDevice : public CameraDriverListener,
                      public std::enable_shared_from_this<CaptureDevice> {
  public:
    // For backends: a device over its driver, set to the driver's defaults.
    static CaptureDeviceRef create(std::unique_ptr<CameraDriver> driver);
    ~CaptureDevice() override;
    CaptureDevice(const CaptureDevice&) = delete;
    CaptureDevice& operator=(const CaptureDevice&) = delete;

    // ---- lookups over the current camera backend (see CameraBackend.h)

    // The back wide-angle camera, else the first camera; null when there is none.
    static CaptureDeviceRef defaultDeviceWithMediaType(const std::string& mediaType);
    // The first camera of that type at that position (any position when unspecified).
    static CaptureDeviceRef defaultDeviceWithDeviceType(const std::string& deviceType,
                                                        const std::string& mediaType,
                                                        CaptureDevicePosition position);
    static CaptureDeviceRef deviceWithUniqueID(const std::string& uniqueID);

    // Camera permission (see CaptureAuthorization.h). The handler runs on a global queue.
    static CaptureAuthorizationStatus authorizationStatusForMediaType(const std::string& mediaType);
    static void requestAccessForMediaType(const std::string& mediaType,
                                          std::function<void(bool granted)> handler);

    // ---- identity and formats

    const std::string& uniqueID() const { return capabilities_.uniqueID; }
    const std::string& localizedName() const { return capabilities_.localizedName; }
    const std::string& deviceType() const { return capabilities_.deviceType; }
    CaptureDevicePosition position() const { return capabilities_.position; }
    bool hasMediaType(const std::string& mediaType) const;
    // Multi-camera devices name the lenses they switch between; empty for a single camera.
    const std::vector<std::string>& constituentDeviceTypes() const {
        return capabilities_.constituentDeviceTypes;
    }

    const std::vector<CaptureDeviceFormatRef>& formats() const { return formats_; }
    CaptureDeviceFormatRef activeFormat() const;
    // Only one of formats(); the zoom factor is clamped to the new format's limit.
    bool setActiveFormat(const CaptureDeviceFormatRef& format);

    // ---- configuration lock

    // False, with the reason in error, when the camera cannot be configured now. Locks nest:
    // each successful call needs one unlockForConfiguration().
    bool lockForConfiguration(CaptureError* error = nullptr);
    void unlockForConfiguration();
    bool isLockedForConfiguration() const { return lockCount_.load() > 0; }

    // ---- flash and low-light boost

    bool hasFlash() const { return capabilities_.hasFlash; }
    bool isFlashAvailable() const { return capabilities_.hasFlash; }
    bool isLowLightBoostSupported() const { return capabilities_.lowLightBoostSupported; }
    // Whether the boost is on now: enabled automatically, supported, and the scene is dim.
    bool isLowLightBoostEnabled() const;
    bool automaticallyEnablesLowLightBoostWhenAvailable() const;
    bool setAutomaticallyEnablesLowLightBoostWhenAvailable(bool enabled);

    // ---- focus

    bool isFocusModeSupported(CaptureFocusMode mode) const;
    CaptureFocusMode focusMode() const;
    bool setFocusMode(CaptureFocusMode mode);
    bool isFocusPointOfInterestSupported() const {
        return capabilities_.focusPointOfInterestSupported;
    }
    CGPoint focusPointOfInterest() const;
    // Coordinates are clamped to 0…1; the new point takes effect with the next focus mode set.
    bool setFocusPointOfInterest(CGPoint point);
    bool isAdjustingFocus() const { return adjustingFocus_.load(); }

    // ---- exposure

    bool isExposureModeSupported(CaptureExposureMode mode) const;
    CaptureExposureMode exposureMode() const;
    bool setExposureMode(CaptureExposureMode mode);
    bool isExposurePointOfInterestSupported() const {
        return capabilities_.exposurePointOfInterestSupported;
    }
    CGPoint exposurePointOfInterest() const;
    bool setExposurePointOfInterest(CGPoint point);
    bool isAdjustingExposure() const { return adjustingExposure_.load(); }

    float minExposureTargetBias() const { return capabilities_.minExposureTargetBias; }
    float maxExposureTargetBias() const { return capabilities_.maxExposureTargetBias; }
    float exposureTargetBias() const;
    // Clamps the bias to the device's range and returns what was set (the old bias when the
    // device is not locked). The handler, when given, runs on the device queue once the first
    // frame with the new bias is due, with that frame's time on the run loop's clock.
    float setExposureTargetBias(float bias, std::function<void(double syncTime)> handler = nullptr);

    // ---- white balance

    bool isWhiteBalanceModeSupported(CaptureWhiteBalanceMode mode) const;
    CaptureWhiteBalanceMode whiteBalanceMode() const;
    bool setWhiteBalanceMode(CaptureWhiteBalanceMode mode);

    // ---- zoom

    double minAvailableVideoZoomFactor() const { return 1.0; }
    double maxAvailableVideoZoomFactor() const;
    double videoZoomFactor() const;
    // Clamps to [min, max] available and returns the factor in effect afterwards.
    double setVideoZoomFactor(double factor);

    // ---- key-value observation of "adjustingFocus" and "adjustingExposure"

    using ObserverId = uint64_t;
    using Observer = std::function<void(const std::string& keyPath, CaptureDevice& device,
                                        const KeyValueChange& change)>;
    // Options are KeyValueObservingOptions bits; with Initial the observer hears the current
    // value once, on the device queue. Returns 0, with a log line, for another key path.
    ObserverId addObserver(const std::string& keyPath, uint32_t options, Observer observer);
    // The observer is not called again, except for a call already running on the device queue.
    void removeObserver(ObserverId id);

    const std::shared_ptr<DispatchQueue>& deviceQueue() const { return queue_; }

    // ---- presence
    // False once the camera has gone away (unplugged, its node removed), true again when it
    // is back. Each change posts AVCaptureDeviceWasDisconnectedNotification or
    // AVCaptureDeviceWasConnectedNotification with the device as the object, on the device
    // queue; a session whose camera goes is interrupted (CaptureSession.h).
    bool isConnected() const { return connected_.load(); }

    // ---- for the session and the photo output

    CameraDriver& driver() const { return *driver_; }
    CaptureDeviceSettings settings() const;

    // CameraDriverListener: reports of the camera, on the device queue.
    void driverAdjustingFocusChanged(bool adjusting) override;
    void driverAdjustingExposureChanged(bool adjusting) override;
    void driverConnectionChanged(bool connected) override;

  private:
    friend class CaptureSession;
    explicit CaptureDevice(std::unique_ptr<CameraDriver> driver);
    // The session picks the format its preset needs without the configuration lock.
    void applyActiveFormat(const CaptureDeviceFormatRef& format);
    CaptureDeviceFormatRef largestFormat() const { return largestFormat_; }
    bool requireLock(const char* what) const;
    // Applies `change` to the settings under the lock and tells the driver.
    template <typename Change>
    void update(SettingsChange what, Change&& change);
    void notify(const char* keyPath, bool oldValue, bool newValue);

    const std::unique_ptr<CameraDriver> driver_;
    const CaptureDeviceCapabilities capabilities_;
    std::vector<CaptureDeviceFormatRef> formats_;
    std::shared_ptr<DispatchQueue> queue_;
    std::atomic<bool> connected_{true};

    std::atomic<int> lockCount_{0};
    std::atomic<bool> adjustingFocus_{false};
    std::atomic<bool> adjustingExposure_{false};

    // Keeps driver messages in the order of the changes they carry.
    std::mutex driverMutex_;
    mutable std::mutex mutex_;
    CaptureDeviceSettings settings_;
    CaptureDeviceFormatRef activeFormat_;
    CaptureDeviceFormatRef largestFormat_;

    struct Registration {
        std::string keyPath;
        uint32_t options = 0;
        std::shared_ptr<Observer> observer;
    };
    mutable std::mutex observersMutex_;
    std::map<ObserverId, Registration> observers_;
    ObserverId nextObserverId_ = 1;
};

}  // namespace hx::capture

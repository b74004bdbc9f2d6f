#pragma once

// A camera as a backend drives it. CaptureDevice, CaptureSession and CapturePhotoOutput reach
// the hardware only through this interface, so a real camera (V4L2, PipeWire) and the simulated
// one behave the same towards the program. Every message carries a copy of the settings it
// needs; a driver keeps no pointer into the device.
//
// Threads: capabilities() from any thread. attach() once, before anything else. The other calls
// may come from any thread, one at a time per driver. A driver reports to its listener only on
// the device queue it was given, and calls frame and still handlers on threads of its own.

#include <functional>
#include <memory>
#include <optional>

#include "platform/capture/CaptureDeviceCapabilities.h"
#include "platform/capture/CaptureTypes.h"
#include "platform/capture/PixelBufferPool.h"
#include "platform/geometry/Geometry.h"
#include "platform/image/PropertyDictionary.h"
#include "platform/runloop/DispatchQueue.h"

namespace hx::capture {

// The device's settings as one value. Points of interest are in sensor coordinates: (0, 0) is
// the top left of the landscape sensor image, (1, 1) its bottom right.
struct CaptureDeviceSettings {
    CaptureFocusMode focusMode = AVCaptureFocusModeContinuousAutoFocus;
    CGPoint focusPointOfInterest{0.5, 0.5};
    CaptureExposureMode exposureMode = AVCaptureExposureModeContinuousAutoExposure;
    CGPoint exposurePointOfInterest{0.5, 0.5};
    float exposureTargetBias = 0;
    CaptureWhiteBalanceMode whiteBalanceMode = AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance;
    double videoZoomFactor = 1;
    bool automaticallyEnablesLowLightBoostWhenAvailable = false;
    VideoDimensions activeFormat;
};

// Which part of the settings a change touched.
enum class SettingsChange { Focus, Exposure, WhiteBalance, Zoom, LowLightBoost, Format };

// What a camera tells its device about itself. Called on the device's queue only.
class CameraDriverListener {
  public:
    virtual ~CameraDriverListener() = default;
    virtual void driverAdjustingFocusChanged(bool adjusting) = 0;
    virtual void driverAdjustingExposureChanged(bool adjusting) = 0;
    // The camera went away (unplugged, its node removed) or came back.
    virtual void driverConnectionChanged(bool /*connected*/) {}
};

// A stream of frames for the video data output.
struct StreamConfiguration {
    VideoDimensions dimensions;  // of each buffer, already turned to the orientation
    CaptureVideoOrientation orientation = AVCaptureVideoOrientationLandscapeRight;
    double frameDuration = 1.0 / 30;
    PixelBufferPoolRef pool;
};

// One frame, filled and ready, with its time on the run loop's clock. A null buffer is a frame
// the camera had to drop because every buffer of the pool was still held.
using FrameHandler = std::function<void(gpu::PixelBufferRef buffer, double time)>;

struct StillRequest {
    CaptureFlashMode flashMode = AVCaptureFlashModeOff;
    // Recorded as the photo's orientation; the pixels stay in sensor orientation.
    CaptureVideoOrientation orientation = AVCaptureVideoOrientationPortrait;
};

struct StillResult {
    gpu::PixelBufferRef pixelBuffer;  // sensor orientation, the active format's full size
    image::PropertyDictionary metadata;
    bool flashFired = false;
    double timestamp = 0;
    std::optional<CaptureError> error;
};
using StillHandler = std::function<void(StillResult)>;

class CameraDriver {
  public:
    virtual ~CameraDriver() = default;

    virtual const CaptureDeviceCapabilities& capabilities() const = 0;
    // The device's serial queue and the device itself, which the driver holds weakly.
    virtual void attach(std::shared_ptr<DispatchQueue> deviceQueue,
                        std::weak_ptr<CameraDriverListener> listener) = 0;

    // False, with the reason, when the camera refuses to be configured now.
    virtual bool acquireConfigurationLock(CaptureError* error) = 0;
    // The device's settings after a change; the camera refocuses, meters and zooms to them.
    virtual void settingsChanged(const CaptureDeviceSettings& settings, SettingsChange change) = 0;

    // Frames at the configuration's pace until stopped; a new start replaces the stream.
    // After stopStreaming() returns the handler is not called again.
    virtual void startStreaming(const StreamConfiguration& configuration, FrameHandler handler) = 0;
    virtual void stopStreaming() = 0;

    // One still at the active format's full size; the handler is called exactly once.
    virtual void captureStill(const StillRequest& request, StillHandler handler) = 0;
    // Whether the scene is dim now: an automatic flash would fire and low-light boost would
    // switch on.
    virtual bool isDimScene() const = 0;
    // Whether the camera is there now. A camera that goes or comes back tells its listener.
    virtual bool isConnected() const { return true; }
};

}  // namespace hx::capture

#pragma once

// Stills. capturePhotoWithSettings() takes one photo with the camera connected to the output
// and later hands it, or the error that stopped it, to the delegate, exactly once per call and
// never inside the call. The scene-monitoring settings say what the output prepares for (the
// flash mode the live view anticipates); every capture brings its own settings.
//
// Errors: AVErrorSessionNotRunning when the session is not running, AVErrorDeviceNotConnected
// without a camera, AVErrorUnknown for a pixel format other than 32-bit BGRA or a failed
// capture. A flash mode the camera cannot honour is taken as off.
//
// Threads: every member may be called from any thread. The delegate is called on the photo
// output's own serial queue, as a phone does, not on the main thread; it must stay alive until
// it has heard about every capture it was given.

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/capture/CaptureOutput.h"
#include "platform/capture/CapturePhoto.h"
#include "platform/capture/CapturePhotoSettings.h"
#include "platform/runloop/DispatchQueue.h"

namespace hx::capture {

class CapturePhotoOutput;

class CapturePhotoCaptureDelegate {
  public:
    virtual ~CapturePhotoCaptureDelegate() = default;
    // The photo always comes, with its resolved settings; on error it has no pixels.
    virtual void captureOutputDidFinishProcessingPhoto(
        CapturePhotoOutput& output, const CapturePhotoRef& photo,
        const std::optional<CaptureError>& error) = 0;
};

class CapturePhotoOutput : public CaptureOutput,
                           public std::enable_shared_from_this<CapturePhotoOutput> {
  public:
    static std::shared_ptr<CapturePhotoOutput> create();

    void capturePhotoWithSettings(const CapturePhotoSettingsRef& settings,
                                  CapturePhotoCaptureDelegate* delegate);

    CapturePhotoSettingsRef photoSettingsForSceneMonitoring() const;
    void setPhotoSettingsForSceneMonitoring(CapturePhotoSettingsRef settings);

    // Off, and on and auto when the connected camera has a flash.
    std::vector<CaptureFlashMode> supportedFlashModes() const;
    // Whether a photo taken now in automatic flash mode would fire the flash.
    bool isFlashScene() const;
    std::vector<uint32_t> availablePhotoPixelFormatTypes() const;
    bool isHighResolutionCaptureEnabled() const;
    void setHighResolutionCaptureEnabled(bool enabled);

    // The queue the delegate is called on.
    const std::shared_ptr<DispatchQueue>& delegateQueue() const { return queue_; }

  protected:
    CaptureVideoOrientation defaultVideoOrientation() const override {
        return AVCaptureVideoOrientationPortrait;
    }

  private:
    CapturePhotoOutput() = default;
    CaptureDeviceRef connectedDevice() const;
    void fail(const CapturePhotoSettings& settings, CapturePhotoCaptureDelegate* delegate,
              CaptureError error);

    const std::shared_ptr<DispatchQueue> queue_ = DispatchQueue::makeSerial("photo output");
    mutable std::mutex mutex_;
    CapturePhotoSettingsRef sceneMonitoring_;
    bool highResolution_ = false;
};
using CapturePhotoOutputRef = std::shared_ptr<CapturePhotoOutput>;

}  // namespace hx::capture

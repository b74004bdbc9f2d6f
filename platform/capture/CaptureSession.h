#pragma once

// Ties a camera to its outputs. Add a device input and outputs (each checked with canAdd...
// first), pick a preset, start running: the video data output then receives frames at 30 per
// second and the photo output can take stills. Changes between beginConfiguration() and
// commitConfiguration() take effect together at the commit; a change while running (a new
// camera, another preset, a connection turned to portrait) restarts the frames at once.
//
// The session holds one camera input at a time, and at most one output of each kind.
//
// When its camera goes away the session is interrupted: the frames stop, isInterrupted() turns
// true and AVCaptureSessionWasInterruptedNotification is posted with the session as the object
// and AVCaptureSessionInterruptionReasonVideoDeviceNotAvailable as the reason. When that camera
// comes back the frames start again (while running) and
// AVCaptureSessionInterruptionEndedNotification is posted. Both are posted on the camera's
// device queue. Taking the camera's input out of the session ends an interruption silently.
//
// Threads: every member may be called from any thread; configuration calls of one session
// should come from one thread at a time so that begin and commit pair up.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/capture/CaptureInput.h"
#include "platform/capture/CaptureOutput.h"
#include "platform/capture/CaptureTypes.h"

namespace hx::capture {

class CaptureVideoDataOutput;

class CaptureSession : public std::enable_shared_from_this<CaptureSession> {
  public:
    static std::shared_ptr<CaptureSession> create();
    ~CaptureSession();
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    void beginConfiguration();
    void commitConfiguration();

    bool canAddInput(const CaptureInputRef& input) const;
    // An input that cannot be added is refused with a log line.
    void addInput(const CaptureInputRef& input);
    void removeInput(const CaptureInputRef& input);
    std::vector<CaptureInputRef> inputs() const;

    bool canAddOutput(const CaptureOutputRef& output) const;
    void addOutput(const CaptureOutputRef& output);
    void removeOutput(const CaptureOutputRef& output);
    std::vector<CaptureOutputRef> outputs() const;

    // Known presets, at most as large as the camera's largest format.
    bool canSetSessionPreset(const std::string& preset) const;
    void setSessionPreset(const std::string& preset);
    std::string sessionPreset() const;

    void startRunning();
    void stopRunning();
    bool isRunning() const;
    bool isInterrupted() const;

    // The frames a preset gives from a camera format, in sensor orientation (landscape). The
    // photo preset keeps the format's shape at 1440 pixels across.
    static VideoDimensions videoDimensionsForPreset(const std::string& preset,
                                                    VideoDimensions format);

  private:
    CaptureSession() = default;
    void observeDevices();
    // On the camera's device queue: its camera went (false) or came back (true).
    void deviceConnectionChanged(const CaptureDevice* device, bool connected);

    struct StreamKey {
        CaptureDevice* device = nullptr;
        CaptureOutput* output = nullptr;
        VideoDimensions dimensions;
        CaptureVideoOrientation orientation = AVCaptureVideoOrientationLandscapeRight;
        bool operator==(const StreamKey&) const = default;
    };

    CaptureDeviceRef deviceLocked() const;
    std::shared_ptr<CaptureVideoDataOutput> videoOutputLocked() const;
    void connectLocked();
    // Brings the frames in line with the configuration, unless a configuration is open.
    void applyLocked();
    void stopStreamLocked();
    void connectionChanged();

    mutable std::mutex mutex_;
    std::vector<CaptureInputRef> inputs_;
    std::vector<CaptureOutputRef> outputs_;
    std::string preset_ = AVCaptureSessionPresetHigh;
    bool running_ = false;
    bool interrupted_ = false;
    uint64_t disconnectedToken_ = 0, connectedToken_ = 0;
    int configurationDepth_ = 0;
    CaptureDeviceRef streamingDevice_;
    StreamKey stream_;
};
using CaptureSessionRef = std::shared_ptr<CaptureSession>;

}  // namespace hx::capture

#pragma once

// The link between an input's port and an output, made by the session when both are in it.
// Its video orientation decides how the output's frames are turned: portrait frames are
// upright for a device held upright.
//
// Threads: every member may be called from any thread.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/capture/CaptureInput.h"
#include "platform/capture/CaptureTypes.h"

namespace hx::capture {

class CaptureOutput;

class CaptureConnection {
  public:
    CaptureConnection(std::vector<CaptureInputPortRef> ports, CaptureOutput* output,
                      CaptureVideoOrientation orientation)
        : ports_(std::move(ports)), output_(output), orientation_(orientation) {}

    const std::vector<CaptureInputPortRef>& inputPorts() const { return ports_; }
    // The output that owns the connection.
    CaptureOutput* output() const { return output_; }
    // The camera behind the connection's video port; null when there is none.
    CaptureDeviceRef videoDevice() const;

    bool isEnabled() const { return enabled_.load(); }
    void setEnabled(bool enabled);
    // Enabled, with an enabled port.
    bool isActive() const;

    bool isVideoOrientationSupported() const { return true; }
    CaptureVideoOrientation videoOrientation() const { return orientation_.load(); }
    // A value outside the four orientations is ignored, with a log line.
    void setVideoOrientation(CaptureVideoOrientation orientation);

    // For the session: called after a change that needs a new stream of frames.
    void setChangeHandler(std::function<void()> handler);

  private:
    void changed();

    std::vector<CaptureInputPortRef> ports_;
    CaptureOutput* output_;
    std::atomic<CaptureVideoOrientation> orientation_;
    std::atomic<bool> enabled_{true};
    std::mutex mutex_;
    std::function<void()> changeHandler_;
};
using CaptureConnectionRef = std::shared_ptr<CaptureConnection>;

}  // namespace hx::capture

#pragma once

// Cameras of the kernel's video devices (V4L2): every node that captures video by streaming is a
// capture device, named by its card name, which its photos carry as their model. The nodes are
// read when the backend is made, and again by devices() when the list of nodes has changed or a
// camera has gone away: a camera plugged in later is offered then, one unplugged is no longer
// offered, and one that comes back gets its device back.
//
// Threads: every member may be called from any thread.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/capture/CameraBackend.h"
#include "platform/capture/v4l2/V4l2Camera.h"

namespace hx::capture {

class V4l2CameraDriver;

class V4l2CameraBackend : public CameraBackend {
  public:
    // The cameras `io` shows (the system's by default).
    static std::shared_ptr<V4l2CameraBackend> open(std::shared_ptr<V4l2Io> io = V4l2Io::system());
    ~V4l2CameraBackend() override;

    const char* name() const override { return "v4l2"; }
    std::vector<CaptureDeviceRef> devices() override;

    // The cameras present now, as their nodes describe them.
    std::vector<V4l2Camera> cameras();

  private:
    explicit V4l2CameraBackend(std::shared_ptr<V4l2Io> io);
    // Reads the nodes again where something changed; with `mutex_` held.
    void refreshLocked();

    struct Entry {
        V4l2Camera camera;
        CaptureDeviceRef device;
        V4l2CameraDriver* driver = nullptr;  // owned by `device`
        bool present = true;
    };
    const std::shared_ptr<V4l2Io> io_;
    std::mutex mutex_;
    std::vector<std::string> nodes_;       // as last listed
    std::vector<std::string> notCameras_;  // nodes that are no camera, while they stay
    std::vector<Entry> entries_;           // in the order first found
    bool scanned_ = false;
};

}  // namespace hx::capture

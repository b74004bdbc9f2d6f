#pragma once

// Where cameras come from. One backend serves the whole process; it is chosen on first use by
// HALIDEX_CAMERA:
//   unset, "" or "auto"        the cameras of a PipeWire daemon when one answers with at least
//                              one camera, else the V4L2 cameras when there is one, else the
//                              simulated camera (logged when "auto" was asked for by name)
//   "pipewire"                 the cameras of the PipeWire daemon (pipewire/)
//   "simulated"                the simulated camera: the cameras of the device profile, looking
//                              at a built-in animated scene or at the pictures of the folder
//                              that HALIDEX_CAMERA_SCENE names
//   "v4l2"                     the kernel's video devices (v4l2/), logged when there is none
//   anything else              logged, and the simulated camera used
//
// Threads: every member may be called from any thread.

#include <memory>
#include <vector>

#include "platform/capture/CaptureDevice.h"

namespace hx::capture {

class CameraBackend {
  public:
    virtual ~CameraBackend() = default;
    // A short name for messages ("simulated").
    virtual const char* name() const = 0;
    // Every camera, in the backend's order; the same objects on every call.
    virtual std::vector<CaptureDeviceRef> devices() = 0;

    // The backend in use, made on first use.
    static std::shared_ptr<CameraBackend> current();
    // Replaces the backend in use (tests, or a program with a --camera flag).
    static void setCurrent(std::shared_ptr<CameraBackend> backend);
    // Forgets the backend, so the next use makes one again from the environment and the current
    // device profile. Devices already handed out keep working.
    static void reset();
};

// The backend HALIDEX_CAMERA asks for.
std::shared_ptr<CameraBackend> makeCameraBackend();

}  // namespace hx::capture

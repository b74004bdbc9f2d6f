#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/capture/CameraBackend.h"
#include "platform/capture/pipewire/PipeWireCameraBackend.h"
#include "platform/capture/simulated/SimulatedCameraBackend.h"
#include "platform/capture/v4l2/V4l2CameraBackend.h"
#include "platform/log/Log.h"

namespace hx::capture {

namespace {

struct CurrentBackend {
    std::mutex mutex;
    std::shared_ptr<CameraBackend> backend;
};

CurrentBackend& currentBackend() {
    static CurrentBackend* const instance = new CurrentBackend;
    return *instance;
}

}  // namespace

std::shared_ptr<CameraBackend> makeCameraBackend() {
    const char* value = std::getenv("HALIDEX_CAMERA");
    const std::string choice = value && *value ? value : "auto";
    if (choice == "simulated") return SimulatedCameraBackend::fromEnvironment();
    if (choice == "pipewire") {
        std::string error;
        if (auto backend = PipeWireCameraBackend::connect(&error)) return backend;
        hxLog("HALIDEX_CAMERA=pipewire: %s; using the simulated camera", error.c_str());
        return SimulatedCameraBackend::fromEnvironment();
    }
    if (choice == "v4l2") {
        auto backend = V4l2CameraBackend::open();
        if (backend->devices().empty())
            hxLog("HALIDEX_CAMERA=v4l2: no V4L2 camera now; one plugged in later is offered");
        return backend;
    }
    if (choice != "auto") {
        hxLog(
            "HALIDEX_CAMERA=%s is not one of auto, pipewire, v4l2, simulated; using the "
            "simulated camera",
            choice.c_str());
        return SimulatedCameraBackend::fromEnvironment();
    }
    // auto: a PipeWire daemon with a camera, else a V4L2 camera, else the simulated camera.
    // Said aloud only when asked for by name: unset is the quiet default of a machine without
    // cameras.
    if (auto backend = PipeWireCameraBackend::connect()) {
        if (!backend->devices().empty()) return backend;
    }
    if (auto backend = V4l2CameraBackend::open(); !backend->devices().empty()) return backend;
    if (value && *value)
        hxLog("HALIDEX_CAMERA=auto: no camera answers; using the simulated camera");
    return SimulatedCameraBackend::fromEnvironment();
}

std::shared_ptr<CameraBackend> CameraBackend::current() {
    CurrentBackend& state = currentBackend();
    std::lock_guard lock(state.mutex);
    if (!state.backend) state.backend = makeCameraBackend();
    return state.backend;
}

void CameraBackend::setCurrent(std::shared_ptr<CameraBackend> backend) {
    CurrentBackend& state = currentBackend();
    std::lock_guard lock(state.mutex);
    state.backend = std::move(backend);
}

void CameraBackend::reset() {
    setCurrent(nullptr);
}

}  // namespace hx::capture

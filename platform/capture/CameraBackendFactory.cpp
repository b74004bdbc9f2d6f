#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/capture/CameraBackend.h"
#include "platform/capture/simulated/SimulatedCameraBackend.h"
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
    const std::string choice = value ? value : "";
    if (choice == "v4l2" || choice == "pipewire")
        hxLog("HALIDEX_CAMERA=%s: this build has no %s camera support; using the simulated camera",
              choice.c_str(), choice.c_str());
    else if (!choice.empty() && choice != "simulated")
        hxLog(
            "HALIDEX_CAMERA=%s is not one of simulated, v4l2, pipewire; using the simulated "
            "camera",
            choice.c_str());
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

#pragma once

// The simulated cameras: one device for each camera of the device profile, in the profile's
// order. Back cameras look at the outdoor scene, the front camera at the indoor one; with
// HALIDEX_CAMERA_SCENE naming a folder of pictures, every camera looks at those pictures
// instead (the front camera at those of a "front" folder inside it, when there is one).
//
// Threads: every member may be called from any thread.

#include <memory>
#include <mutex>
#include <vector>

#include "platform/capture/CameraBackend.h"
#include "platform/capture/scene/Scene.h"
#include "platform/device/DeviceProfile.h"

namespace hx::capture {

class SimulatedCameraBackend : public CameraBackend {
  public:
    SimulatedCameraBackend(std::vector<CameraDescription> cameras,
                           std::shared_ptr<const scene::Scene> backScene,
                           std::shared_ptr<const scene::Scene> frontScene);

    // The cameras of the current device profile, looking at the scene the environment asks for.
    static std::shared_ptr<SimulatedCameraBackend> fromEnvironment();

    const char* name() const override { return "simulated"; }
    // Empty while SimulatedCamera::setHidesDevices(true) or setUnplugged(true).
    std::vector<CaptureDeviceRef> devices() override;

  private:
    std::vector<CaptureDeviceRef> devices_;
};

}  // namespace hx::capture

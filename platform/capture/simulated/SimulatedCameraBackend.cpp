#include "platform/capture/simulated/SimulatedCameraBackend.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/capture/scene/BuiltInScenes.h"
#include "platform/capture/scene/ImageFolderScene.h"
#include "platform/capture/simulated/CameraCatalogue.h"
#include "platform/capture/simulated/SimulatedCamera.h"
#include "platform/capture/simulated/SimulatedCameraDriver.h"
#include "platform/log/Log.h"

namespace hx::capture {

SimulatedCameraBackend::SimulatedCameraBackend(std::vector<CameraDescription> cameras,
                                               std::shared_ptr<const scene::Scene> backScene,
                                               std::shared_ptr<const scene::Scene> frontScene) {
    for (const CameraDescription& camera : cameras) {
        SimulatedCameraModel model = simulatedCameraModel(camera);
        SimulatedCamera::applyCapabilityOverride(model.capabilities);
        const bool front = model.capabilities.position == AVCaptureDevicePositionFront;
        devices_.push_back(CaptureDevice::create(std::make_unique<SimulatedCameraDriver>(
            std::move(model), front ? frontScene : backScene)));
    }
}

std::shared_ptr<SimulatedCameraBackend> SimulatedCameraBackend::fromEnvironment() {
    std::shared_ptr<const scene::Scene> back, front;
    const char* folder = std::getenv("HALIDEX_CAMERA_SCENE");
    if (folder && *folder) {
        std::string error;
        back = scene::ImageFolderScene::load(folder, 3.0, &error);
        if (!back) {
            hxLog("HALIDEX_CAMERA_SCENE: %s; showing the built-in scene", error.c_str());
        } else {
            const std::filesystem::path frontFolder = std::filesystem::path(folder) / "front";
            std::error_code ec;
            if (std::filesystem::is_directory(frontFolder, ec))
                front = scene::ImageFolderScene::load(frontFolder.string(), 3.0, &error);
            if (!front) front = back;
        }
    }
    if (!back) {
        back = scene::makeOutdoorScene();
        front = scene::makeIndoorScene();
    }
    return std::make_shared<SimulatedCameraBackend>(DeviceProfile::current().cameras, back, front);
}

std::vector<CaptureDeviceRef> SimulatedCameraBackend::devices() {
    if (SimulatedCamera::hidesDevices() || SimulatedCamera::isUnplugged()) return {};
    return devices_;
}

}  // namespace hx::capture

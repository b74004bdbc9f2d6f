// Placeholder until the session lands.
#include "app/camera/hxViewController.h"

namespace hx::app {
void hxViewController::checkCamera() {}
capture::CaptureDeviceRef hxViewController::cameraWithPosition(int64_t position, int32_t lens) {
    _currentCameraPosition = position;
    return nullptr;
}
void hxViewController::setupCamera() {}
void hxViewController::setupFormat(int64_t position) {}
void hxViewController::setupFirstTime() { _firstPass = false; }
void hxViewController::changeCameraWithPosition(int64_t position, int32_t lens) {}
void hxViewController::switchCameraTapped(UIControl* sender) {}
void hxViewController::setupAudio() {}
void hxViewController::configureDevice(bool firstSetup) {}
void hxViewController::attachOutputs() {}
void hxViewController::removeDeviceObservers() {}
}  // namespace hx::app

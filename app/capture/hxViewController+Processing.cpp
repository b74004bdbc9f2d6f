// Placeholder until photo processing lands.
#include "app/camera/hxViewController.h"

namespace hx::app {
void hxViewController::imageProcess(const capture::CapturePhotoRef&) {}
void hxViewController::imageProcessHEIC(const capture::CapturePhotoRef&) {}
void hxViewController::imageProcessColor(const capture::CapturePhotoRef&) {}
}  // namespace hx::app

// Placeholder until the shutter lands.
#include "app/camera/hxViewController.h"

namespace hx::app {
void hxViewController::setShutter(int32_t shutterType) {}
void hxViewController::setVolumeNotification() {}
void hxViewController::shutterRelease(UIControl*) {}
void hxViewController::shutterTap(UIControl*) {}
void hxViewController::longPressedHandler(UIGestureRecognizer*) {}
void hxViewController::shutter(UIControl*) {}
void hxViewController::captureOutputDidFinishProcessingPhoto(
    capture::CapturePhotoOutput&, const capture::CapturePhotoRef&,
    const std::optional<capture::CaptureError>&) {}
void hxViewController::autoReview(const image::ImageRef&) {}
void hxViewController::onTimer() {}
void hxViewController::updateLaunchVol() {}
void hxViewController::volumeChanged(const Notification&) {}
}  // namespace hx::app

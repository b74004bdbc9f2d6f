#pragma once
// The metadata of a photo from a real camera (PipeWire or V4L2): the camera's own maker and
// model, the picture's size and orientation, the time it was taken, and no flash.
//
// Threads: any.

#include "platform/capture/CameraDriver.h"
#include "platform/capture/CaptureDeviceCapabilities.h"
#include "platform/image/PropertyDictionary.h"

namespace hx::capture {

image::PropertyDictionary realCameraStillMetadata(const CaptureDeviceCapabilities& capabilities,
                                                  const StillRequest& request, VideoDimensions size,
                                                  double zoom);

}  // namespace hx::capture

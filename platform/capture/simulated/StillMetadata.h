#pragma once

// The metadata a simulated still carries, as a phone's camera writes it: the top-level
// orientation and pixel size, and an Exif dictionary with exposure time, sensitivity, aperture,
// focal lengths, lens model, exposure bias, flash, digital zoom and the capture dates.

#include <chrono>

#include "platform/capture/CaptureDeviceCapabilities.h"
#include "platform/capture/CaptureTypes.h"
#include "platform/image/PropertyDictionary.h"

namespace hx::capture {

struct StillFacts {
    VideoDimensions size;
    CaptureVideoOrientation orientation = AVCaptureVideoOrientationPortrait;
    LensDescription lens;
    // Light reaching the sensor relative to a normal daylight exposure: the exposure gain over
    // the scene's illuminance. Sets exposure time and sensitivity.
    double exposure = 1;
    float exposureBias = 0;
    bool hasFlash = false;
    CaptureFlashMode flashMode = AVCaptureFlashModeOff;
    bool flashFired = false;
    double zoom = 1;
    std::chrono::system_clock::time_point when = std::chrono::system_clock::now();
};

image::PropertyDictionary stillMetadata(const StillFacts& facts);

// The Exif orientation that records a picture taken with the connection in this orientation.
int exifOrientation(CaptureVideoOrientation orientation);

// The Exif "Flash" value: whether the flash fired and in which mode.
int exifFlash(bool hasFlash, CaptureFlashMode mode, bool fired);

}  // namespace hx::capture

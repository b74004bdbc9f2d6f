#pragma once

// What a camera can do, as its backend reports it once when the device is made: identity,
// formats, flash, low-light boost, focus, exposure and white-balance modes, points of interest,
// the exposure-bias range and the zoom limit, and the lens facts that a photo's Exif carries.

#include <string>
#include <vector>

#include "platform/capture/CaptureTypes.h"

namespace hx::capture {

struct LensDescription {
    double focalLength = 4.2;  // millimetres
    double fNumber = 1.6;
    int focalLengthIn35mmFilm = 26;
    std::string model;  // "back camera 4.2mm f/1.6"
};

struct CaptureDeviceCapabilities {
    std::string uniqueID;
    std::string localizedName;
    std::string deviceType;
    // The maker's and the product's names of a real camera, which its photos carry; empty for
    // the simulated cameras, whose photos name the device profile instead.
    std::string manufacturer;
    std::string modelID;
    CaptureDevicePosition position = AVCaptureDevicePositionBack;

    // Sensor orientation, in the order the device lists them; the largest is active at first.
    std::vector<VideoDimensions> formats;

    bool hasFlash = false;
    bool lowLightBoostSupported = false;
    std::vector<CaptureFocusMode> focusModes;
    bool focusPointOfInterestSupported = false;
    std::vector<CaptureExposureMode> exposureModes;
    bool exposurePointOfInterestSupported = false;
    float minExposureTargetBias = -8;
    float maxExposureTargetBias = 8;
    std::vector<CaptureWhiteBalanceMode> whiteBalanceModes;
    float maxAvailableVideoZoomFactor = 1;

    // Multi-camera devices: the lenses they switch between, widest first.
    std::vector<std::string> constituentDeviceTypes;
    LensDescription lens;
};

}  // namespace hx::capture

#include "platform/capture/simulated/CameraCatalogue.h"

#include <cmath>
#include <cstdio>

namespace hx::capture {

namespace {

// The wide lens's crop factor: 4.2 mm shows what 26 mm shows on 35 mm film.
constexpr double kCropFactor = 26.0 / 4.2;

SimulatedLens lens(int equivalent, double fNumber, const char* where) {
    SimulatedLens result;
    result.field = 26.0 / equivalent;
    result.description.focalLengthIn35mmFilm = equivalent;
    result.description.focalLength = std::round(equivalent / kCropFactor * 10) / 10;
    result.description.fNumber = fNumber;
    char model[96];
    std::snprintf(model, sizeof model, "simulated %s camera %.1fmm f/%.1f", where,
                  result.description.focalLength, fNumber);
    result.description.model = model;
    return result;
}

const SimulatedLens& ultraWideLens() {
    static const SimulatedLens value = lens(13, 2.4, "back ultra wide");
    return value;
}
const SimulatedLens& wideLens() {
    static const SimulatedLens value = lens(26, 1.6, "back");
    return value;
}
const SimulatedLens& telephotoLens() {
    static const SimulatedLens value = lens(77, 2.8, "back telephoto");
    return value;
}
const SimulatedLens& frontLens() {
    static const SimulatedLens value = lens(26, 2.2, "front");
    return value;
}

void allModes(CaptureDeviceCapabilities& c) {
    c.focusModes = {AVCaptureFocusModeLocked, AVCaptureFocusModeAutoFocus,
                    AVCaptureFocusModeContinuousAutoFocus};
    c.focusPointOfInterestSupported = true;
    c.exposureModes = {AVCaptureExposureModeLocked, AVCaptureExposureModeAutoExpose,
                       AVCaptureExposureModeContinuousAutoExposure, AVCaptureExposureModeCustom};
    c.exposurePointOfInterestSupported = true;
    c.whiteBalanceModes = {AVCaptureWhiteBalanceModeLocked,
                           AVCaptureWhiteBalanceModeAutoWhiteBalance,
                           AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance};
}

void fixedFocus(CaptureDeviceCapabilities& c) {
    c.focusModes = {AVCaptureFocusModeLocked};
    c.focusPointOfInterestSupported = false;
}

}  // namespace

const SimulatedLens& SimulatedCameraModel::lensAt(double zoom) const {
    const double field = fieldAtZoom1() / std::max(zoom, 1.0);
    const SimulatedLens* chosen = &lenses.front();
    for (const SimulatedLens& candidate : lenses)
        if (candidate.field >= field * 0.999) chosen = &candidate;
    return *chosen;
}

std::vector<VideoDimensions> formatsForStill(int width, int height) {
    std::vector<VideoDimensions> formats;
    const int longSide = std::max(width, height), shortSide = std::min(width, height);
    for (int side : {640, 1280, 1920}) {
        if (side >= longSide) break;
        const int other =
            static_cast<int>(std::lround(double(side) * shortSide / longSide / 16)) * 16;
        formats.push_back(width >= height ? VideoDimensions{side, other}
                                          : VideoDimensions{other, side});
    }
    formats.push_back({width, height});
    return formats;
}

SimulatedCameraModel simulatedCameraModel(const CameraDescription& camera) {
    SimulatedCameraModel model;
    CaptureDeviceCapabilities& c = model.capabilities;
    c.formats = formatsForStill(camera.width, camera.height);
    c.position = AVCaptureDevicePositionBack;
    c.hasFlash = true;
    allModes(c);
    const char* kind = cameraKindName(camera.kind);
    c.uniqueID = std::string("simulated:") + kind;
    switch (camera.kind) {
        case CameraKind::UltraWide:
            c.deviceType = AVCaptureDeviceTypeBuiltInUltraWideCamera;
            c.localizedName = "Back Ultra Wide Camera";
            fixedFocus(c);
            c.maxAvailableVideoZoomFactor = 10;
            model.lenses = {ultraWideLens()};
            break;
        case CameraKind::Wide:
            c.deviceType = AVCaptureDeviceTypeBuiltInWideAngleCamera;
            c.localizedName = "Back Camera";
            c.maxAvailableVideoZoomFactor = 10;
            model.lenses = {wideLens()};
            break;
        case CameraKind::Telephoto:
            c.deviceType = AVCaptureDeviceTypeBuiltInTelephotoCamera;
            c.localizedName = "Back Telephoto Camera";
            c.maxAvailableVideoZoomFactor = 6;
            model.lenses = {telephotoLens()};
            break;
        case CameraKind::Dual:
            c.deviceType = AVCaptureDeviceTypeBuiltInDualCamera;
            c.localizedName = "Back Dual Camera";
            c.maxAvailableVideoZoomFactor = 16;
            c.constituentDeviceTypes = {AVCaptureDeviceTypeBuiltInWideAngleCamera,
                                        AVCaptureDeviceTypeBuiltInTelephotoCamera};
            model.lenses = {wideLens(), telephotoLens()};
            break;
        case CameraKind::DualWide:
            c.deviceType = AVCaptureDeviceTypeBuiltInDualWideCamera;
            c.localizedName = "Back Dual Wide Camera";
            c.maxAvailableVideoZoomFactor = 16;
            c.constituentDeviceTypes = {AVCaptureDeviceTypeBuiltInUltraWideCamera,
                                        AVCaptureDeviceTypeBuiltInWideAngleCamera};
            model.lenses = {ultraWideLens(), wideLens()};
            break;
        case CameraKind::Triple:
            c.deviceType = AVCaptureDeviceTypeBuiltInTripleCamera;
            c.localizedName = "Back Triple Camera";
            c.maxAvailableVideoZoomFactor = 24;
            c.constituentDeviceTypes = {AVCaptureDeviceTypeBuiltInUltraWideCamera,
                                        AVCaptureDeviceTypeBuiltInWideAngleCamera,
                                        AVCaptureDeviceTypeBuiltInTelephotoCamera};
            model.lenses = {ultraWideLens(), wideLens(), telephotoLens()};
            break;
        case CameraKind::Front:
            c.deviceType = AVCaptureDeviceTypeBuiltInWideAngleCamera;
            c.localizedName = "Front Camera";
            c.position = AVCaptureDevicePositionFront;
            c.hasFlash = false;
            c.lowLightBoostSupported = true;
            fixedFocus(c);
            c.maxAvailableVideoZoomFactor = 5;
            model.lenses = {frontLens()};
            break;
    }
    c.lens = model.lenses.front().description;
    return model;
}

}  // namespace hx::capture

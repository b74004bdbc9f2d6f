#include "platform/capture/CaptureTypes.h"

namespace hx::capture {

const char* positionName(CaptureDevicePosition position) {
    switch (position) {
        case AVCaptureDevicePositionBack:
            return "back";
        case AVCaptureDevicePositionFront:
            return "front";
        case AVCaptureDevicePositionUnspecified:
        default:
            return "unspecified";
    }
}

const char* orientationName(CaptureVideoOrientation orientation) {
    switch (orientation) {
        case AVCaptureVideoOrientationPortrait:
            return "portrait";
        case AVCaptureVideoOrientationPortraitUpsideDown:
            return "portrait upside down";
        case AVCaptureVideoOrientationLandscapeRight:
            return "landscape right";
        case AVCaptureVideoOrientationLandscapeLeft:
            return "landscape left";
        default:
            return "unknown";
    }
}

}  // namespace hx::capture

#include "platform/capture/convert/RealCameraMetadata.h"

#include <chrono>
#include <ctime>
#include <string>

namespace hx::capture {

namespace {

std::string exifDate(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local);
    return text;
}

int exifOrientationOf(CaptureVideoOrientation orientation) {
    switch (orientation) {
        case AVCaptureVideoOrientationPortrait:
            return 6;
        case AVCaptureVideoOrientationPortraitUpsideDown:
            return 8;
        case AVCaptureVideoOrientationLandscapeLeft:
            return 3;
        default:
            return 1;
    }
}

}  // namespace

image::PropertyDictionary realCameraStillMetadata(const CaptureDeviceCapabilities& capabilities,
                                                  const StillRequest& request, VideoDimensions size,
                                                  double zoom) {
    using namespace image;
    const std::string date = exifDate(std::chrono::system_clock::now());
    PropertyDictionary exif{
        {"Flash", 0x20},  // no flash function
        {kCGImagePropertyExifPixelXDimension, size.width},
        {kCGImagePropertyExifPixelYDimension, size.height},
        {kCGImagePropertyExifDateTimeOriginal, date},
        {kCGImagePropertyExifDateTimeDigitized, date},
        {kCGImagePropertyExifColorSpace, 1},
    };
    if (zoom > 1.001) exif.set("DigitalZoomRatio", zoom);
    PropertyDictionary tiff;
    if (!capabilities.manufacturer.empty())
        tiff.set(kCGImagePropertyTIFFMake, capabilities.manufacturer);
    tiff.set(kCGImagePropertyTIFFModel, capabilities.modelID);
    return PropertyDictionary{
        {kCGImagePropertyOrientation, exifOrientationOf(request.orientation)},
        {kCGImagePropertyPixelWidth, size.width},
        {kCGImagePropertyPixelHeight, size.height},
        {kCGImagePropertyExifDictionary, exif},
        {kCGImagePropertyTIFFDictionary, tiff},
    };
}

}  // namespace hx::capture

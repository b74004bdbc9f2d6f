#include "platform/capture/simulated/StillMetadata.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace hx::capture {

namespace {

// A normal daylight exposure: 1/120 s at ISO 32 through f/1.6.
constexpr double kBaseSeconds = 1.0 / 120, kBaseIso = 32, kBaseFNumber = 1.6;
constexpr double kLongestHandheld = 1.0 / 30, kShortest = 1.0 / 8000;
constexpr double kMaxIso = 3200;

std::string dateText(std::chrono::system_clock::time_point when, int* milliseconds) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local);
    *milliseconds = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() %
        1000);
    return text;
}

}  // namespace

int exifOrientation(CaptureVideoOrientation orientation) {
    switch (orientation) {
        case AVCaptureVideoOrientationPortrait:
            return 6;
        case AVCaptureVideoOrientationPortraitUpsideDown:
            return 8;
        case AVCaptureVideoOrientationLandscapeLeft:
            return 3;
        case AVCaptureVideoOrientationLandscapeRight:
        default:
            return 1;
    }
}

int exifFlash(bool hasFlash, CaptureFlashMode mode, bool fired) {
    if (!hasFlash) return 0x20;  // no flash function
    switch (mode) {
        case AVCaptureFlashModeOn:
            return fired ? 0x09 : 0x08;
        case AVCaptureFlashModeAuto:
            return fired ? 0x19 : 0x18;
        case AVCaptureFlashModeOff:
        default:
            return 0x10;
    }
}

image::PropertyDictionary stillMetadata(const StillFacts& facts) {
    using namespace image;
    // The same light through a slower lens needs more exposure; longer than hand-holdable
    // exposures turn into higher sensitivity.
    const double aperture = facts.lens.fNumber / kBaseFNumber;
    const double product = kBaseSeconds * kBaseIso * facts.exposure * aperture * aperture;
    const double seconds = std::clamp(product / kBaseIso, kShortest, kLongestHandheld);
    const int iso = static_cast<int>(std::lround(std::clamp(product / seconds, kBaseIso, kMaxIso)));

    int milliseconds = 0;
    const std::string date = dateText(facts.when, &milliseconds);
    char subsec[8];
    std::snprintf(subsec, sizeof subsec, "%03d", milliseconds);

    PropertyDictionary exif{
        {kCGImagePropertyExifExposureTime, seconds},
        {kCGImagePropertyExifFNumber, facts.lens.fNumber},
        {kCGImagePropertyExifISOSpeedRatings, PropertyValue::List{iso}},
        {"ExposureProgram", 2},
        {"ExposureBiasValue", static_cast<double>(facts.exposureBias)},
        {"ShutterSpeedValue", -std::log2(seconds)},
        {"ApertureValue", 2 * std::log2(facts.lens.fNumber)},
        {"MeteringMode", 5},
        {"Flash", exifFlash(facts.hasFlash, facts.flashMode, facts.flashFired)},
        {kCGImagePropertyExifFocalLength, facts.lens.focalLength},
        {"FocalLenIn35mmFilm", facts.lens.focalLengthIn35mmFilm},
        {kCGImagePropertyExifLensModel, facts.lens.model},
        {"WhiteBalance", 0},
        {"ExposureMode", 0},
        {"SceneCaptureType", 0},
        {"SensingMethod", 2},
        {kCGImagePropertyExifColorSpace, 1},
        {kCGImagePropertyExifPixelXDimension, facts.size.width},
        {kCGImagePropertyExifPixelYDimension, facts.size.height},
        {kCGImagePropertyExifDateTimeOriginal, date},
        {kCGImagePropertyExifDateTimeDigitized, date},
        {"SubsecTimeOriginal", subsec},
        {"SubsecTimeDigitized", subsec},
    };
    if (facts.zoom > 1.001) exif.set("DigitalZoomRatio", facts.zoom);

    return PropertyDictionary{
        {kCGImagePropertyOrientation, exifOrientation(facts.orientation)},
        {kCGImagePropertyPixelWidth, facts.size.width},
        {kCGImagePropertyPixelHeight, facts.size.height},
        {kCGImagePropertyExifDictionary, exif},
    };
}

}  // namespace hx::capture

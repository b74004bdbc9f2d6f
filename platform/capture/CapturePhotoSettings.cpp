#include "platform/capture/CapturePhotoSettings.h"

#include <atomic>

namespace hx::capture {

namespace {

int64_t nextUniqueID() {
    static std::atomic<int64_t> next{1};
    return next++;
}

}  // namespace

CapturePhotoSettings::CapturePhotoSettings(image::PropertyDictionary format)
    : uniqueID_(nextUniqueID()), format_(std::move(format)) {}

CapturePhotoSettingsRef CapturePhotoSettings::photoSettings() {
    return photoSettingsWithFormat(image::PropertyDictionary{
        {kCVPixelBufferPixelFormatTypeKey, static_cast<int64_t>(kCVPixelFormatType_32BGRA)}});
}

CapturePhotoSettingsRef CapturePhotoSettings::photoSettingsWithFormat(
    const image::PropertyDictionary& format) {
    return CapturePhotoSettingsRef(new CapturePhotoSettings(format));
}

CapturePhotoSettingsRef CapturePhotoSettings::photoSettingsFromPhotoSettings(
    const CapturePhotoSettings& settings) {
    CapturePhotoSettingsRef copy(new CapturePhotoSettings(settings.format_));
    copy->flashMode_ = settings.flashMode_;
    copy->highResolution_ = settings.highResolution_;
    return copy;
}

uint32_t CapturePhotoSettings::pixelFormatType() const {
    return static_cast<uint32_t>(format_.integer(kCVPixelBufferPixelFormatTypeKey).value_or(0));
}

}  // namespace hx::capture

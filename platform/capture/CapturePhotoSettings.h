#pragma once

// What one still should be: its pixel format, flash mode and whether it is taken at high
// resolution. Each settings object has its own unique ID; photos report the ID they were
// taken with.
//
// Threads: one thread at a time; the photo output copies what it needs when a capture starts.

#include <cstdint>
#include <memory>

#include "platform/capture/CaptureTypes.h"
#include "platform/image/PropertyDictionary.h"

namespace hx::capture {

class CapturePhotoSettings;
using CapturePhotoSettingsRef = std::shared_ptr<CapturePhotoSettings>;

class CapturePhotoSettings {
  public:
    // Uncompressed 32-bit BGRA stills.
    static CapturePhotoSettingsRef photoSettings();
    // `format` holds kCVPixelBufferPixelFormatTypeKey; whether the format is offered is checked
    // when a photo is taken.
    static CapturePhotoSettingsRef photoSettingsWithFormat(const image::PropertyDictionary& format);
    // The same settings under a new unique ID.
    static CapturePhotoSettingsRef photoSettingsFromPhotoSettings(
        const CapturePhotoSettings& settings);

    int64_t uniqueID() const { return uniqueID_; }
    const image::PropertyDictionary& format() const { return format_; }
    // The requested pixel format; 0 when the format names none.
    uint32_t pixelFormatType() const;

    CaptureFlashMode flashMode() const { return flashMode_; }
    void setFlashMode(CaptureFlashMode mode) { flashMode_ = mode; }
    bool isHighResolutionPhotoEnabled() const { return highResolution_; }
    void setHighResolutionPhotoEnabled(bool enabled) { highResolution_ = enabled; }

  private:
    explicit CapturePhotoSettings(image::PropertyDictionary format);

    int64_t uniqueID_;
    image::PropertyDictionary format_;
    CaptureFlashMode flashMode_ = AVCaptureFlashModeOff;
    bool highResolution_ = false;
};

}  // namespace hx::capture

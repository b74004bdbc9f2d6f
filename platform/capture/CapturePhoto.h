#pragma once

// A still as the photo output delivers it: a BGRA pixel buffer at the active format's full
// size in sensor orientation (landscape, whatever way the device was held), the photo's own
// metadata (top-level orientation and size with its {Exif} dictionary) and the settings it was
// taken with as resolved.
//
// Threads: immutable; any thread may read it.

#include <memory>

#include "platform/capture/CaptureTypes.h"
#include "platform/gpu/PixelBuffer.h"
#include "platform/image/PropertyDictionary.h"

namespace hx::capture {

struct CaptureResolvedPhotoSettings {
    int64_t uniqueID = 0;
    VideoDimensions photoDimensions;
    bool flashEnabled = false;  // whether the flash fired
};

class CapturePhoto {
  public:
    CapturePhoto(gpu::PixelBufferRef pixelBuffer, image::PropertyDictionary metadata,
                 double timestamp, CaptureResolvedPhotoSettings resolved)
        : pixelBuffer_(std::move(pixelBuffer)),
          metadata_(std::move(metadata)),
          timestamp_(timestamp),
          resolved_(resolved) {}

    // Null when the capture failed.
    const gpu::PixelBufferRef& pixelBuffer() const { return pixelBuffer_; }
    const image::PropertyDictionary& metadata() const { return metadata_; }
    // The photo's own Exif dictionary (empty when the capture failed).
    image::PropertyDictionary exifDictionary() const {
        return metadata_.dictionary(image::kCGImagePropertyExifDictionary);
    }
    // Seconds on the run loop's clock when the shutter opened.
    double timestamp() const { return timestamp_; }
    const CaptureResolvedPhotoSettings& resolvedSettings() const { return resolved_; }

  private:
    gpu::PixelBufferRef pixelBuffer_;
    image::PropertyDictionary metadata_;
    double timestamp_;
    CaptureResolvedPhotoSettings resolved_;
};
using CapturePhotoRef = std::shared_ptr<const CapturePhoto>;

}  // namespace hx::capture

#pragma once

// One format of a capture device: the size of its frames and stills in sensor orientation
// (landscape), read from its format description, and how far it can zoom.
//
// Threads: immutable; any thread may read it.

#include <memory>
#include <string>

#include "platform/capture/CaptureTypes.h"

namespace hx::capture {

struct VideoFormatDescription {
    std::string mediaType = AVMediaTypeVideo;
    uint32_t pixelFormat = kCVPixelFormatType_32BGRA;
    VideoDimensions dimensions;
};

// The dimensions of a format description.
inline VideoDimensions CMVideoFormatDescriptionGetDimensions(
    const VideoFormatDescription& description) {
    return description.dimensions;
}

class CaptureDeviceFormat {
  public:
    CaptureDeviceFormat(VideoDimensions dimensions, float videoMaxZoomFactor)
        : description_{AVMediaTypeVideo, kCVPixelFormatType_32BGRA, dimensions},
          videoMaxZoomFactor_(videoMaxZoomFactor) {}

    const std::string& mediaType() const { return description_.mediaType; }
    const VideoFormatDescription& formatDescription() const { return description_; }
    VideoDimensions videoDimensions() const { return description_.dimensions; }
    float videoMaxZoomFactor() const { return videoMaxZoomFactor_; }
    // "4032x3024"
    std::string description() const;

  private:
    VideoFormatDescription description_;
    float videoMaxZoomFactor_;
};
using CaptureDeviceFormatRef = std::shared_ptr<const CaptureDeviceFormat>;

}  // namespace hx::capture

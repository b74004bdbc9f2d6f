#pragma once
// Reading a PNG's size and components from its header without decoding it, and shrinking a
// decoded picture for a thumbnail.

#include <optional>
#include <string>

#include "platform/image/Image.h"
#include "platform/image/ImageLimits.h"

namespace hx::image {

std::optional<ImageInfo> probePng(const uint8_t* data, size_t size, std::string* error);

// The picture scaled with area averaging so its long side is at most `maxPixelSize`.
ImageRef resizeToFit(const ImageRef& image, int maxPixelSize);

}  // namespace hx::image

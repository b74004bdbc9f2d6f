#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/image/Image.h"
#include "platform/image/ImageLimits.h"

namespace hx::image {

// JPEG files in memory through libjpeg-turbo. Every failure returns false, null or empty, with a
// message in `error` when one is given; nothing is logged, thrown or aborted on bad input.
//
// Threads: the functions share no state; any number may run at once on different threads.

// The largest Exif block an APP1 segment can carry after its "Exif\0\0" prefix.
constexpr size_t kMaxJpegExifBlockBytes = 65533 - 6;

// Encodes straight from the image rows: Grey8 as a one-component JPEG; RGB8, RGBA8 and BGRA8 as
// YCbCr with 4:2:0 chroma (alpha ignored; BGRA8 images are expected to be opaque). `quality` in
// 0...1 maps to the libjpeg scale 1...100. When `exifBlock` is not empty it is written as an
// APP1 "Exif\0\0" segment right after SOI and no JFIF segment is written. `out` is replaced on
// success and untouched on failure.
bool encodeJpeg(const Image& image, double quality, const std::vector<uint8_t>& exifBlock,
                std::vector<uint8_t>& out, std::string* error);

// Size and components from the header alone; `components` counts the colour components stored,
// 1 (grey, decoded to Grey8), 3 (YCbCr or RGB) or 4 (CMYK or YCCK, both decoded to RGB8). Sizes
// beyond the decode limits are reported as they are; decodeJpeg refuses them.
std::optional<ImageInfo> probeJpeg(const uint8_t* data, size_t size, std::string* error);

// Decodes to Grey8 (grey files) or RGB8 (YCbCr, RGB, CMYK and YCCK files), the pixels as stored
// (the Exif orientation is not applied). With maxPixelSize > 0 the result is exactly
// fitWithin(width, height, maxPixelSize): the smallest DCT scaling (1/2, 1/4, 1/8) that keeps the
// long side at least that large, then an area-averaged shrink. Files that end early or are cut
// short inside their image data are refused rather than shown partly grey.
ImageRef decodeJpeg(const uint8_t* data, size_t size, int maxPixelSize, std::string* error);
// As above, decoding into the memory of `recycled` when nothing else holds it and it is large
// enough (see PixelMemory): a program that decodes photo after photo and lets each go before the
// next decodes without fresh memory. `recycled` is released either way.
ImageRef decodeJpeg(const uint8_t* data, size_t size, int maxPixelSize, std::string* error,
                    ImageRef recycled);

// The Exif block of the first APP1 segment that starts with "Exif\0\0" (the bytes after that
// prefix), found by walking the markers before the image data; empty when there is none or the
// markers are damaged.
std::vector<uint8_t> jpegExifBlock(const uint8_t* data, size_t size);

}  // namespace hx::image

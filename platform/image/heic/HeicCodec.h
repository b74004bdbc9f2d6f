#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/image/Image.h"

namespace hx::image {

// HEIC files (HEVC-coded HEIF) through libheif. Every failure returns false, null or nullopt with
// a message in `*error` when one is given; nothing throws, aborts or prints, whatever the input.
//
// Orientation travels the HEIF way: the pixels stay as the sensor delivered them and the primary
// image carries 'irot' (rotation) and 'imir' (mirror) properties that readers apply when they
// show it. The Exif block inside is stored as given (writers put Orientation 1 there, so that no
// reader turns the picture twice).
//
// Threads: every call makes its own libheif context, encoder and decoder and shares nothing, so
// any number of calls may run at once on any threads. One encode already uses every core.

struct HeicEncodeOptions {
    double quality = 0.9;  // 0..1, the camera uses 0.9
    int orientation = 1;   // Exif orientation 1..8
    // The Exif payload starting at its TIFF header ("II*\0" or "MM\0*"); empty for none.
    std::vector<uint8_t> exifBlock;
};

// 8-bit HEIC with 4:2:0 chroma from RGB8, BGRA8 (un-premultiplied), RGBA8 (alpha dropped) or
// Grey8 (written as colour). `quality` goes to libheif as round(quality * 100). The encoder is
// tuned for speed: a clean 12-megapixel photo at 0.9 takes under two seconds of two cores;
// the time grows with the coded size, so noisy pictures at high quality take longer. Images
// larger than the decoders accept are refused. `out` is replaced only on success.
bool encodeHeic(const Image& image, const HeicEncodeOptions& options, std::vector<uint8_t>& out,
                std::string* error);

struct HeicInfo {
    int width = 0, height = 0;       // as stored, before the orientation is applied
    int orientation = 1;             // Exif value equivalent to the transform properties
    std::vector<uint8_t> exifBlock;  // from its TIFF header on; empty when the file has none
};

// Size of the primary image as stored (before the transform), the orientation recovered from its
// transform properties, and its Exif block.
std::optional<HeicInfo> probeHeic(const uint8_t* data, size_t size, std::string* error);

// The primary image's pixels as stored (the orientation is NOT applied; probeHeic reports it), in
// RGB8. With maxPixelSize > 0 the result is scaled down, averaging, so its long side is
// min(maxPixelSize, stored long side) (see fitWithin); an embedded thumbnail is used instead of
// the full image when it is at least that large.
ImageRef decodeHeic(const uint8_t* data, size_t size, int maxPixelSize, std::string* error);

}  // namespace hx::image

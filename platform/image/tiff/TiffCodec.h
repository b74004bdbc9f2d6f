#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/image/Image.h"
#include "platform/image/ImageLimits.h"

namespace hx::image {

// TIFF files in memory through libtiff; the filesystem is never touched. Every failure returns
// false, null or empty, with a message in `error` when one is given (libtiff's own first complaint
// where it had one); nothing is logged, thrown or aborted on bad input.
//
// Threads: the functions share no state; any number may run at once on different threads.

// Writes one uncompressed 8-bit image: Grey8 as min-is-black grey, RGB8 as RGB, RGBA8 and BGRA8
// as RGB with the alpha dropped. Contiguous samples in strips of up to 64 KiB, resolution
// 72 pixels per inch. `out` is replaced on success and untouched on failure.
bool encodeTiff(const Image& image, std::vector<uint8_t>& out, std::string* error);

// Size and colour components of the first image in the file, from its directory alone;
// `components` is 1 for grey (decoded to Grey8), 4 for CMYK and 3 for every other colour kind
// (decoded to RGB8), alpha not counted.
std::optional<ImageInfo> probeTiff(const uint8_t* data, size_t size, std::string* error);

// Decodes the first image to Grey8 (grey files) or RGB8 (everything else: RGB, palette, YCbCr,
// CMYK...), alpha dropped, rows in the order the file stores them (the Orientation tag is not
// applied). Eight-bit grey and RGB in contiguous strips or tiles, whatever their compression, are
// read directly; other layouts go through libtiff's RGBA reader. With maxPixelSize > 0 the decoded
// image is then shrunk to exactly fitWithin(width, height, maxPixelSize) by area averaging.
ImageRef decodeTiff(const uint8_t* data, size_t size, int maxPixelSize, std::string* error);

}  // namespace hx::image

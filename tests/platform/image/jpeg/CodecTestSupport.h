#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/image/Image.h"

namespace hx::image::test {

// A picture of soft gradients and shapes, the kind JPEG is made for, in any format (opaque).
ImageRef makeSmoothPicture(PixelFormat format, int width, int height, size_t bytesPerRow = 0);

// Peak signal-to-noise ratio in dB over every component; both images must have the same size
// and format. Infinity when identical.
double psnr(const Image& a, const Image& b);

// A binary PGM (P5) or PPM (P6), as djpeg writes them; null when the data is not one.
ImageRef parsePnm(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> makePnm(const Image& image);  // Grey8 or RGB8

// A minimal little-endian Exif block (TIFF header and IFD0) holding the Make tag.
std::vector<uint8_t> makeExifBlock(const std::string& make, size_t paddingBytes = 0);

}  // namespace hx::image::test

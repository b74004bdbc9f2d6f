#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/image/Image.h"
#include "platform/image/ImageLimits.h"

namespace hx::image {

// PNG files through libpng. Every failure returns null or false, with a message in `error` when
// one is given; none of these throw or abort on bad input.
//
// Threads: the functions share no state and may run on any number of threads at once.

// Decodes any PNG (palette, grey, grey with alpha, 16-bit, interlaced) into Grey8 when it is grey
// without transparency, RGB8 when it is colour without transparency, and RGBA8 (straight alpha)
// when it has an alpha channel or a transparency chunk. Sixteen-bit samples are scaled to eight;
// gamma and colour chunks are ignored. Sizes beyond decodeSizeAllowed are refused before any pixel
// memory is allocated.
ImageRef readPng(const std::string& path, std::string* error = nullptr);
ImageRef readPng(const uint8_t* bytes, size_t size, std::string* error = nullptr);

// Encodes Grey8 as grey, RGB8 as RGB, RGBA8 as RGBA, and BGRA8 as RGBA after un-premultiplying,
// marked as sRGB. The file is written through a temporary beside it and renamed into place.
bool writePng(const Image& image, const std::string& path, std::string* error = nullptr);
bool writePng(const Image& image, std::vector<uint8_t>& output, std::string* error = nullptr);

}  // namespace hx::image

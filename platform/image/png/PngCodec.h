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

// How writePng trades time for file size: the row filter every row uses, zlib's level, and
// whether zlib is told the rows are filtered (its Z_FILTERED strategy, which libpng picks on its
// own whenever a filter is used).
struct PngCompression {
    enum class Filter { None, Sub, Up, Average, Paeth, Adaptive };
    // Chosen by measurement in the codec bench (bench/ImageCodecBench.cpp) on the sample photo
    // and monochrome films rendered from it and from the simulated camera's still: the Up
    // filter at level 4 with zlib's default strategy writes them in 35% to 45% of the time of
    // libpng's own default (every filter tried on each row, level 6, filtered strategy), at
    // 98% to 125% of its size. Level 3 and below, or the filtered strategy, make files up to
    // half as large again; the Sub filter is as good on photos and twice as large on the
    // smooth pictures the simulated camera takes.
    Filter filter = Filter::Up;
    int level = 4;  // 0 (stored) to 9 (smallest)
    bool filteredStrategy = false;

    // What libpng does when not told otherwise.
    static constexpr PngCompression libpngDefault() { return {Filter::Adaptive, 6, true}; }
};

// Encodes Grey8 as grey, RGB8 as RGB, RGBA8 as RGBA, and BGRA8 as RGBA after un-premultiplying,
// marked as sRGB. The file is written through a temporary beside it and renamed into place.
bool writePng(const Image& image, const std::string& path, std::string* error = nullptr);
bool writePng(const Image& image, std::vector<uint8_t>& output, std::string* error = nullptr);
bool writePng(const Image& image, std::vector<uint8_t>& output, std::string* error,
              const PngCompression& compression);

}  // namespace hx::image

#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../../support/TemporaryFolder.h"
#include "platform/image/Image.h"

namespace hx::image::test {

// A distinct, repeatable value for every component of every pixel. BGRA8 patterns are valid
// premultiplied data (no component above its alpha); alpha varies unless `opaque`.
ImageRef makePattern(PixelFormat format, int width, int height, size_t bytesPerRow = 0,
                     bool opaque = false);

// Every pixel the same, given as the bytes of one pixel in `format`.
ImageRef makeConstant(PixelFormat format, int width, int height, const std::vector<uint8_t>& pixel);

// The bytes of pixel (x, y), counted from the top-left.
std::vector<uint8_t> pixelAt(const Image& image, int x, int y);

// Same format, size and pixel bytes (padding ignored). Describes the first difference.
::testing::AssertionResult samePixels(const Image& expected, const Image& actual);

using TemporaryFolder = testsupport::TemporaryFolder;

// A PNG written directly with libpng, for the kinds our own encoder never produces.
struct PngLayout {
    int width = 0;
    int height = 0;
    int colorType = 0;  // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<uint8_t> rows;          // packed PNG rows, big-endian for 16-bit samples
    std::vector<uint8_t> palette;       // r g b triples
    std::vector<uint8_t> paletteAlpha;  // tRNS for palette images
    bool hasTransparentColour = false;  // tRNS for grey and RGB images
    uint16_t transparentGrey = 0;
    uint16_t transparentRed = 0, transparentGreen = 0, transparentBlue = 0;
};
std::vector<uint8_t> encodeWithLibpng(const PngLayout& layout);

std::vector<uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace hx::image::test

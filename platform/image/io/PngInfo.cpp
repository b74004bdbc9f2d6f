#include "platform/image/io/PngInfo.h"

#include <cstring>

#include "platform/image/ImageLimits.h"
#include "platform/image/PixelConversion.h"
#include "platform/image/Resample.h"

namespace hx::image {

std::optional<ImageInfo> probePng(const uint8_t* data, size_t size, std::string* error) {
    auto fail = [&](const char* why) -> std::optional<ImageInfo> {
        if (error) *error = why;
        return std::nullopt;
    };
    // Signature, then the IHDR chunk: length, "IHDR", width, height, depth, colour type.
    if (!data || size < 33 || std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) != 0 ||
        std::memcmp(data + 12, "IHDR", 4) != 0)
        return fail("not a PNG file");
    auto be32 = [&](size_t at) {
        return uint32_t(data[at]) << 24 | uint32_t(data[at + 1]) << 16 |
               uint32_t(data[at + 2]) << 8 | uint32_t(data[at + 3]);
    };
    const uint32_t width = be32(16), height = be32(20);
    if (!decodeSizeWithinCeiling(width, height)) return fail("the PNG's size is out of range");
    const uint8_t colorType = data[25];
    int components;
    switch (colorType) {
        case 0:
            components = 1;
            break;  // grey
        case 4:
            components = 2;
            break;  // grey and alpha
        case 2:
        case 3:
            components = 3;
            break;  // colour, palette
        case 6:
            components = 4;
            break;
        default:
            return fail("the PNG has an unknown colour type");
    }
    return ImageInfo{int(width), int(height), components};
}

ImageRef resizeToFit(const ImageRef& image, int maxPixelSize) {
    if (!image) return nullptr;
    return scaleToFit(image, image->width(), image->height(), maxPixelSize, nullptr);
}

}  // namespace hx::image

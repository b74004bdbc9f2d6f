#pragma once

#include <cstddef>
#include <cstdint>

namespace hx::image {

// Every image and drawing surface holds 8 bits per component.
enum class PixelFormat : uint8_t {
    Grey8,  // one byte of luminance per pixel
    RGB8,   // R G B
    BGRA8,  // B G R A in memory (32-bit little-endian, alpha in the high byte), premultiplied
    RGBA8,  // R G B A, straight alpha, as PNG files hold it
};

// Returns 0 for a value outside the enumeration, so layouts built from it fail validation.
size_t bytesPerPixel(PixelFormat format);
size_t componentsPerPixel(PixelFormat format);
bool hasAlpha(PixelFormat format);
bool isValid(PixelFormat format);
const char* pixelFormatName(PixelFormat format);

}  // namespace hx::image

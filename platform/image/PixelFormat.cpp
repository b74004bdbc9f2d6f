#include "platform/image/PixelFormat.h"

namespace hx::image {

size_t bytesPerPixel(PixelFormat format) {
    switch (format) {
        case PixelFormat::Grey8:
            return 1;
        case PixelFormat::RGB8:
            return 3;
        case PixelFormat::BGRA8:
        case PixelFormat::RGBA8:
            return 4;
    }
    return 0;
}

size_t componentsPerPixel(PixelFormat format) {
    // One byte per component in every format.
    return bytesPerPixel(format);
}

bool hasAlpha(PixelFormat format) {
    return format == PixelFormat::BGRA8 || format == PixelFormat::RGBA8;
}

bool isValid(PixelFormat format) {
    return bytesPerPixel(format) != 0;
}

const char* pixelFormatName(PixelFormat format) {
    switch (format) {
        case PixelFormat::Grey8:
            return "Grey8";
        case PixelFormat::RGB8:
            return "RGB8";
        case PixelFormat::BGRA8:
            return "BGRA8";
        case PixelFormat::RGBA8:
            return "RGBA8";
    }
    return "invalid";
}

}  // namespace hx::image

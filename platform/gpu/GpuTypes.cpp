#include "platform/gpu/GpuTypes.h"

namespace hx::gpu {

size_t bytesPerPixel(PixelFormat format) {
    switch (format) {
        case PixelFormat::R8Unorm:
            return 1;
        case PixelFormat::RGBA8Unorm:
        case PixelFormat::BGRA8Unorm:
            return 4;
        case PixelFormat::Invalid:
            break;
    }
    return 0;
}

const char* pixelFormatName(PixelFormat format) {
    switch (format) {
        case PixelFormat::R8Unorm:
            return "R8Unorm";
        case PixelFormat::RGBA8Unorm:
            return "RGBA8Unorm";
        case PixelFormat::BGRA8Unorm:
            return "BGRA8Unorm";
        case PixelFormat::Invalid:
            break;
    }
    return "Invalid";
}

}  // namespace hx::gpu

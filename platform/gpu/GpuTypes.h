#pragma once
// Small value types shared by every part of the GPU layer.

#include <cstddef>
#include <cstdint>

namespace hx::gpu {

enum class PixelFormat {
    Invalid,
    R8Unorm,     // one normalised byte per texel
    RGBA8Unorm,  // bytes R, G, B, A
    BGRA8Unorm,  // bytes B, G, R, A
};

size_t bytesPerPixel(PixelFormat format);
const char* pixelFormatName(PixelFormat format);

enum class TextureType { Type1D, Type2D };

// Bit flags, combinable with |.
enum TextureUsage : uint32_t {
    TextureUsageUnknown = 0,
    TextureUsageShaderRead = 1,
    TextureUsageShaderWrite = 2,
    TextureUsageRenderTarget = 4,
};

enum class LoadAction { DontCare, Load, Clear };
enum class StoreAction { DontCare, Store };
enum class PrimitiveType { Point, Line, Triangle, TriangleStrip };
enum class FunctionType { Vertex, Fragment };

// Resource options beyond the default storage have no meaning on this platform yet.
using ResourceOptions = uint32_t;
constexpr ResourceOptions ResourceOptionsDefault = 0;

struct ClearColor {
    double red = 0, green = 0, blue = 0, alpha = 1;
};

struct Origin {
    size_t x = 0, y = 0, z = 0;
};
struct Size {
    size_t width = 0, height = 0, depth = 1;
};
struct Region {
    Origin origin;
    Size size;
    static Region make1D(size_t x, size_t width) { return {{x, 0, 0}, {width, 1, 1}}; }
    static Region make2D(size_t x, size_t y, size_t width, size_t height) {
        return {{x, y, 0}, {width, height, 1}};
    }
};

}  // namespace hx::gpu

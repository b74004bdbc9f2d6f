#include "platform/gpu/Texture.h"

namespace hx::gpu {

TextureDescriptor TextureDescriptor::texture2D(PixelFormat format, size_t width, size_t height,
                                               bool) {
    TextureDescriptor d;
    d.textureType = TextureType::Type2D;
    d.pixelFormat = format;
    d.width = width;
    d.height = height;
    return d;
}

TextureDescriptor TextureDescriptor::textureBuffer(PixelFormat format, size_t width,
                                                   ResourceOptions options, uint32_t usage) {
    TextureDescriptor d;
    d.textureType = TextureType::Type1D;
    d.pixelFormat = format;
    d.width = width;
    d.height = 1;
    d.resourceOptions = options;
    d.usage = usage;
    return d;
}

}  // namespace hx::gpu

#pragma once

#include <memory>

#include "platform/gpu/GpuTypes.h"

namespace hx::gpu {

struct TextureDescriptor {
    TextureType textureType = TextureType::Type2D;
    PixelFormat pixelFormat = PixelFormat::RGBA8Unorm;
    size_t width = 1;
    size_t height = 1;
    ResourceOptions resourceOptions = ResourceOptionsDefault;
    uint32_t usage = TextureUsageShaderRead;

    static TextureDescriptor texture2D(PixelFormat format, size_t width, size_t height,
                                       bool mipmapped = false);
    // A buffer-style texture: one row of `width` texels (1D once its type is set so).
    static TextureDescriptor textureBuffer(PixelFormat format, size_t width,
                                           ResourceOptions options, uint32_t usage);
};

// A texture lives on the device that made it. Its contents change only through uploads and
// render passes; readers on other threads must be ordered by command-buffer completion.
class Texture {
  public:
    virtual ~Texture() = default;
    virtual TextureType textureType() const = 0;
    virtual PixelFormat pixelFormat() const = 0;
    virtual size_t width() const = 0;
    virtual size_t height() const = 0;
    virtual uint32_t usage() const = 0;
    // Copies texels from CPU memory into the region. A bytesPerRow of 0 means tightly packed
    // (always the case for 1D textures).
    virtual void replaceRegion(const Region& region, size_t mipmapLevel, const void* bytes,
                               size_t bytesPerRow) = 0;
    // Reads texels of the region back into CPU memory.
    virtual void getBytes(void* bytes, size_t bytesPerRow, const Region& region,
                          size_t mipmapLevel) const = 0;
};

using TextureRef = std::shared_ptr<Texture>;

}  // namespace hx::gpu

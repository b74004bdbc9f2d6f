#pragma once

#include <memory>
#include <vector>

#include "platform/gpu/Buffer.h"
#include "platform/gpu/PixelBuffer.h"
#include "platform/gpu/Texture.h"
#include "platform/gpu/cpu/ShaderABI.h"

namespace hx::gpu::cpu {

// Texels in CPU memory: either its own storage or a pixel buffer's memory (kept alive).
// Uploads and reads are plain memory copies; ordering against render passes is the caller's.
class CpuTexture final : public Texture {
  public:
    static std::shared_ptr<CpuTexture> make(const TextureDescriptor& descriptor);
    static std::shared_ptr<CpuTexture> overPixelBuffer(PixelBufferRef buffer, PixelFormat format,
                                                       size_t width, size_t height);

    TextureType textureType() const override { return type_; }
    PixelFormat pixelFormat() const override { return format_; }
    size_t width() const override { return width_; }
    size_t height() const override { return height_; }
    uint32_t usage() const override { return usage_; }
    void replaceRegion(const Region& region, size_t mipmapLevel, const void* bytes,
                       size_t bytesPerRow) override;
    void getBytes(void* bytes, size_t bytesPerRow, const Region& region,
                  size_t mipmapLevel) const override;

    BoundTexture binding() const { return {data_, width_, height_, bytesPerRow_, format_}; }
    RenderTarget target() const { return {data_, width_, height_, bytesPerRow_, format_}; }

  private:
    CpuTexture(TextureType type, PixelFormat format, size_t width, size_t height, uint32_t usage)
        : type_(type), format_(format), width_(width), height_(height), usage_(usage) {}
    bool regionInside(const Region& region) const;

    TextureType type_;
    PixelFormat format_;
    size_t width_, height_;
    uint32_t usage_;
    size_t bytesPerRow_ = 0;
    uint8_t* data_ = nullptr;
    std::vector<uint8_t> storage_;
    PixelBufferRef pixelBuffer_;
};

class CpuBuffer final : public Buffer {
  public:
    CpuBuffer(const void* bytes, size_t length);
    size_t length() const override { return bytes_.size(); }
    const void* contents() const override { return bytes_.data(); }

  private:
    std::vector<uint8_t> bytes_;
};

}  // namespace hx::gpu::cpu

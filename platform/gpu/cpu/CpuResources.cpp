#include "platform/gpu/cpu/CpuResources.h"

#include <cstring>
#include <new>

#include "platform/log/Log.h"

namespace hx::gpu::cpu {

namespace {
constexpr size_t kMaxTextureSide = 1 << 15;
}

std::shared_ptr<CpuTexture> CpuTexture::make(const TextureDescriptor& d) {
    size_t bpp = bytesPerPixel(d.pixelFormat);
    size_t height = d.textureType == TextureType::Type1D ? 1 : d.height;
    if (bpp == 0 || d.width == 0 || height == 0 || d.width > kMaxTextureSide ||
        height > kMaxTextureSide)
        return nullptr;
    // A texture the memory cannot hold is no texture: the caller hears null, as for a bad size.
    try {
        std::shared_ptr<CpuTexture> texture(
            new CpuTexture(d.textureType, d.pixelFormat, d.width, height, d.usage));
        texture->bytesPerRow_ = d.width * bpp;
        texture->storage_.assign(texture->bytesPerRow_ * height, 0);
        texture->data_ = texture->storage_.data();
        return texture;
    } catch (const std::bad_alloc&) {
        hxLog("GPU: out of memory for a %zux%zu texture", d.width, height);
        return nullptr;
    }
}

std::shared_ptr<CpuTexture> CpuTexture::overPixelBuffer(PixelBufferRef buffer, PixelFormat format,
                                                        size_t width, size_t height) {
    if (!buffer || bytesPerPixel(format) != 4 || width == 0 || height == 0 ||
        width > buffer->width() || height > buffer->height())
        return nullptr;
    std::shared_ptr<CpuTexture> texture(new CpuTexture(
        TextureType::Type2D, format, width, height,
        TextureUsageShaderRead | TextureUsageShaderWrite | TextureUsageRenderTarget));
    texture->bytesPerRow_ = buffer->bytesPerRow();
    texture->data_ = buffer->baseAddress();
    texture->pixelBuffer_ = std::move(buffer);
    return texture;
}

bool CpuTexture::regionInside(const Region& r) const {
    // Compared by subtraction so that huge origins or sizes cannot wrap around.
    return r.size.width > 0 && r.size.height > 0 && r.origin.x < width_ &&
           r.size.width <= width_ - r.origin.x && r.origin.y < height_ &&
           r.size.height <= height_ - r.origin.y && r.origin.z == 0 && r.size.depth == 1;
}

void CpuTexture::replaceRegion(const Region& region, size_t mipmapLevel, const void* bytes,
                               size_t bytesPerRow) {
    if (!bytes || mipmapLevel != 0 || !regionInside(region)) return;
    const size_t bpp = bytesPerPixel(format_);
    const size_t rowBytes = region.size.width * bpp;
    if (bytesPerRow == 0 || type_ == TextureType::Type1D) bytesPerRow = rowBytes;
    if (bytesPerRow < rowBytes) return;
    auto* source = static_cast<const uint8_t*>(bytes);
    for (size_t y = 0; y < region.size.height; ++y)
        std::memcpy(data_ + (region.origin.y + y) * bytesPerRow_ + region.origin.x * bpp,
                    source + y * bytesPerRow, rowBytes);
}

void CpuTexture::getBytes(void* bytes, size_t bytesPerRow, const Region& region,
                          size_t mipmapLevel) const {
    if (!bytes || mipmapLevel != 0 || !regionInside(region)) return;
    const size_t bpp = bytesPerPixel(format_);
    const size_t rowBytes = region.size.width * bpp;
    if (bytesPerRow == 0) bytesPerRow = rowBytes;
    if (bytesPerRow < rowBytes) return;
    auto* out = static_cast<uint8_t*>(bytes);
    for (size_t y = 0; y < region.size.height; ++y)
        std::memcpy(out + y * bytesPerRow,
                    data_ + (region.origin.y + y) * bytesPerRow_ + region.origin.x * bpp, rowBytes);
}

CpuBuffer::CpuBuffer(const void* bytes, size_t length)
    : bytes_(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + length) {}

}  // namespace hx::gpu::cpu

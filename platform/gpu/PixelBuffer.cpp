#include "platform/gpu/PixelBuffer.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace hx::gpu {

namespace {
constexpr size_t kMaxSide = 1 << 15;
}

PixelBuffer::PixelBuffer(size_t width, size_t height, size_t bytesPerRow, uint32_t type,
                         const PixelBufferAttributes& attributes, uint8_t* data)
    : width_(width),
      height_(height),
      bytesPerRow_(bytesPerRow),
      pixelFormatType_(type),
      attributes_(attributes),
      data_(data) {}

PixelBuffer::~PixelBuffer() {
    std::free(data_);
}

VideoStatus PixelBuffer::create(size_t width, size_t height, uint32_t pixelFormatType,
                                const PixelBufferAttributes& attributes,
                                std::shared_ptr<PixelBuffer>* out) {
    if (!out) return VideoStatusInvalidArgument;
    out->reset();
    if (pixelFormatType != PixelFormatType32BGRA) return VideoStatusInvalidPixelFormat;
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        return VideoStatusInvalidSize;
    size_t bytesPerRow = (width * 4 + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
    void* memory = std::aligned_alloc(kRowAlignment, bytesPerRow * height);
    if (!memory) return VideoStatusAllocationFailed;
    out->reset(new (std::nothrow) PixelBuffer(width, height, bytesPerRow, pixelFormatType,
                                              attributes, static_cast<uint8_t*>(memory)));
    if (!*out) {
        std::free(memory);
        return VideoStatusAllocationFailed;
    }
    return VideoStatusSuccess;
}

VideoStatus PixelBuffer::lockBaseAddress(uint32_t) {
    lockCount_.fetch_add(1);
    return VideoStatusSuccess;
}

VideoStatus PixelBuffer::unlockBaseAddress(uint32_t) {
    int expected = lockCount_.load();
    while (expected > 0 && !lockCount_.compare_exchange_weak(expected, expected - 1)) {
    }
    return expected > 0 ? VideoStatusSuccess : VideoStatusError;
}

VideoStatus VideoTextureCache::create(DeviceRef device, std::shared_ptr<VideoTextureCache>* out) {
    if (!out) return VideoStatusInvalidArgument;
    out->reset();
    if (!device) return VideoStatusInvalidArgument;
    out->reset(new (std::nothrow) VideoTextureCache(std::move(device)));
    return *out ? VideoStatusSuccess : VideoStatusAllocationFailed;
}

VideoStatus VideoTextureCache::createTextureFromImage(const PixelBufferRef& buffer,
                                                      PixelFormat format, size_t width,
                                                      size_t height, size_t plane,
                                                      VideoTextureRef* out) {
    if (!out) return VideoStatusInvalidArgument;
    out->reset();
    if (!buffer || plane != 0) return VideoStatusInvalidArgument;
    if (!buffer->attributes().gpuCompatible) return VideoStatusNotGpuCompatible;
    if (format != PixelFormat::BGRA8Unorm && format != PixelFormat::RGBA8Unorm)
        return VideoStatusInvalidPixelFormat;
    if (width == 0 || height == 0 || width > buffer->width() || height > buffer->height())
        return VideoStatusInvalidSize;
    TextureRef texture = device_->newTextureOverPixelBuffer(buffer, format, width, height, plane);
    if (!texture) return VideoStatusError;
    *out = std::make_shared<VideoTexture>(std::move(texture));
    return VideoStatusSuccess;
}

}  // namespace hx::gpu

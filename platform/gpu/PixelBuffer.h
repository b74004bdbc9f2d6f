#pragma once
// Video-frame memory shared by the camera, the CPU and the GPU: BGRA pixel buffers and the
// texture cache that lets the GPU read and render into them without copying.

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/gpu/Device.h"

namespace hx::gpu {

// Status codes of pixel-buffer and texture-cache calls; 0 is success. Callers log them as
// integers, so the values stay fixed.
enum VideoStatus : int32_t {
    VideoStatusSuccess = 0,
    VideoStatusError = -6660,
    VideoStatusInvalidArgument = -6661,
    VideoStatusAllocationFailed = -6662,
    VideoStatusInvalidPixelFormat = -6680,
    VideoStatusInvalidSize = -6681,
    VideoStatusNotGpuCompatible = -6683,
};

// Four-character pixel format codes.
constexpr uint32_t fourCharCode(char a, char b, char c, char d) {
    return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) |
           (uint32_t(uint8_t(c)) << 8) | uint32_t(uint8_t(d));
}
constexpr uint32_t PixelFormatType32BGRA = fourCharCode('B', 'G', 'R', 'A');

struct PixelBufferAttributes {
    bool gpuCompatible = false;
    bool imageCompatible = false;
    bool bitmapContextCompatible = false;
};

// A CPU-addressable BGRA frame. Rows are padded to 64 bytes, as video hardware lays them out,
// so bytesPerRow() is 4 × width only when the width is a multiple of 16.
// Thread safety: the memory is shared; lock()/unlock() only count, ordering is the caller's
// (GPU writes are visible once their command buffer has completed).
class PixelBuffer {
  public:
    static constexpr size_t kRowAlignment = 64;

    static VideoStatus create(size_t width, size_t height, uint32_t pixelFormatType,
                              const PixelBufferAttributes& attributes,
                              std::shared_ptr<PixelBuffer>* out);
    ~PixelBuffer();
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;

    size_t width() const { return width_; }
    size_t height() const { return height_; }
    size_t bytesPerRow() const { return bytesPerRow_; }
    uint32_t pixelFormatType() const { return pixelFormatType_; }
    const PixelBufferAttributes& attributes() const { return attributes_; }

    enum LockFlags : uint32_t { LockReadWrite = 0, LockReadOnly = 1 };
    VideoStatus lockBaseAddress(uint32_t flags = LockReadWrite);
    VideoStatus unlockBaseAddress(uint32_t flags = LockReadWrite);
    bool isLocked() const { return lockCount_.load() > 0; }
    uint8_t* baseAddress() const { return data_; }

  private:
    PixelBuffer(size_t width, size_t height, size_t bytesPerRow, uint32_t type,
                const PixelBufferAttributes& attributes, uint8_t* data);
    size_t width_, height_, bytesPerRow_;
    uint32_t pixelFormatType_;
    PixelBufferAttributes attributes_;
    uint8_t* data_;
    std::atomic<int> lockCount_{0};
};
using PixelBufferRef = std::shared_ptr<PixelBuffer>;

// A GPU texture made over a pixel buffer; take the texture and release the wrapper.
class VideoTexture {
  public:
    explicit VideoTexture(TextureRef texture) : texture_(std::move(texture)) {}
    TextureRef texture() const { return texture_; }

  private:
    TextureRef texture_;
};
using VideoTextureRef = std::shared_ptr<VideoTexture>;

class VideoTextureCache {
  public:
    static VideoStatus create(DeviceRef device, std::shared_ptr<VideoTextureCache>* out);
    // Wraps plane `plane` of the buffer as a texture of the given format and size, no copy.
    VideoStatus createTextureFromImage(const PixelBufferRef& buffer, PixelFormat format,
                                       size_t width, size_t height, size_t plane,
                                       VideoTextureRef* out);

  private:
    explicit VideoTextureCache(DeviceRef device) : device_(std::move(device)) {}
    DeviceRef device_;
};
using VideoTextureCacheRef = std::shared_ptr<VideoTextureCache>;

}  // namespace hx::gpu

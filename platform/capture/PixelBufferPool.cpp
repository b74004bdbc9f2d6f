#include "platform/capture/PixelBufferPool.h"

#include "platform/log/Log.h"

namespace hx::capture {

namespace {
// Frames are wrapped as GPU textures and drawn into bitmaps without copying.
constexpr gpu::PixelBufferAttributes kFrameAttributes{true, true, true};
}  // namespace

std::shared_ptr<PixelBufferPool> PixelBufferPool::create(size_t width, size_t height,
                                                         size_t capacity) {
    gpu::PixelBufferRef probe;
    if (capacity == 0 ||
        gpu::PixelBuffer::create(width, height, gpu::PixelFormatType32BGRA, kFrameAttributes,
                                 &probe) != gpu::VideoStatusSuccess)
        return nullptr;
    std::shared_ptr<PixelBufferPool> pool(new PixelBufferPool(width, height, capacity));
    pool->buffers_.push_back(std::move(probe));
    return pool;
}

gpu::PixelBufferRef PixelBufferPool::acquire() {
    std::lock_guard lock(mutex_);
    // Only the pool hands buffers out, under this lock, so a count of one cannot grow meanwhile.
    for (const gpu::PixelBufferRef& buffer : buffers_)
        if (buffer.use_count() == 1) return buffer;
    if (buffers_.size() >= capacity_) return nullptr;
    gpu::PixelBufferRef buffer;
    gpu::VideoStatus status = gpu::PixelBuffer::create(width_, height_, gpu::PixelFormatType32BGRA,
                                                       kFrameAttributes, &buffer);
    if (status != gpu::VideoStatusSuccess) {
        hxLog("CVPixelBufferCreate %d", static_cast<int>(status));
        return nullptr;
    }
    buffers_.push_back(buffer);
    return buffer;
}

size_t PixelBufferPool::buffersAllocated() const {
    std::lock_guard lock(mutex_);
    return buffers_.size();
}

size_t PixelBufferPool::buffersInUse() const {
    std::lock_guard lock(mutex_);
    size_t inUse = 0;
    for (const gpu::PixelBufferRef& buffer : buffers_)
        if (buffer.use_count() > 1) ++inUse;
    return inUse;
}

}  // namespace hx::capture

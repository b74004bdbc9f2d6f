#pragma once

// A few BGRA frames of one size that a camera fills in turn. A buffer goes back into use only
// once nobody but the pool holds it: a consumer keeps a frame (or a texture over it) as long as
// it likes, and while every buffer is held the camera drops frames instead of overwriting one.
//
// Threads: every member may be called from any thread.

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/gpu/PixelBuffer.h"

namespace hx::capture {

class PixelBufferPool {
  public:
    // Null when the size is not one a pixel buffer can have.
    static std::shared_ptr<PixelBufferPool> create(size_t width, size_t height, size_t capacity);

    // A buffer that nobody else holds, made on first need; null while all are held.
    gpu::PixelBufferRef acquire();

    size_t width() const { return width_; }
    size_t height() const { return height_; }
    size_t capacity() const { return capacity_; }
    // Buffers made so far, and how many of them someone other than the pool holds.
    size_t buffersAllocated() const;
    size_t buffersInUse() const;

  private:
    PixelBufferPool(size_t width, size_t height, size_t capacity)
        : width_(width), height_(height), capacity_(capacity) {}

    const size_t width_, height_, capacity_;
    mutable std::mutex mutex_;
    std::vector<gpu::PixelBufferRef> buffers_;
};
using PixelBufferPoolRef = std::shared_ptr<PixelBufferPool>;

}  // namespace hx::capture

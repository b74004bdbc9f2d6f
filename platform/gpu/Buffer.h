#pragma once

#include <cstddef>
#include <memory>

namespace hx::gpu {

// A block of GPU-visible memory. The renderer makes a new one for every pass's parameters, so
// a command buffer in flight keeps the values it was encoded with.
class Buffer {
  public:
    virtual ~Buffer() = default;
    virtual size_t length() const = 0;
    virtual const void* contents() const = 0;
};

using BufferRef = std::shared_ptr<Buffer>;

}  // namespace hx::gpu

#pragma once

#include <memory>
#include <string>

#include "platform/gpu/Library.h"

namespace hx::gpu {

struct RenderPipelineColorAttachment {
    PixelFormat pixelFormat = PixelFormat::Invalid;
};

// Reusable: callers relabel it and swap functions and formats between pipeline builds.
struct RenderPipelineDescriptor {
    std::string label;
    FunctionRef vertexFunction;
    FunctionRef fragmentFunction;
    RenderPipelineColorAttachment colorAttachments[1];
    size_t rasterSampleCount = 1;
};

class RenderPipelineState {
  public:
    virtual ~RenderPipelineState() = default;
    virtual const std::string& label() const = 0;
    virtual PixelFormat colorPixelFormat() const = 0;
};
using RenderPipelineStateRef = std::shared_ptr<RenderPipelineState>;

}  // namespace hx::gpu

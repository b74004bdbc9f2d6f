#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/gpu/Buffer.h"
#include "platform/gpu/RenderPass.h"
#include "platform/gpu/RenderPipeline.h"

namespace hx::gpu {

// Records the draws of one pass. Used by one thread at a time, like the command buffer that
// made it; nothing runs until the command buffer is committed.
class RenderCommandEncoder {
  public:
    virtual ~RenderCommandEncoder() = default;
    virtual void setLabel(std::string label) = 0;
    virtual const std::string& label() const = 0;
    virtual void pushDebugGroup(std::string name) = 0;
    virtual void popDebugGroup() = 0;
    virtual void setRenderPipelineState(RenderPipelineStateRef pipeline) = 0;
    virtual void setVertexBuffer(BufferRef buffer, size_t offset, size_t index) = 0;
    virtual void setFragmentBuffer(BufferRef buffer, size_t offset, size_t index) = 0;
    virtual void setFragmentTexture(TextureRef texture, size_t index) = 0;
    virtual void drawPrimitives(PrimitiveType type, size_t vertexStart, size_t vertexCount,
                                size_t instanceCount = 1) = 0;
    virtual void endEncoding() = 0;
};
using RenderCommandEncoderRef = std::shared_ptr<RenderCommandEncoder>;

enum class CommandBufferStatus { NotEnqueued, Enqueued, Committed, Scheduled, Completed, Error };

class CommandBuffer;
using CommandBufferHandler = std::function<void(CommandBuffer&)>;

// Built on one thread, then committed. Handlers run on a backend thread: scheduled when the
// device starts on the buffer, completed when its results are in the targets.
class CommandBuffer {
  public:
    virtual ~CommandBuffer() = default;
    virtual void setLabel(std::string label) = 0;
    virtual const std::string& label() const = 0;
    // Null while another encoder of this buffer is still open.
    virtual RenderCommandEncoderRef renderCommandEncoderWithDescriptor(
        const RenderPassDescriptor& descriptor) = 0;
    virtual void addScheduledHandler(CommandBufferHandler handler) = 0;
    virtual void addCompletedHandler(CommandBufferHandler handler) = 0;
    virtual void commit() = 0;
    virtual void waitUntilScheduled() = 0;
    virtual void waitUntilCompleted() = 0;
    virtual CommandBufferStatus status() const = 0;
    // Why the buffer ended in the error state; empty otherwise.
    virtual std::string errorDescription() const = 0;
};
using CommandBufferRef = std::shared_ptr<CommandBuffer>;

// Executes its committed command buffers one after another, in commit order.
class CommandQueue {
  public:
    virtual ~CommandQueue() = default;
    virtual CommandBufferRef commandBuffer() = 0;
};
using CommandQueueRef = std::shared_ptr<CommandQueue>;

}  // namespace hx::gpu

#pragma once
// Pipelines, encoders, command buffers and queues of the GL backend. Encoding records the
// draws; commit() hands the buffer to the context's thread, which runs its passes in commit
// order, puts a fence behind them and fires the completed handlers once the fence has
// signalled.

#include <GLES3/gl31.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/gpu/CommandBuffer.h"
#include "platform/gpu/gl/GlContext.h"
#include "platform/gpu/gl/GlLibrary.h"
#include "platform/gpu/gl/GlResources.h"

namespace hx::gpu::gl {

// A linked program, shared by every pipeline made from the same two functions.
struct GlProgram {
    GLuint program = 0;
    GLint swapTarget = -1, targetSize = -1, textures = -1, vertexBuffers = -1, fragmentBuffers = -1;
};

class GlRenderPipelineState final : public RenderPipelineState {
  public:
    GlRenderPipelineState(std::string label, std::shared_ptr<const GlProgram> program,
                          PixelFormat format)
        : label_(std::move(label)), program_(std::move(program)), format_(format) {}
    const std::string& label() const override { return label_; }
    PixelFormat colorPixelFormat() const override { return format_; }
    const GlProgram& program() const { return *program_; }

  private:
    std::string label_;
    std::shared_ptr<const GlProgram> program_;
    PixelFormat format_;
};

struct GlRecordedDraw {
    std::shared_ptr<GlRenderPipelineState> pipeline;
    std::vector<BufferRef> vertexBuffers{kMaxBindings}, fragmentBuffers{kMaxBindings};
    std::vector<size_t> vertexOffsets = std::vector<size_t>(kMaxBindings),
                        fragmentOffsets = std::vector<size_t>(kMaxBindings);
    std::vector<TextureRef> fragmentTextures{kMaxBindings};
    PrimitiveType primitive = PrimitiveType::TriangleStrip;
    size_t vertexStart = 0, vertexCount = 0, instanceCount = 1;
};

struct GlRecordedPass {
    std::string label;
    RenderPassDescriptor descriptor;
    std::vector<GlRecordedDraw> draws;
};

class GlCommandBuffer;

class GlRenderCommandEncoder final : public RenderCommandEncoder {
  public:
    GlRenderCommandEncoder(std::weak_ptr<GlCommandBuffer> owner,
                           const RenderPassDescriptor& descriptor);
    void setLabel(std::string label) override { pass_.label = std::move(label); }
    const std::string& label() const override { return pass_.label; }
    void pushDebugGroup(std::string name) override { debugGroups_.push_back(std::move(name)); }
    void popDebugGroup() override {
        if (!debugGroups_.empty()) debugGroups_.pop_back();
    }
    void setRenderPipelineState(RenderPipelineStateRef pipeline) override;
    void setVertexBuffer(BufferRef buffer, size_t offset, size_t index) override;
    void setFragmentBuffer(BufferRef buffer, size_t offset, size_t index) override;
    void setFragmentTexture(TextureRef texture, size_t index) override;
    void drawPrimitives(PrimitiveType type, size_t vertexStart, size_t vertexCount,
                        size_t instanceCount) override;
    void endEncoding() override;

  private:
    std::weak_ptr<GlCommandBuffer> owner_;
    bool ended_ = false;
    GlRecordedPass pass_;
    GlRecordedDraw state_;
    std::vector<std::string> debugGroups_;
};

class GlCommandBuffer final : public CommandBuffer,
                              public std::enable_shared_from_this<GlCommandBuffer> {
  public:
    explicit GlCommandBuffer(GlContextRef context) : context_(std::move(context)) {}
    void setLabel(std::string label) override { label_ = std::move(label); }
    const std::string& label() const override { return label_; }
    RenderCommandEncoderRef renderCommandEncoderWithDescriptor(
        const RenderPassDescriptor& descriptor) override;
    void addScheduledHandler(CommandBufferHandler handler) override;
    void addCompletedHandler(CommandBufferHandler handler) override;
    void commit() override;
    void waitUntilScheduled() override;
    void waitUntilCompleted() override;
    CommandBufferStatus status() const override;
    std::string errorDescription() const override;

    void finishEncoding(GlRecordedPass pass);

  private:
    // On the context's thread.
    void execute();
    std::string runPass(const GlRecordedPass& pass, std::vector<GlTexture*>& current,
                        std::vector<GLuint>& scratchBuffers);
    void complete(std::vector<CommandBufferHandler> handlers, std::string error);

    GlContextRef context_;
    std::string label_;
    std::vector<GlRecordedPass> passes_;
    bool encoderOpen_ = false;
    std::vector<CommandBufferHandler> scheduledHandlers_, completedHandlers_;
    mutable std::mutex mutex_;
    std::condition_variable statusChanged_;
    CommandBufferStatus status_ = CommandBufferStatus::NotEnqueued;
    std::string error_;
};

class GlCommandQueue final : public CommandQueue {
  public:
    explicit GlCommandQueue(GlContextRef context) : context_(std::move(context)) {}
    CommandBufferRef commandBuffer() override {
        return std::make_shared<GlCommandBuffer>(context_);
    }

  private:
    GlContextRef context_;
};

}  // namespace hx::gpu::gl

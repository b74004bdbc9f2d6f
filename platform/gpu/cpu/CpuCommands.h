#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/gpu/CommandBuffer.h"
#include "platform/gpu/cpu/CpuLibrary.h"
#include "platform/gpu/cpu/CpuResources.h"
#include "platform/gpu/cpu/WorkerPool.h"

namespace hx::gpu::cpu {

class CpuCommandBuffer;

// Runs committed command buffers on its own thread, in commit order, drawing with the pool.
// Shared by every queue of a device, as one GPU serves all of them.
class CommandExecutor {
  public:
    CommandExecutor();
    ~CommandExecutor();
    void submit(std::shared_ptr<CpuCommandBuffer> buffer);
    WorkerPool& pool();

  private:
    struct State;
    static void loop(State& state);
    std::shared_ptr<State> state_;
    std::thread thread_;
};

// What one draw needs at execution time; holds the resources it was encoded with.
struct RecordedDraw {
    std::shared_ptr<CpuRenderPipelineState> pipeline;
    std::vector<BufferRef> vertexBuffers{kMaxBindings}, fragmentBuffers{kMaxBindings};
    std::vector<size_t> vertexOffsets = std::vector<size_t>(kMaxBindings),
                        fragmentOffsets = std::vector<size_t>(kMaxBindings);
    std::vector<TextureRef> fragmentTextures{kMaxBindings};
    PrimitiveType primitive = PrimitiveType::TriangleStrip;
    size_t vertexStart = 0, vertexCount = 0;
};

struct RecordedPass {
    std::string label;
    RenderPassDescriptor descriptor;
    std::vector<RecordedDraw> draws;
};

class CpuRenderCommandEncoder final : public RenderCommandEncoder {
  public:
    CpuRenderCommandEncoder(std::weak_ptr<CpuCommandBuffer> owner,
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
    std::weak_ptr<CpuCommandBuffer> owner_;
    bool ended_ = false;
    RecordedPass pass_;
    RecordedDraw state_;
    std::vector<std::string> debugGroups_;
};

class CpuCommandBuffer final : public CommandBuffer,
                               public std::enable_shared_from_this<CpuCommandBuffer> {
  public:
    explicit CpuCommandBuffer(std::shared_ptr<CommandExecutor> executor)
        : executor_(std::move(executor)) {}
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

    // Called by the encoder and the executor.
    void finishEncoding(RecordedPass pass);
    void execute(WorkerPool& pool);

  private:
    void setStatus(CommandBufferStatus status);

    std::shared_ptr<CommandExecutor> executor_;
    std::string label_;
    std::vector<RecordedPass> passes_;
    bool encoderOpen_ = false;
    std::vector<CommandBufferHandler> scheduledHandlers_, completedHandlers_;
    mutable std::mutex mutex_;
    std::condition_variable statusChanged_;
    CommandBufferStatus status_ = CommandBufferStatus::NotEnqueued;
    std::string error_;
};

class CpuCommandQueue final : public CommandQueue {
  public:
    explicit CpuCommandQueue(std::shared_ptr<CommandExecutor> executor)
        : executor_(std::move(executor)) {}
    CommandBufferRef commandBuffer() override {
        return std::make_shared<CpuCommandBuffer>(executor_);
    }

  private:
    std::shared_ptr<CommandExecutor> executor_;
};

}  // namespace hx::gpu::cpu

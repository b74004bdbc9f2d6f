#include "platform/gpu/cpu/CpuCommands.h"

#include "platform/gpu/cpu/CpuRasterizer.h"
#include "platform/log/Log.h"

namespace hx::gpu::cpu {

// ---- executor

struct CommandExecutor::State {
    WorkerPool pool;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::shared_ptr<CpuCommandBuffer>> pending;
    bool stopping = false;
};

CommandExecutor::CommandExecutor() : state_(std::make_shared<State>()) {
    // The thread shares the state, so it may outlive this object: the last owner of the
    // executor can be a command buffer finishing on that very thread.
    thread_ = std::thread([state = state_] { loop(*state); });
}

CommandExecutor::~CommandExecutor() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->wake.notify_all();
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        thread_.join();
}

WorkerPool& CommandExecutor::pool() {
    return state_->pool;
}

void CommandExecutor::submit(std::shared_ptr<CpuCommandBuffer> buffer) {
    {
        std::lock_guard lock(state_->mutex);
        state_->pending.push_back(std::move(buffer));
    }
    state_->wake.notify_one();
}

void CommandExecutor::loop(State& state) {
    std::unique_lock lock(state.mutex);
    for (;;) {
        state.wake.wait(lock, [&] { return state.stopping || !state.pending.empty(); });
        // Work already committed is finished before the executor goes away, so nobody waits
        // forever on a command buffer.
        if (state.pending.empty()) return;
        auto buffer = std::move(state.pending.front());
        state.pending.pop_front();
        lock.unlock();
        buffer->execute(state.pool);
        buffer.reset();  // may release the last owner of the executor
        lock.lock();
    }
}

// ---- encoder

CpuRenderCommandEncoder::CpuRenderCommandEncoder(std::weak_ptr<CpuCommandBuffer> owner,
                                                 const RenderPassDescriptor& descriptor)
    : owner_(std::move(owner)) {
    pass_.descriptor = descriptor;
}

void CpuRenderCommandEncoder::setRenderPipelineState(RenderPipelineStateRef pipeline) {
    state_.pipeline = std::dynamic_pointer_cast<CpuRenderPipelineState>(pipeline);
}

void CpuRenderCommandEncoder::setVertexBuffer(BufferRef buffer, size_t offset, size_t index) {
    if (index >= kMaxBindings) return;
    state_.vertexBuffers[index] = std::move(buffer);
    state_.vertexOffsets[index] = offset;
}

void CpuRenderCommandEncoder::setFragmentBuffer(BufferRef buffer, size_t offset, size_t index) {
    if (index >= kMaxBindings) return;
    state_.fragmentBuffers[index] = std::move(buffer);
    state_.fragmentOffsets[index] = offset;
}

void CpuRenderCommandEncoder::setFragmentTexture(TextureRef texture, size_t index) {
    if (index < kMaxBindings) state_.fragmentTextures[index] = std::move(texture);
}

void CpuRenderCommandEncoder::drawPrimitives(PrimitiveType type, size_t vertexStart,
                                             size_t vertexCount, size_t instanceCount) {
    if (ended_ || instanceCount == 0 || vertexCount == 0) return;
    RecordedDraw draw = state_;
    draw.primitive = type;
    draw.vertexStart = vertexStart;
    draw.vertexCount = vertexCount;
    pass_.draws.push_back(std::move(draw));
}

void CpuRenderCommandEncoder::endEncoding() {
    if (ended_) return;
    ended_ = true;
    if (auto owner = owner_.lock()) owner->finishEncoding(std::move(pass_));
}

// ---- command buffer

RenderCommandEncoderRef CpuCommandBuffer::renderCommandEncoderWithDescriptor(
    const RenderPassDescriptor& descriptor) {
    std::lock_guard lock(mutex_);
    if (encoderOpen_ || status_ != CommandBufferStatus::NotEnqueued) return nullptr;
    encoderOpen_ = true;
    return std::make_shared<CpuRenderCommandEncoder>(weak_from_this(), descriptor);
}

void CpuCommandBuffer::finishEncoding(RecordedPass pass) {
    std::lock_guard lock(mutex_);
    // A pass ended after its buffer was committed is not part of what was committed.
    if (status_ != CommandBufferStatus::NotEnqueued) return;
    encoderOpen_ = false;
    passes_.push_back(std::move(pass));
}

void CpuCommandBuffer::addScheduledHandler(CommandBufferHandler handler) {
    std::lock_guard lock(mutex_);
    if (status_ == CommandBufferStatus::NotEnqueued)
        scheduledHandlers_.push_back(std::move(handler));
}

void CpuCommandBuffer::addCompletedHandler(CommandBufferHandler handler) {
    std::lock_guard lock(mutex_);
    if (status_ == CommandBufferStatus::NotEnqueued)
        completedHandlers_.push_back(std::move(handler));
}

void CpuCommandBuffer::commit() {
    {
        std::lock_guard lock(mutex_);
        if (status_ != CommandBufferStatus::NotEnqueued) return;
        status_ = CommandBufferStatus::Committed;
        if (encoderOpen_) {
            // A pass left open is dropped, as a GPU driver refuses it.
            encoderOpen_ = false;
            error_ = "committed with an encoder still open";
        }
    }
    executor_->submit(shared_from_this());
}

void CpuCommandBuffer::setStatus(CommandBufferStatus status) {
    {
        std::lock_guard lock(mutex_);
        status_ = status;
    }
    statusChanged_.notify_all();
}

void CpuCommandBuffer::waitUntilScheduled() {
    std::unique_lock lock(mutex_);
    if (status_ == CommandBufferStatus::NotEnqueued) return;
    statusChanged_.wait(lock, [&] {
        return status_ == CommandBufferStatus::Scheduled ||
               status_ == CommandBufferStatus::Completed || status_ == CommandBufferStatus::Error;
    });
}

void CpuCommandBuffer::waitUntilCompleted() {
    std::unique_lock lock(mutex_);
    // Waiting on a buffer never committed would wait forever; return at once instead.
    if (status_ == CommandBufferStatus::NotEnqueued) return;
    statusChanged_.wait(lock, [&] {
        return status_ == CommandBufferStatus::Completed || status_ == CommandBufferStatus::Error;
    });
}

CommandBufferStatus CpuCommandBuffer::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

std::string CpuCommandBuffer::errorDescription() const {
    std::lock_guard lock(mutex_);
    return error_;
}

namespace {

ShaderBindings bind(const RecordedDraw& draw) {
    ShaderBindings b;
    auto bindBuffer = [](const BufferRef& buffer, size_t offset) {
        if (!buffer || offset > buffer->length()) return BoundBuffer{};
        return BoundBuffer{static_cast<const uint8_t*>(buffer->contents()) + offset,
                           buffer->length() - offset};
    };
    for (size_t i = 0; i < kMaxBindings; ++i) {
        b.vertexBuffers[i] = bindBuffer(draw.vertexBuffers[i], draw.vertexOffsets[i]);
        b.fragmentBuffers[i] = bindBuffer(draw.fragmentBuffers[i], draw.fragmentOffsets[i]);
        if (auto texture = std::dynamic_pointer_cast<CpuTexture>(draw.fragmentTextures[i]))
            b.fragmentTextures[i] = texture->binding();
    }
    return b;
}

}  // namespace

void CpuCommandBuffer::execute(WorkerPool& pool) {
    std::vector<CommandBufferHandler> scheduled, completed;
    std::vector<RecordedPass> passes;
    {
        std::lock_guard lock(mutex_);
        status_ = CommandBufferStatus::Scheduled;
        scheduled.swap(scheduledHandlers_);
        completed.swap(completedHandlers_);
        passes.swap(passes_);
    }
    statusChanged_.notify_all();
    for (auto& handler : scheduled) handler(*this);

    std::string error;
    for (const RecordedPass& pass : passes) {
        const auto& attachment = pass.descriptor.colorAttachments[0];
        auto texture = std::dynamic_pointer_cast<CpuTexture>(attachment.texture);
        if (!texture || !(texture->usage() & TextureUsageRenderTarget)) {
            error = "pass \"" + pass.label + "\" has no render-target texture";
            continue;
        }
        if (bytesPerPixel(texture->pixelFormat()) != 4) {
            error = "pass \"" + pass.label + "\" renders into a non-renderable " +
                    pixelFormatName(texture->pixelFormat()) + " texture";
            continue;
        }
        const RenderTarget target = texture->target();
        std::vector<QuadGeometry> quads;
        for (const RecordedDraw& draw : pass.draws) {
            QuadGeometry quad;
            if (!draw.pipeline) {
                // A pipeline that failed to build draws nothing; its failure was reported then.
            } else if (draw.pipeline->colorPixelFormat() != target.format) {
                quad.problem = "pipeline \"" + draw.pipeline->label() +
                               "\" does not match the target's pixel format";
            } else if (draw.primitive != PrimitiveType::TriangleStrip || draw.vertexCount != 4) {
                quad.problem = "the CPU backend draws triangle strips of four vertices";
            } else {
                quad = prepareQuad(*draw.pipeline, bind(draw), target, draw.vertexStart);
            }
            if (!quad.valid && error.empty()) error = quad.problem;  // empty for no pipeline
            quads.push_back(std::move(quad));
        }
        // A clear that the first draw overwrites completely is skipped: it would only cost a
        // full write of the target.
        bool firstDrawCovers = !quads.empty() && quads.front().coversTarget(target);
        if (attachment.loadAction == LoadAction::Clear && !firstDrawCovers)
            clearTarget(target, attachment.clearColor, pool);
        for (size_t i = 0; i < pass.draws.size(); ++i)
            if (quads[i].valid)
                shadeQuad(*pass.draws[i].pipeline, bind(pass.draws[i]), target, quads[i], pool);
    }

    {
        std::lock_guard lock(mutex_);
        if (!error.empty() && error_.empty()) error_ = error;
        if (!error_.empty()) hxLog("GPU command buffer \"%s\": %s", label_.c_str(), error_.c_str());
        status_ = error_.empty() ? CommandBufferStatus::Completed : CommandBufferStatus::Error;
    }
    statusChanged_.notify_all();
    for (auto& handler : completed) handler(*this);
}

}  // namespace hx::gpu::cpu

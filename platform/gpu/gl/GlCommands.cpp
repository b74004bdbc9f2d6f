#include "platform/gpu/gl/GlCommands.h"

#include <algorithm>
#include <cstring>

#include "platform/log/Log.h"

namespace hx::gpu::gl {

// ---- encoder

GlRenderCommandEncoder::GlRenderCommandEncoder(std::weak_ptr<GlCommandBuffer> owner,
                                               const RenderPassDescriptor& descriptor)
    : owner_(std::move(owner)) {
    pass_.descriptor = descriptor;
}

void GlRenderCommandEncoder::setRenderPipelineState(RenderPipelineStateRef pipeline) {
    state_.pipeline = std::dynamic_pointer_cast<GlRenderPipelineState>(pipeline);
}

void GlRenderCommandEncoder::setVertexBuffer(BufferRef buffer, size_t offset, size_t index) {
    if (index >= kMaxBindings) return;
    state_.vertexBuffers[index] = std::move(buffer);
    state_.vertexOffsets[index] = offset;
}

void GlRenderCommandEncoder::setFragmentBuffer(BufferRef buffer, size_t offset, size_t index) {
    if (index >= kMaxBindings) return;
    state_.fragmentBuffers[index] = std::move(buffer);
    state_.fragmentOffsets[index] = offset;
}

void GlRenderCommandEncoder::setFragmentTexture(TextureRef texture, size_t index) {
    if (index < kMaxBindings) state_.fragmentTextures[index] = std::move(texture);
}

void GlRenderCommandEncoder::drawPrimitives(PrimitiveType type, size_t vertexStart,
                                            size_t vertexCount, size_t instanceCount) {
    if (ended_ || instanceCount == 0 || vertexCount == 0) return;
    GlRecordedDraw draw = state_;
    draw.primitive = type;
    draw.vertexStart = vertexStart;
    draw.vertexCount = vertexCount;
    draw.instanceCount = instanceCount;
    pass_.draws.push_back(std::move(draw));
}

void GlRenderCommandEncoder::endEncoding() {
    if (ended_) return;
    ended_ = true;
    if (auto owner = owner_.lock()) owner->finishEncoding(std::move(pass_));
}

// ---- command buffer

RenderCommandEncoderRef GlCommandBuffer::renderCommandEncoderWithDescriptor(
    const RenderPassDescriptor& descriptor) {
    std::lock_guard lock(mutex_);
    if (encoderOpen_ || status_ != CommandBufferStatus::NotEnqueued) return nullptr;
    encoderOpen_ = true;
    return std::make_shared<GlRenderCommandEncoder>(weak_from_this(), descriptor);
}

void GlCommandBuffer::finishEncoding(GlRecordedPass pass) {
    std::lock_guard lock(mutex_);
    if (status_ != CommandBufferStatus::NotEnqueued) return;
    encoderOpen_ = false;
    passes_.push_back(std::move(pass));
}

void GlCommandBuffer::addScheduledHandler(CommandBufferHandler handler) {
    std::lock_guard lock(mutex_);
    if (status_ == CommandBufferStatus::NotEnqueued)
        scheduledHandlers_.push_back(std::move(handler));
}

void GlCommandBuffer::addCompletedHandler(CommandBufferHandler handler) {
    std::lock_guard lock(mutex_);
    if (status_ == CommandBufferStatus::NotEnqueued)
        completedHandlers_.push_back(std::move(handler));
}

void GlCommandBuffer::commit() {
    {
        std::lock_guard lock(mutex_);
        if (status_ != CommandBufferStatus::NotEnqueued) return;
        status_ = CommandBufferStatus::Committed;
        if (encoderOpen_) {
            encoderOpen_ = false;
            error_ = "committed with an encoder still open";
        }
    }
    context_->post([self = shared_from_this()] { self->execute(); });
}

void GlCommandBuffer::waitUntilScheduled() {
    std::unique_lock lock(mutex_);
    if (status_ == CommandBufferStatus::NotEnqueued) return;
    statusChanged_.wait(lock, [&] {
        return status_ == CommandBufferStatus::Scheduled ||
               status_ == CommandBufferStatus::Completed || status_ == CommandBufferStatus::Error;
    });
}

void GlCommandBuffer::waitUntilCompleted() {
    std::unique_lock lock(mutex_);
    if (status_ == CommandBufferStatus::NotEnqueued) return;
    statusChanged_.wait(lock, [&] {
        return status_ == CommandBufferStatus::Completed || status_ == CommandBufferStatus::Error;
    });
}

CommandBufferStatus GlCommandBuffer::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

std::string GlCommandBuffer::errorDescription() const {
    std::lock_guard lock(mutex_);
    return error_;
}

namespace {

GLenum primitiveMode(PrimitiveType type) {
    switch (type) {
        case PrimitiveType::Point:
            return GL_POINTS;
        case PrimitiveType::Line:
            return GL_LINES;
        case PrimitiveType::Triangle:
            return GL_TRIANGLES;
        case PrimitiveType::TriangleStrip:
            break;
    }
    return GL_TRIANGLE_STRIP;
}

int formatCode(PixelFormat format) {
    switch (format) {
        case PixelFormat::R8Unorm:
            return 1;
        case PixelFormat::RGBA8Unorm:
            return 2;
        case PixelFormat::BGRA8Unorm:
            return 3;
        case PixelFormat::Invalid:
            break;
    }
    return 0;
}

// Binds `buffer` from `offset` at a uniform-block binding point; an offset GL cannot bind at is
// served from a copy. Returns whether anything was bound.
bool bindUniformBuffer(const BufferRef& buffer, size_t offset, GLuint binding,
                       std::vector<GLuint>& scratchBuffers) {
    auto* glBuffer = dynamic_cast<GlBuffer*>(buffer.get());
    if (!glBuffer || offset >= glBuffer->length()) {
        glBindBufferBase(GL_UNIFORM_BUFFER, binding, 0);
        return false;
    }
    static const GLint alignment = [] {
        GLint value = 256;
        glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &value);
        return std::max<GLint>(value, 1);
    }();
    if (offset % size_t(alignment) == 0) {
        glBindBufferRange(GL_UNIFORM_BUFFER, binding, glBuffer->name(), GLintptr(offset),
                          GLsizeiptr(glBuffer->paddedLength() - offset));
        return true;
    }
    const size_t length = glBuffer->length() - offset;
    std::vector<uint8_t> copy((length + 15) / 16 * 16, 0);
    std::memcpy(copy.data(), static_cast<const uint8_t*>(glBuffer->contents()) + offset, length);
    GLuint name = 0;
    glGenBuffers(1, &name);
    glBindBuffer(GL_UNIFORM_BUFFER, name);
    glBufferData(GL_UNIFORM_BUFFER, GLsizeiptr(copy.size()), copy.data(), GL_STREAM_DRAW);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
    glBindBufferBase(GL_UNIFORM_BUFFER, binding, name);
    scratchBuffers.push_back(name);
    return true;
}

}  // namespace

std::string GlCommandBuffer::runPass(const GlRecordedPass& pass, std::vector<GlTexture*>& current,
                                     std::vector<GLuint>& scratchBuffers) {
    const auto& attachment = pass.descriptor.colorAttachments[0];
    auto* target = dynamic_cast<GlTexture*>(attachment.texture.get());
    if (!target || !(target->usage() & TextureUsageRenderTarget))
        return "pass \"" + pass.label + "\" has no render-target texture";
    if (bytesPerPixel(target->pixelFormat()) != 4)
        return "pass \"" + pass.label + "\" renders into a non-renderable " +
               std::string(pixelFormatName(target->pixelFormat())) + " texture";
    auto isCurrent = [&](GlTexture* t) {
        return std::find(current.begin(), current.end(), t) != current.end();
    };
    // A pixel buffer's memory may have changed since the GPU last saw it: what the pass keeps
    // of the target, and every pixel buffer it reads, is uploaded once per command buffer.
    if (target->pixelBuffer() && attachment.loadAction != LoadAction::Clear && !isCurrent(target)) {
        target->uploadFromPixelBuffer();
        current.push_back(target);
    }
    if (target->framebuffer() == 0)
        return "pass \"" + pass.label + "\": the target cannot be rendered into";
    const bool swap = target->pixelFormat() == PixelFormat::BGRA8Unorm;
    glViewport(0, 0, GLsizei(target->width()), GLsizei(target->height()));
    if (attachment.loadAction == LoadAction::Clear) {
        const ClearColor& c = attachment.clearColor;
        glClearColor(float(swap ? c.blue : c.red), float(c.green), float(swap ? c.red : c.blue),
                     float(c.alpha));
        glClear(GL_COLOR_BUFFER_BIT);
    }

    std::string error;
    for (const GlRecordedDraw& draw : pass.draws) {
        // A pipeline that failed to build draws nothing; its failure was reported then.
        if (!draw.pipeline) continue;
        if (draw.pipeline->colorPixelFormat() != target->pixelFormat()) {
            if (error.empty())
                error = "pipeline \"" + draw.pipeline->label() +
                        "\" does not match the target's pixel format";
            continue;
        }
        const GlProgram& program = draw.pipeline->program();
        glUseProgram(program.program);
        GLint textures[kMaxBindings][3] = {};
        for (size_t i = 0; i < kMaxBindings; ++i) {
            auto* texture = dynamic_cast<GlTexture*>(draw.fragmentTextures[i].get());
            glActiveTexture(GLenum(GL_TEXTURE0 + i));
            if (!texture) {
                glBindTexture(GL_TEXTURE_2D, 0);
                continue;
            }
            if (texture->pixelBuffer() && !isCurrent(texture)) {
                texture->uploadFromPixelBuffer();
                current.push_back(texture);
            }
            glBindTexture(GL_TEXTURE_2D, texture->name());
            textures[i][0] = GLint(texture->width());
            textures[i][1] = GLint(texture->height());
            textures[i][2] = formatCode(texture->pixelFormat());
        }
        glActiveTexture(GL_TEXTURE0);
        GLint vertexMask = 0, fragmentMask = 0;
        for (size_t i = 0; i < kMaxBindings; ++i) {
            if (bindUniformBuffer(draw.vertexBuffers[i], draw.vertexOffsets[i], GLuint(i),
                                  scratchBuffers))
                vertexMask |= 1 << i;
            if (bindUniformBuffer(draw.fragmentBuffers[i], draw.fragmentOffsets[i],
                                  GLuint(kFragmentBindingBase + i), scratchBuffers))
                fragmentMask |= 1 << i;
        }
        if (program.textures >= 0)
            glUniform3iv(program.textures, GLsizei(kMaxBindings), &textures[0][0]);
        if (program.vertexBuffers >= 0) glUniform1i(program.vertexBuffers, vertexMask);
        if (program.fragmentBuffers >= 0) glUniform1i(program.fragmentBuffers, fragmentMask);
        if (program.swapTarget >= 0) glUniform1i(program.swapTarget, swap ? 1 : 0);
        if (program.targetSize >= 0)
            glUniform2i(program.targetSize, GLint(target->width()), GLint(target->height()));
        glDrawArraysInstanced(primitiveMode(draw.primitive), GLint(draw.vertexStart),
                              GLsizei(draw.vertexCount), GLsizei(draw.instanceCount));
    }
    glUseProgram(0);
    // The pixel buffer holds the result for the CPU as soon as the buffer completes.
    if (target->pixelBuffer()) {
        target->readBackToPixelBuffer();
        if (!isCurrent(target)) current.push_back(target);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (GLenum code = glGetError(); code != GL_NO_ERROR && error.empty()) {
        char text[64];
        std::snprintf(text, sizeof text, "GL error 0x%04x", unsigned(code));
        error = "pass \"" + pass.label + "\": " + text;
    }
    return error;
}

void GlCommandBuffer::execute() {
    std::vector<CommandBufferHandler> scheduled, completed;
    std::vector<GlRecordedPass> passes;
    {
        std::lock_guard lock(mutex_);
        status_ = CommandBufferStatus::Scheduled;
        scheduled.swap(scheduledHandlers_);
        completed.swap(completedHandlers_);
        passes.swap(passes_);
    }
    statusChanged_.notify_all();
    for (auto& handler : scheduled) handler(*this);

    while (glGetError() != GL_NO_ERROR) {
    }
    std::string error;
    std::vector<GlTexture*> current;
    std::vector<GLuint> scratchBuffers;
    for (const GlRecordedPass& pass : passes) {
        std::string problem = runPass(pass, current, scratchBuffers);
        if (error.empty()) error = problem;
    }
    if (!scratchBuffers.empty())
        glDeleteBuffers(GLsizei(scratchBuffers.size()), scratchBuffers.data());
    GLsync fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();
    // The passes keep their resources until the fence says the GPU is done with them.
    auto held = std::make_shared<std::vector<GlRecordedPass>>(std::move(passes));
    context_->postPoll([self = shared_from_this(), fence, held, error,
                        completed = std::move(completed)]() mutable {
        if (fence) {
            const GLenum result = glClientWaitSync(fence, GL_SYNC_FLUSH_COMMANDS_BIT, 1000000);
            if (result == GL_TIMEOUT_EXPIRED) return false;
            glDeleteSync(fence);
        }
        held->clear();
        self->complete(std::move(completed), fence ? error : "GL could not make a fence");
        return true;
    });
}

void GlCommandBuffer::complete(std::vector<CommandBufferHandler> handlers, std::string error) {
    {
        std::lock_guard lock(mutex_);
        if (!error.empty() && error_.empty()) error_ = error;
        if (!error_.empty()) hxLog("GPU command buffer \"%s\": %s", label_.c_str(), error_.c_str());
        status_ = error_.empty() ? CommandBufferStatus::Completed : CommandBufferStatus::Error;
    }
    statusChanged_.notify_all();
    for (auto& handler : handlers) handler(*this);
}

}  // namespace hx::gpu::gl

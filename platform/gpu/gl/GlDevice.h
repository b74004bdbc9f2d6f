#pragma once

#include <map>
#include <mutex>

#include "platform/gpu/Device.h"
#include "platform/gpu/gl/GlCommands.h"
#include "platform/gpu/gl/GlContext.h"

namespace hx::gpu::gl {

// A GPU reached through OpenGL ES 3.1 over EGL: one context, on its own thread, for everything
// the device does.
class GlDevice final : public Device {
  public:
    // Null with the reason in *error when no context can be made.
    static std::shared_ptr<GlDevice> create(std::string* error);
    ~GlDevice() override;

    std::string name() const override;
    LibraryRef newDefaultLibrary() override;
    CommandQueueRef newCommandQueue() override;
    RenderPipelineStateRef newRenderPipelineStateWithDescriptor(
        const RenderPipelineDescriptor& descriptor, std::string* error) override;
    TextureRef newTextureWithDescriptor(const TextureDescriptor& descriptor) override;
    BufferRef newBufferWithBytes(const void* bytes, size_t length,
                                 ResourceOptions options) override;
    TextureRef newTextureOverPixelBuffer(std::shared_ptr<PixelBuffer> buffer, PixelFormat format,
                                         size_t width, size_t height, size_t plane) override;

    const ContextInfo& info() const { return context_->info(); }

  private:
    explicit GlDevice(GlContextRef context) : context_(std::move(context)) {}
    // On the context's thread: the program of the two functions, compiled and linked on first
    // use; null with the compiler's or linker's log in *error.
    std::shared_ptr<const GlProgram> program(const GlFunction& vertex, const GlFunction& fragment,
                                             std::string* error);

    GlContextRef context_;
    std::map<std::pair<std::string, std::string>, std::shared_ptr<const GlProgram>> programs_;
};

}  // namespace hx::gpu::gl

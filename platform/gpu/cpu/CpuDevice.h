#pragma once

#include "platform/gpu/Device.h"
#include "platform/gpu/cpu/CpuCommands.h"

namespace hx::gpu::cpu {

// A GPU emulated with C++ shaders on the CPU's cores.
class CpuDevice final : public Device {
  public:
    CpuDevice();
    std::string name() const override { return "CPU renderer"; }
    LibraryRef newDefaultLibrary() override;
    CommandQueueRef newCommandQueue() override;
    RenderPipelineStateRef newRenderPipelineStateWithDescriptor(
        const RenderPipelineDescriptor& descriptor, std::string* error) override;
    TextureRef newTextureWithDescriptor(const TextureDescriptor& descriptor) override;
    BufferRef newBufferWithBytes(const void* bytes, size_t length,
                                 ResourceOptions options) override;
    TextureRef newTextureOverPixelBuffer(std::shared_ptr<PixelBuffer> buffer, PixelFormat format,
                                         size_t width, size_t height, size_t plane) override;

  private:
    std::shared_ptr<CommandExecutor> executor_;
};

}  // namespace hx::gpu::cpu

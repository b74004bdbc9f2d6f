#include "platform/gpu/cpu/CpuDevice.h"

#include <new>

#include "platform/gpu/ShaderLibraryRegistry.h"
#include "platform/log/Log.h"

namespace hx::gpu::cpu {

CpuDevice::CpuDevice() : executor_(std::make_shared<CommandExecutor>()) {}

LibraryRef CpuDevice::newDefaultLibrary() {
    return registeredShaderLibrary(kBackendName);
}

CommandQueueRef CpuDevice::newCommandQueue() {
    return std::make_shared<CpuCommandQueue>(executor_);
}

RenderPipelineStateRef CpuDevice::newRenderPipelineStateWithDescriptor(
    const RenderPipelineDescriptor& descriptor, std::string* error) {
    return makeRenderPipeline(descriptor, error);
}

TextureRef CpuDevice::newTextureWithDescriptor(const TextureDescriptor& descriptor) {
    return CpuTexture::make(descriptor);
}

BufferRef CpuDevice::newBufferWithBytes(const void* bytes, size_t length, ResourceOptions) {
    if (!bytes || length == 0) return nullptr;
    try {
        return std::make_shared<CpuBuffer>(bytes, length);
    } catch (const std::bad_alloc&) {
        hxLog("GPU: out of memory for a buffer of %zu bytes", length);
        return nullptr;
    }
}

TextureRef CpuDevice::newTextureOverPixelBuffer(std::shared_ptr<PixelBuffer> buffer,
                                                PixelFormat format, size_t width, size_t height,
                                                size_t plane) {
    if (plane != 0) return nullptr;
    return CpuTexture::overPixelBuffer(std::move(buffer), format, width, height);
}

}  // namespace hx::gpu::cpu

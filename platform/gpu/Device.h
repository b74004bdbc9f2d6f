#pragma once

#include <memory>
#include <string>

#include "platform/gpu/CommandBuffer.h"
#include "platform/gpu/Library.h"
#include "platform/gpu/RenderPipeline.h"
#include "platform/gpu/Texture.h"

namespace hx::gpu {

class PixelBuffer;

// A GPU. Every method may be called from any thread.
class Device {
  public:
    virtual ~Device() = default;
    virtual std::string name() const = 0;
    // The shader library built with the program, or null when none was installed for this
    // backend (see ShaderLibraryRegistry.h).
    virtual LibraryRef newDefaultLibrary() = 0;
    virtual CommandQueueRef newCommandQueue() = 0;
    // Null with a description in *error when a function is missing or of the wrong stage, or
    // the attachment format is not renderable.
    virtual RenderPipelineStateRef newRenderPipelineStateWithDescriptor(
        const RenderPipelineDescriptor& descriptor, std::string* error) = 0;
    // Null when the descriptor is invalid (zero size, unknown format) or memory runs out.
    virtual TextureRef newTextureWithDescriptor(const TextureDescriptor& descriptor) = 0;
    virtual BufferRef newBufferWithBytes(const void* bytes, size_t length,
                                         ResourceOptions options = ResourceOptionsDefault) = 0;
    // A texture that reads and renders straight into a pixel buffer's memory. The texture keeps
    // the pixel buffer alive. Null when the device cannot use that buffer.
    virtual TextureRef newTextureOverPixelBuffer(std::shared_ptr<PixelBuffer> buffer,
                                                 PixelFormat format, size_t width, size_t height,
                                                 size_t plane) = 0;
};
using DeviceRef = std::shared_ptr<Device>;

// The system's default device, made once and shared. HALIDEX_GPU picks a backend by name
// ("cpu"); the CPU backend is the fallback wherever no other backend is available.
DeviceRef createSystemDefaultDevice();

}  // namespace hx::gpu

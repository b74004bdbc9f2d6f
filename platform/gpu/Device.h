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

// The system's default device, made once and shared. HALIDEX_GPU picks the backend: "cpu",
// "gl" (OpenGL ES 3.1 over EGL) or "auto" (the default: "gl" on a hardware renderer, "cpu"
// where the only GL is a software rasteriser, which is slower than the CPU backend, or none).
// A backend that cannot be had is logged and replaced by the CPU backend; see
// systemDeviceProblem().
DeviceRef createSystemDefaultDevice();

// Why the system default device is not the backend HALIDEX_GPU named ("gl: no OpenGL ES 3.1
// context (...)"); empty when it is, or when HALIDEX_GPU is "auto" or unset. Makes the device
// if it was not made yet. Tools exit with status 2 when this is not empty.
std::string systemDeviceProblem();

// What createSystemDefaultDevice() does with a value of HALIDEX_GPU ("" counts as "auto"): a new
// device of the chosen backend, falling back to the CPU backend with the reason in *problem when
// the named backend cannot be had.
DeviceRef chooseDevice(const std::string& wanted, std::string* problem);

// A new device of the named backend ("cpu" or "gl"), not shared with anyone; null with the
// reason in *error when the backend cannot be had.
DeviceRef createDevice(const std::string& backend, std::string* error);

// What a device is, for people: its backend and, for GL, where EGL found it.
struct DeviceDescription {
    std::string backend;                                         // "cpu" or "gl"
    std::string platform, eglVendor, vendor, renderer, version;  // empty for the CPU backend
    bool software = false;  // a GL driver that rasterises on the CPU
};
DeviceDescription describeDevice(const Device& device);

}  // namespace hx::gpu

#pragma once

// Frames of a real camera turned into the BGRA pixel buffers the program works with. Colour
// conversion and scaling are libyuv's (its "ARGB" is B, G, R, A in memory, which is our BGRA);
// MJPEG frames are decoded by libyuv's JPEG reader. A frame is turned to the stream's
// orientation and cut to fill the buffer's shape, keeping its centre.
//
// Threads: every function may be called from any thread.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/capture/CaptureTypes.h"
#include "platform/gpu/PixelBuffer.h"

namespace hx::capture {

// The layouts cameras deliver. Names say the byte order in memory.
enum class CameraPixelFormat { YUY2, NV12, I420, RGB, BGR, BGRA, RGBA, MJPEG };

// "YUY2", "NV12", ... as the format lists show them.
const char* cameraPixelFormatName(CameraPixelFormat format);

// One frame as the camera filled it. Planar formats have their planes one after the other
// unless `chroma` points at the second plane.
struct CameraFrame {
    CameraPixelFormat format = CameraPixelFormat::YUY2;
    int width = 0, height = 0;
    const uint8_t* data = nullptr;
    size_t size = 0;  // bytes of data (for MJPEG, the compressed size)
    int stride = 0;   // bytes per row of the first plane; 0 for the format's own
    const uint8_t* chroma = nullptr;
    int chromaStride = 0;
};

// Fills `destination` (BGRA) with the frame, turned to `orientation` (landscape right is the
// sensor's own) and cut to the destination's shape; a zoom above 1 cuts a smaller part around
// the centre (the digital zoom of a camera without an optical one). False, with the reason,
// when the frame is short, malformed or of a size that does not fit its format.
bool convertFrame(const CameraFrame& frame, CaptureVideoOrientation orientation,
                  gpu::PixelBuffer& destination, std::string* error = nullptr, double zoom = 1);

}  // namespace hx::capture

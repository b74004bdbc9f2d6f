#pragma once

// Turns a scene into a frame or a still: where the camera looks, how the buffer is turned,
// how far out of focus the lens is, how much light reaches the sensor and whether a flash
// lights the middle of the picture.
//
// Threads: renderScene splits the rows over the global queue and returns when the buffer is
// complete; several renders may run at once on different buffers.

#include "platform/capture/CaptureTypes.h"
#include "platform/capture/scene/Scene.h"
#include "platform/gpu/PixelBuffer.h"

namespace hx::capture::scene {

struct RenderView {
    // How the buffer is laid out against the upright view: portrait is upright, landscape
    // right is the sensor's own layout (the top of the view at the buffer's left edge).
    CaptureVideoOrientation orientation = AVCaptureVideoOrientationPortrait;
    // The part of the scene the upright view shows: its size and centre in scene units.
    double fieldWidth = 0.75;
    double fieldHeight = 1.0;
    double centreX = 0;
    double centreY = 0;
    double time = 0;
    double defocus = 0;       // 0 sharp, 1 the most blur a hunting lens shows
    double exposureGain = 1;  // multiplies the light
    double flash = 0;         // strength of a flash lighting the middle; 0 for none
};

// Paints the scene into a BGRA buffer of any size.
void renderScene(const Scene& scene, const RenderView& view, gpu::PixelBuffer& buffer);

// Pixels of blur for a defocus at this buffer size.
int blurRadius(double defocus, size_t width, size_t height);

// Where a buffer pixel's centre lies in the scene, for tests and metering.
void scenePointOfPixel(const RenderView& view, size_t width, size_t height, double column,
                       double row, double& x, double& y);

}  // namespace hx::capture::scene

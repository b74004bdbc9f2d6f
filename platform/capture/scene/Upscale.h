#pragma once

// Enlarges a BGRA picture to fill another through the image resampler, linearly between pixel
// centres. A strongly defocused picture holds no fine detail, so it is painted small and
// enlarged: much cheaper, and it looks the same.
//
// Threads: splits the work over the global queue and returns when it is done.

#include "platform/gpu/PixelBuffer.h"

namespace hx::capture::scene {

void upscale(const gpu::PixelBuffer& source, gpu::PixelBuffer& target);

}  // namespace hx::capture::scene

#pragma once

// A defocused lens, cheaply: a box blur in both directions over a BGRA buffer, in place, with
// the edges extended. The cost does not depend on the radius.
//
// Threads: splits the work over the global queue and returns when it is done.

#include <cstddef>
#include <cstdint>

namespace hx::capture::scene {

void boxBlur(uint8_t* base, size_t width, size_t height, size_t bytesPerRow, int radius);

}  // namespace hx::capture::scene

#pragma once
// The editing extension's final render written as plain int32 loops over the same arithmetic
// (grey mix in 8.8 fixed point on BGRA bytes, tone table, 5 x 5 or 9 x 9 kernel with repeated
// edges on all four channels, divided rounding halves up, a quarter turn clockwise), split
// over `threads` threads by rows. The yardstick of the vector image library's render.

#include <cstddef>
#include <cstdint>

namespace hx::bench {

// `bgra` is w x h BGRA (tight rows); `out` receives the h x w upright picture, BGRA.
// `kernel` is side x side, null for none.
void editingRenderReference(const uint8_t* bgra, int w, int h, const int weights[3],
                            const uint8_t* tone, const int16_t* kernel, int side, int divisor,
                            uint8_t* out, unsigned threads);

}  // namespace hx::bench

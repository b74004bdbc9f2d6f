#pragma once
// Plain loops that do the same pixel work as the film renderer in the most direct way. The
// benchmark reports the renderer's speed as a ratio to these.

#include <cstddef>
#include <cstdint>

namespace hx::bench {

// Grey mix and tone-table lookup fused in one pass over a BGRA picture, written as 8-bit grey,
// rows split over `threads` threads.
void fusedGreyToneReference(const uint8_t* bgra, size_t width, size_t height, size_t bytesPerRow,
                            const float mix[3], const uint8_t table[256], uint8_t* grey,
                            unsigned threads);

// Trilinear lookup of every pixel in a 64 × 64 × 64 cube stored as a 512 × 512 RGBA image, in
// floating point, rows split over `threads` threads. Writes RGBA.
void floatTrilinearReference(const uint8_t* bgra, size_t width, size_t height, size_t bytesPerRow,
                             const uint8_t* lookupRgba, uint8_t* out, unsigned threads);

}  // namespace hx::bench

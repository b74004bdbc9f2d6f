#pragma once
// What every operation of the vector image library shares: the choice between the AVX2 and the
// portable path, the exact rounding division, buffer checks and the split into bands of rows.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/vimage/vImage.h"

namespace hx::vimage::detail {

// Which code runs the pixel loops. Both compute the same bits; the vector one needs AVX2.
enum class Path { Portable, Vector };
// The path in use: Vector where the processor has AVX2, unless forced otherwise.
Path activePath();
bool vectorPathAvailable();
// Forces a path for tests and benchmarks (Vector falls back to Portable without AVX2); false
// restores the automatic choice.
void forcePath(Path path);
void clearForcedPath();

// n / d rounded down, for 0 <= n < 2^31 and 0 < d < 2^31, as a multiply and a shift: the
// quotient is (n * multiplier) >> shift, exact for every such n. Vector code divides with it.
struct Divider {
    explicit Divider(int32_t divisor);
    uint32_t divide(uint32_t n) const { return uint32_t((uint64_t(n) * multiplier) >> shift); }
    int32_t divisor;
    uint32_t multiplier;
    uint32_t shift;
};

// sum / divisor rounded to nearest with halves up, clamped to 0...255. The one definition of the
// library's rounding; |sum| + divisor / 2 < 2^31.
inline uint8_t roundAndClamp(int32_t sum, int32_t divisor) {
    const int32_t n = sum + divisor / 2;
    if (n <= 0) return 0;
    const int32_t q = n / divisor;
    return uint8_t(q > 255 ? 255 : q);
}

// Checks a buffer's shape for `bytesPerPixel`-byte pixels: data present, sides positive and
// rows long enough. kvImageNoError when usable.
vImage_Error checkBuffer(const vImage_Buffer* buffer, size_t bytesPerPixel);
// Only the flags in `allowed` may be set.
vImage_Error checkFlags(vImage_Flags flags, vImage_Flags allowed);

inline uint8_t* rowOf(const vImage_Buffer& buffer, size_t y) {
    return static_cast<uint8_t*>(buffer.data) + y * buffer.rowBytes;
}

// Runs body(firstRow, endRow) over [0, rows) in bands: on the global pool when the work
// (rows * bytesPerRow) is large and the flags allow, else on the calling thread in one call.
void forEachBand(size_t rows, size_t bytesPerRow, vImage_Flags flags,
                 const std::function<void(size_t firstRow, size_t endRow)>& body);

}  // namespace hx::vimage::detail

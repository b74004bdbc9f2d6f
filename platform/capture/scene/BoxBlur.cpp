#include "platform/capture/scene/BoxBlur.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/runloop/DispatchQueue.h"

// The sums vectorise well: built for AVX2 as well as plain x86-64, picked at run time.
// ThreadSanitizer's builds keep the plain loop: the clones' resolver runs while the program
// is loaded, before that sanitizer's runtime is ready, and its instrumented code crashes there.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define HX_BLUR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define HX_BLUR_CLONES
#endif

namespace hx::capture::scene {

namespace {

constexpr size_t kRowsPerBand = 16;
constexpr size_t kColumnsPerStrip = 64;
// Sums of 2r + 1 bytes plus the rounding half fit in 16 bits up to this radius.
constexpr int kMaxRadius = 127;

// sum / taps, given 65536 / taps: the high half of a 16-bit product, as SSE2 computes it.
inline uint8_t divide(uint16_t sum, uint16_t reciprocal) {
    return static_cast<uint8_t>((uint32_t{sum} * reciprocal) >> 16);
}

// Blurs one row in place. `padded` receives the row with its end pixels repeated `radius`
// times on either side, so the running sum needs no bounds checks.
HX_BLUR_CLONES void blurRow(uint8_t* row, size_t width, int radius, uint16_t reciprocal,
                            std::vector<uint8_t>& padded) {
    const size_t r = static_cast<size_t>(radius);
    uint8_t* copy = padded.data();
    for (size_t i = 0; i < r; ++i) {
        std::memcpy(copy + 4 * i, row, 4);
        std::memcpy(copy + 4 * (r + width + i), row + 4 * (width - 1), 4);
    }
    std::memcpy(copy + 4 * r, row, width * 4);
    // Sums start at half a divisor so that the division rounds.
    uint16_t sum[4] = {0, 0, 0, 0};
    for (int c = 0; c < 4; ++c) sum[c] = static_cast<uint16_t>(r);
    for (size_t k = 0; k <= 2 * r; ++k)
        for (int c = 0; c < 4; ++c) sum[c] = static_cast<uint16_t>(sum[c] + copy[4 * k + c]);
    for (size_t x = 0; x < width; ++x) {
        const uint8_t* entering = copy + 4 * (x + 2 * r + 1);
        const uint8_t* leaving = copy + 4 * x;
        for (int c = 0; c < 4; ++c) {
            row[4 * x + c] = divide(sum[c], reciprocal);
            // Past the last pixel this reads the padding's spare slot, which is never used.
            sum[c] = static_cast<uint16_t>(sum[c] + entering[c] - leaving[c]);
        }
    }
}

// Blurs columns [first, first + count) down the whole buffer, keeping the r + 1 original rows
// that the running sum still has to take out.
HX_BLUR_CLONES void blurStrip(uint8_t* base, size_t height, size_t bytesPerRow, size_t first,
                              size_t count, int radius, uint16_t reciprocal) {
    const size_t bytes = count * 4, ringRows = static_cast<size_t>(radius) + 1;
    std::vector<uint8_t> ring(ringRows * bytes);
    std::vector<uint16_t> sum(bytes, static_cast<uint16_t>(radius));
    auto row = [&](size_t y) { return base + y * bytesPerRow + first * 4; };
    const size_t lastRow = height - 1;
    for (long k = -radius; k <= radius; ++k) {
        const uint8_t* source = row(std::min(static_cast<size_t>(std::max(k, 0L)), lastRow));
        for (size_t i = 0; i < bytes; ++i) sum[i] = static_cast<uint16_t>(sum[i] + source[i]);
    }
    for (size_t y = 0; y <= lastRow; ++y) {
        uint8_t* target = row(y);
        std::memcpy(ring.data() + (y % ringRows) * bytes, target, bytes);
        for (size_t i = 0; i < bytes; ++i) target[i] = divide(sum[i], reciprocal);
        if (y == lastRow) break;
        const uint8_t* entering = row(std::min(y + static_cast<size_t>(radius) + 1, lastRow));
        const long leavingRow = std::max(static_cast<long>(y) - radius, 0L);
        const uint8_t* leaving = ring.data() + (static_cast<size_t>(leavingRow) % ringRows) * bytes;
        for (size_t i = 0; i < bytes; ++i)
            sum[i] = static_cast<uint16_t>(sum[i] + entering[i] - leaving[i]);
    }
}

}  // namespace

void boxBlur(uint8_t* base, size_t width, size_t height, size_t bytesPerRow, int radius) {
    if (!base || width == 0 || height == 0 || radius < 1) return;
    radius = std::min(radius, kMaxRadius);
    const uint32_t taps = static_cast<uint32_t>(2 * radius + 1);
    const uint16_t reciprocal = static_cast<uint16_t>((65536u + taps / 2) / taps);
    const size_t bands = (height + kRowsPerBand - 1) / kRowsPerBand;
    DispatchQueue::concurrentPerform(bands, [&](size_t band) {
        // One spare pixel after the padding for the sum's last, unused update.
        std::vector<uint8_t> padded((width + 2 * static_cast<size_t>(radius) + 1) * 4);
        const size_t end = std::min(height, (band + 1) * kRowsPerBand);
        for (size_t y = band * kRowsPerBand; y < end; ++y)
            blurRow(base + y * bytesPerRow, width, radius, reciprocal, padded);
    });
    const size_t strips = (width + kColumnsPerStrip - 1) / kColumnsPerStrip;
    DispatchQueue::concurrentPerform(strips, [&](size_t strip) {
        const size_t first = strip * kColumnsPerStrip;
        blurStrip(base, height, bytesPerRow, first, std::min(kColumnsPerStrip, width - first),
                  radius, reciprocal);
    });
}

}  // namespace hx::capture::scene

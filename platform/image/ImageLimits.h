#pragma once
// Limits every decoder checks before it allocates pixel memory, so a small file cannot ask for
// gigabytes.

#include <atomic>
#include <cstdint>

namespace hx::image {

#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Fuzzing runs under a fixed memory limit that a codec's own working buffers for one large
// picture, doubled by the address sanitiser, would pass; smaller pictures exercise the same code.
constexpr uint64_t kMaxDecodePixels = uint64_t{1} << 22;
constexpr int kMaxDecodeSide = 8192;
#else
constexpr uint64_t kMaxDecodePixels = uint64_t{1} << 28;
constexpr int kMaxDecodeSide = 65535;
#endif

// Within what this build decodes at all, whatever limit the process has set.
inline bool decodeSizeWithinCeiling(uint64_t width, uint64_t height) {
    return width > 0 && height > 0 && width <= uint64_t(kMaxDecodeSide) &&
           height <= uint64_t(kMaxDecodeSide) && width * height <= kMaxDecodePixels;
}

// The most pixels one decode may produce in this process: kMaxDecodePixels unless the program
// has set less. Programs that decode whatever files they are handed set what a camera makes,
// with headroom (kToolDecodePixels), so a small file cannot make them take gigabytes.
constexpr uint64_t kToolDecodePixels = 100'000'000;

inline std::atomic<uint64_t>& decodePixelLimitStorage() {
    static std::atomic<uint64_t> limit{kMaxDecodePixels};
    return limit;
}
inline uint64_t decodePixelLimit() {
    return decodePixelLimitStorage().load(std::memory_order_relaxed);
}
// 0, or more than the ceiling, sets the ceiling.
inline void setDecodePixelLimit(uint64_t pixels) {
    decodePixelLimitStorage().store(
        pixels == 0 || pixels > kMaxDecodePixels ? kMaxDecodePixels : pixels,
        std::memory_order_relaxed);
}

// What every decoder checks before it allocates pixel memory.
inline bool decodeSizeAllowed(uint64_t width, uint64_t height) {
    return decodeSizeWithinCeiling(width, height) && width * height <= decodePixelLimit();
}

// What a codec tells of a file from its header, without decoding the pixels.
struct ImageInfo {
    int width = 0, height = 0;
    int components = 0;
};

// Size of a picture scaled so that its long side is at most `maxPixelSize` (0: no limit),
// keeping the aspect ratio; never smaller than 1 × 1.
struct ScaledSize {
    int width, height;
};
inline ScaledSize fitWithin(int width, int height, int maxPixelSize) {
    const int longSide = width > height ? width : height;
    if (maxPixelSize <= 0 || longSide <= maxPixelSize) return {width, height};
    const double scale = double(maxPixelSize) / double(longSide);
    auto side = [&](int v) {
        int s = int(double(v) * scale + 0.5);
        return s < 1 ? 1 : s;
    };
    return {width >= height ? maxPixelSize : side(width),
            height > width ? maxPixelSize : side(height)};
}

}  // namespace hx::image

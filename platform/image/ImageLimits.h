#pragma once
// Limits every decoder checks before it allocates pixel memory, so a small file cannot ask for
// gigabytes.

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

inline bool decodeSizeAllowed(uint64_t width, uint64_t height) {
    return width > 0 && height > 0 && width <= uint64_t(kMaxDecodeSide) &&
           height <= uint64_t(kMaxDecodeSide) && width * height <= kMaxDecodePixels;
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

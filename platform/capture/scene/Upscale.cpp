#include "platform/capture/scene/Upscale.h"

#include <algorithm>
#include <vector>

#include "platform/runloop/DispatchQueue.h"

namespace hx::capture::scene {

namespace {

constexpr size_t kRowsPerBand = 16;

// For each target position along one axis: the two source positions and the weight of the
// second, in 1/256ths, sampling at pixel centres.
struct Taps {
    std::vector<int> first, second, weight;

    Taps(size_t sourceSize, size_t targetSize)
        : first(targetSize), second(targetSize), weight(targetSize) {
        const double scale = double(sourceSize) / double(targetSize);
        const int last = static_cast<int>(sourceSize) - 1;
        for (size_t i = 0; i < targetSize; ++i) {
            const double at = std::max(0.0, (double(i) + 0.5) * scale - 0.5);
            const int lower = std::min(static_cast<int>(at), last);
            first[i] = lower;
            second[i] = std::min(lower + 1, last);
            weight[i] = static_cast<int>((at - lower) * 256 + 0.5);
        }
    }
};

}  // namespace

void upscale(const gpu::PixelBuffer& source, gpu::PixelBuffer& target) {
    const Taps across(source.width(), target.width());
    const Taps down(source.height(), target.height());
    const size_t width = target.width(), height = target.height();
    const size_t bands = (height + kRowsPerBand - 1) / kRowsPerBand;
    DispatchQueue::concurrentPerform(bands, [&](size_t band) {
        const size_t end = std::min(height, (band + 1) * kRowsPerBand);
        for (size_t y = band * kRowsPerBand; y < end; ++y) {
            const uint8_t* upper = source.baseAddress() + down.first[y] * source.bytesPerRow();
            const uint8_t* lower = source.baseAddress() + down.second[y] * source.bytesPerRow();
            const int wy = down.weight[y];
            uint8_t* out = target.baseAddress() + y * target.bytesPerRow();
            for (size_t x = 0; x < width; ++x) {
                const uint8_t* a = upper + 4 * across.first[x];
                const uint8_t* b = upper + 4 * across.second[x];
                const uint8_t* c = lower + 4 * across.first[x];
                const uint8_t* d = lower + 4 * across.second[x];
                const int wx = across.weight[x];
                for (int k = 0; k < 4; ++k) {
                    const int top = a[k] * 256 + (b[k] - a[k]) * wx;
                    const int bottom = c[k] * 256 + (d[k] - c[k]) * wx;
                    out[4 * x + k] =
                        static_cast<uint8_t>((top * 256 + (bottom - top) * wy + 32768) >> 16);
                }
            }
        }
    });
}

}  // namespace hx::capture::scene

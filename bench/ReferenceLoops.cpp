#include "bench/ReferenceLoops.h"

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

namespace hx::bench {

namespace {

template <typename RowFn>
void splitRows(size_t height, unsigned threads, RowFn rows) {
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < threads; ++t)
        workers.emplace_back([&, t] { rows(height * t / threads, height * (t + 1) / threads); });
    rows(0, height / threads);
    for (auto& w : workers) w.join();
}

}  // namespace

void fusedGreyToneReference(const uint8_t* bgra, size_t width, size_t height, size_t bytesPerRow,
                            const float mix[3], const uint8_t table[256], uint8_t* grey,
                            unsigned threads) {
    // Integer weights, as a careful hand-written loop would use.
    const int32_t wr = int32_t(mix[0] * 16384.0f + 0.5f), wg = int32_t(mix[1] * 16384.0f + 0.5f),
                  wb = int32_t(mix[2] * 16384.0f + 0.5f);
    splitRows(height, threads, [&](size_t y0, size_t y1) {
        for (size_t y = y0; y < y1; ++y) {
            const uint8_t* in = bgra + y * bytesPerRow;
            uint8_t* out = grey + y * width;
            for (size_t x = 0; x < width; ++x) {
                int32_t v = (wb * in[x * 4] + wg * in[x * 4 + 1] + wr * in[x * 4 + 2] + 8192) >> 14;
                out[x] = table[std::clamp(v, 0, 255)];
            }
        }
    });
}

void floatTrilinearReference(const uint8_t* bgra, size_t width, size_t height, size_t bytesPerRow,
                             const uint8_t* lookup, uint8_t* out, unsigned threads) {
    auto texel = [&](int r, int g, int b, int c) {
        int x = (b % 8) * 64 + r, y = (b / 8) * 64 + g;
        return float(lookup[(size_t(y) * 512 + size_t(x)) * 4 + size_t(c)]);
    };
    splitRows(height, threads, [&](size_t y0, size_t y1) {
        for (size_t y = y0; y < y1; ++y) {
            const uint8_t* in = bgra + y * bytesPerRow;
            uint8_t* o = out + y * width * 4;
            for (size_t x = 0; x < width; ++x) {
                float p[3] = {in[x * 4 + 2] * (63.0f / 255.0f), in[x * 4 + 1] * (63.0f / 255.0f),
                              in[x * 4] * (63.0f / 255.0f)};
                int i0[3], i1[3];
                float f[3];
                for (int c = 0; c < 3; ++c) {
                    i0[c] = int(p[c]);
                    i1[c] = std::min(i0[c] + 1, 63);
                    f[c] = p[c] - float(i0[c]);
                }
                for (int c = 0; c < 3; ++c) {
                    auto lerp = [](float a, float b, float t) { return a + (b - a) * t; };
                    float c00 =
                        lerp(texel(i0[0], i0[1], i0[2], c), texel(i1[0], i0[1], i0[2], c), f[0]);
                    float c10 =
                        lerp(texel(i0[0], i1[1], i0[2], c), texel(i1[0], i1[1], i0[2], c), f[0]);
                    float c01 =
                        lerp(texel(i0[0], i0[1], i1[2], c), texel(i1[0], i0[1], i1[2], c), f[0]);
                    float c11 =
                        lerp(texel(i0[0], i1[1], i1[2], c), texel(i1[0], i1[1], i1[2], c), f[0]);
                    float v = lerp(lerp(c00, c10, f[1]), lerp(c01, c11, f[1]), f[2]);
                    o[x * 4 + size_t(c)] = uint8_t(v + 0.5f);
                }
                o[x * 4 + 3] = 255;
            }
        }
    });
}

}  // namespace hx::bench

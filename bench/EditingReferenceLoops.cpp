#include "bench/EditingReferenceLoops.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace hx::bench {

namespace {

int rounded(int sum, int divisor) {
    const int n = sum + divisor / 2;
    return n <= 0 ? 0 : std::min(255, n / divisor);
}

template <typename Body>
void inBands(int rows, unsigned threads, Body body) {
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t)
        workers.emplace_back([=] { body(int(rows * t / threads), int(rows * (t + 1) / threads)); });
    for (auto& worker : workers) worker.join();
}

}  // namespace

void editingRenderReference(const uint8_t* bgra, int w, int h, const int weights[3],
                            const uint8_t* tone, const int16_t* kernel, int side, int divisor,
                            uint8_t* out, unsigned threads) {
    std::vector<uint8_t> mixed(size_t(w) * h * 4);
    inBands(h, threads, [&](int first, int end) {
        for (int y = first; y < end; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = bgra + (size_t(y) * w + x) * 4;
                uint8_t* q = mixed.data() + (size_t(y) * w + x) * 4;
                const int sum = weights[0] * p[0] + weights[1] * p[1] + weights[2] * p[2];
                const uint8_t grey = tone[rounded(sum, 256)];
                q[0] = q[1] = q[2] = grey;
                q[3] = 255;
            }
    });
    std::vector<uint8_t> convolved;
    const uint8_t* result = mixed.data();
    if (kernel) {
        convolved.resize(mixed.size());
        const int r = side / 2;
        inBands(h, threads, [&](int first, int end) {
            for (int y = first; y < end; ++y)
                for (int x = 0; x < w; ++x)
                    for (int c = 0; c < 4; ++c) {
                        int sum = 0;
                        for (int j = 0; j < side; ++j) {
                            const int sy = std::clamp(y + j - r, 0, h - 1);
                            for (int i = 0; i < side; ++i) {
                                const int sx = std::clamp(x + i - r, 0, w - 1);
                                sum += kernel[j * side + i] * mixed[(size_t(sy) * w + sx) * 4 + c];
                            }
                        }
                        convolved[(size_t(y) * w + x) * 4 + c] = uint8_t(rounded(sum, divisor));
                    }
        });
        result = convolved.data();
    }
    // A quarter turn clockwise: upright (x, y) comes from stored (y, h - 1 - x).
    inBands(w, threads, [&](int first, int end) {
        for (int y = first; y < end; ++y)
            for (int x = 0; x < h; ++x)
                for (int c = 0; c < 4; ++c)
                    out[(size_t(y) * h + x) * 4 + c] = result[(size_t(h - 1 - x) * w + y) * 4 + c];
    });
}

}  // namespace hx::bench

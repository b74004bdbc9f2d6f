// The row sampler's separable filtering against the per-pixel sampler it stands in for: every
// row must come out byte for byte the same, with and without the vector code, whatever the
// texture's size and row padding, the scale, the direction and the clamping at the edges.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/gpu/cpu/Sampling.h"

namespace hx::gpu::cpu {
namespace {

struct Texture {
    std::vector<uint8_t> bytes;
    BoundTexture binding;
    Texture(size_t width, size_t height, size_t padding, uint32_t seed) {
        const size_t bytesPerRow = width * 4 + padding;
        bytes.resize(bytesPerRow * height);
        std::mt19937 random(seed);
        // Extremes are frequent so that the blends reach 0 and 255 exactly.
        for (auto& b : bytes) {
            const uint32_t r = random();
            b = r % 5 == 0 ? 0 : r % 5 == 1 ? 255 : uint8_t(r >> 8);
        }
        binding = {bytes.data(), width, height, bytesPerRow, PixelFormat::RGBA8Unorm};
    }
};

// A band whose rows run from target x0 over `count` pixels with coordinates stepping by
// (dudx, dvdy) per pixel; a mirrored axis has a negative step.
FragmentBand band(double u0, double v0, double dudx, double dvdy, size_t x0, size_t count) {
    FragmentBand b;
    b.x0 = x0;
    b.x1 = x0 + count;
    b.y0 = 0;
    b.y1 = 1;
    b.u0 = u0;
    b.v0 = v0;
    b.dudx = dudx;
    b.dvdy = dvdy;
    return b;
}

// Every row from a few above the band to a few below, compared with sampleRow().
void expectSameRows(const BoundTexture& texture, const FragmentBand& b, size_t pad, size_t count,
                    long rows, const std::string& what) {
    std::vector<uint8_t> expected(count * 4), actual(count * 4);
    RowSampler sampler(texture, b, pad, count);
    const double x = double(b.x0) - double(pad);
    for (long y = -3; y < rows + 3; ++y) {
        const uint8_t* want = sampleRow(texture, b.u(x, double(y)), b.v(x, double(y)), b.dudx,
                                        b.dvdx, count, expected.data());
        const uint8_t* got = sampler.row(y, actual.data());
        for (size_t i = 0; i < count * 4; ++i) {
            if (want[i] != got[i]) {
                ADD_FAILURE() << what << ": row " << y << ", sample " << i / 4 << ", channel "
                              << i % 4 << ": " << int(got[i]) << " instead of " << int(want[i]);
                return;
            }
        }
    }
}

class SeparableSampling : public testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        previous_ = setCodePaths(GetParam() ? CodePaths::All : CodePaths::Portable);
    }
    void TearDown() override { setCodePaths(previous_); }
    CodePaths previous_ = CodePaths::All;
};

TEST_P(SeparableSampling, ScaledRowsMatchThePerPixelSamplerOnAnySize) {
    const size_t sizes[][2] = {{1, 1}, {1, 6}, {7, 1}, {2, 2}, {13, 9}, {37, 23}, {64, 5}};
    const size_t counts[] = {1, 3, 5, 8, 31, 33, 67};
    // Target pixels per texel along each axis: enlarging, reducing, whole multiples.
    const double scales[] = {1.0833, 0.3611, 3.0, 2.0, 0.5, 1.5};
    uint32_t seed = 1;
    for (auto [w, h] : sizes)
        for (size_t padding : {size_t(0), size_t(12)}) {
            Texture t(w, h, padding, seed++);
            for (size_t count : counts)
                for (double sx : scales)
                    for (double sy : scales) {
                        const double dudx = 1.0 / (double(w) * sx), dvdy = 1.0 / (double(h) * sy);
                        const long rows = long(double(h) * sy) + 1;
                        const std::string what = std::to_string(w) + "x" + std::to_string(h) +
                                                 " +" + std::to_string(padding) + ", " +
                                                 std::to_string(count) + " samples at " +
                                                 std::to_string(sx) + "/" + std::to_string(sy);
                        expectSameRows(t.binding,
                                       band(0.5 * dudx, 0.5 * dvdy, dudx, dvdy, 0, count), 0, count,
                                       rows, what);
                        expectSameRows(t.binding,
                                       band(0.5 * dudx, 0.5 * dvdy, dudx, dvdy, 3, count), 2, count,
                                       rows, what + ", padded band");
                    }
        }
}

TEST_P(SeparableSampling, MirroredAxesMatchThePerPixelSampler) {
    Texture t(29, 17, 8, 7);
    for (size_t count : {size_t(1), size_t(4), size_t(35), size_t(40)}) {
        const double dudx = 1.0 / 31.4, dvdy = 1.0 / 18.6;
        // Left to right reversed (a front camera), top to bottom reversed, and both.
        expectSameRows(t.binding, band(1.0 - 0.5 * dudx, 0.5 * dvdy, -dudx, dvdy, 0, count), 1,
                       count, 20, "u mirrored");
        expectSameRows(t.binding, band(0.5 * dudx, 1.0 - 0.5 * dvdy, dudx, -dvdy, 0, count), 1,
                       count, 20, "v mirrored");
        expectSameRows(t.binding, band(1.0, 1.0, -dudx, -dvdy, 0, count), 0, count, 20,
                       "both mirrored");
    }
}

TEST_P(SeparableSampling, CoordinatesPastTheEdgesClampLikeThePerPixelSampler) {
    Texture t(11, 8, 4, 11);
    // Rows that start left of the texture and end right of it, above and below it.
    expectSameRows(t.binding, band(-0.3, -0.4, 1.7 / 40.0, 1.8 / 12.0, 0, 40), 0, 40, 14,
                   "beyond every edge");
    expectSameRows(t.binding, band(0.9, 0.5, 0.01, 0.07, 0, 37), 0, 37, 12, "right edge");
    expectSameRows(t.binding, band(-0.2, 0.5, 0.004, 0.07, 0, 37), 0, 37, 12, "left edge");
}

TEST_P(SeparableSampling, WholeTexelStepsStayOnThePerPixelSamplersShortcut) {
    Texture t(16, 6, 0, 3);
    // One texel per pixel, on texel centres: a straight copy, also shifted out of the texture.
    expectSameRows(t.binding, band(0.5 / 16, 0.5 / 6, 1.0 / 16, 1.0 / 6, 0, 16), 0, 16, 6,
                   "texel for texel");
    expectSameRows(t.binding, band(0.5 / 16, 0.5 / 6, 1.0 / 16, 1.0 / 6, 0, 16), 1, 18, 6,
                   "texel for texel with a border");
    expectSameRows(t.binding, band(15.5 / 16, 0.5 / 6, -1.0 / 16, 1.0 / 6, 0, 16), 0, 16, 6,
                   "texel for texel mirrored");
    // Half a texel off: filtered, not copied.
    expectSameRows(t.binding, band(1.0 / 16, 0.5 / 6, 1.0 / 16, 1.0 / 6, 0, 16), 0, 16, 6,
                   "half a texel off");
}

INSTANTIATE_TEST_SUITE_P(VectorCode, SeparableSampling, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Allowed" : "Portable";
                         });

TEST(WholeTexelSampling, ShiftedRowsRepeatTheEdgeTexelsInEitherDirection) {
    for (size_t width : {size_t(1), size_t(2), size_t(9)}) {
        Texture t(width, 3, 4, uint32_t(width));
        const long maxX = long(width) - 1;
        for (long step : {1L, -1L})
            for (long x0 = -14; x0 <= long(width) + 13; ++x0)
                for (size_t count : {size_t(1), size_t(5), size_t(12), size_t(30)}) {
                    const double w = double(width);
                    std::vector<uint8_t> got(count * 4);
                    const uint8_t* row = sampleRow(t.binding, (double(x0) + 0.5) / w, 1.5 / 3.0,
                                                   double(step) / w, 0.0, count, got.data());
                    for (size_t i = 0; i < count; ++i) {
                        const long x = std::clamp(x0 + long(i) * step, 0L, maxX);
                        const uint8_t* want = t.binding.data + t.binding.bytesPerRow + x * 4;
                        ASSERT_EQ(std::memcmp(row + i * 4, want, 4), 0)
                            << "width " << width << ", from " << x0 << " stepping " << step
                            << ", sample " << i;
                    }
                }
    }
}

TEST(RowSampler, CoordinatesThatTurnAcrossRowsUseThePerPixelSampler) {
    Texture t(19, 21, 4, 5);
    // A quarter turn: u runs down the target and v along it.
    FragmentBand b;
    b.x0 = 0;
    b.x1 = 23;
    b.y0 = 0;
    b.y1 = 25;
    b.u0 = 0.01;
    b.v0 = 0.02;
    b.dudy = 1.0 / 25;
    b.dvdx = 1.0 / 23;
    expectSameRows(t.binding, b, 0, 23, 25, "quarter turn");
}

}  // namespace
}  // namespace hx::gpu::cpu

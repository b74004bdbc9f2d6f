#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "GpuTestSupport.h"
#include "platform/log/CaptureScope.h"

namespace hx::gpu {
namespace {

using namespace test;

struct Extent {
    size_t width, height;
};

std::string formatName(PixelFormat format) {
    return pixelFormatName(format);
}

// Checks every texel of `target` against `expected(x, y)`; reports the first difference.
template <typename Expected>
::testing::AssertionResult texelsMatch(const TextureRef& target, Expected expected) {
    auto texels = readTexels(*target);
    for (size_t y = 0; y < target->height(); ++y) {
        for (size_t x = 0; x < target->width(); ++x) {
            Rgba actual = texelAt(texels, target->pixelFormat(), target->width(), x, y);
            Rgba wanted = expected(x, y);
            if (actual != wanted)
                return ::testing::AssertionFailure() << "texel (" << x << ", " << y << ") is "
                                                     << actual << ", expected " << wanted;
        }
    }
    return ::testing::AssertionSuccess();
}

// ---- copies at the same size, in every pairing of formats

class SameSizeCopy
    : public ::testing::TestWithParam<std::tuple<Extent, PixelFormat, PixelFormat, std::string>> {
  protected:
    void SetUp() override {
        std::string backend;
        std::tie(extent, sourceFormat, targetFormat, backend) = GetParam();
        useBackend(backend);
        ASSERT_TRUE(testDevice()) << "no " << backend << " device on this machine";
        sourceTexels = patternTexels(extent.width, extent.height, 17);
        source = makeSource(sourceFormat, extent.width, extent.height, sourceTexels);
        target = makeTarget(targetFormat, extent.width, extent.height);
        ASSERT_TRUE(source);
        ASSERT_TRUE(target);
    }
    void TearDown() override { useBackend("cpu"); }
    Rgba sourceAt(size_t x, size_t y) const {
        return texelAt(sourceTexels, sourceFormat, extent.width, x, y);
    }

    Extent extent{};
    PixelFormat sourceFormat{}, targetFormat{};
    std::vector<uint8_t> sourceTexels;
    TextureRef source, target;
};

TEST_P(SameSizeCopy, UprightTableReproducesTheSourceTexelForTexel) {
    auto commandBuffer = drawCopy(target, source, kUpright);
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Completed);
    EXPECT_TRUE(texelsMatch(target, [&](size_t x, size_t y) { return sourceAt(x, y); }));
}

TEST_P(SameSizeCopy, SwappedRowsOfTheTableFlipTopToBottom) {
    drawCopy(target, source, kFlippedTopBottom);
    EXPECT_TRUE(texelsMatch(
        target, [&](size_t x, size_t y) { return sourceAt(x, extent.height - 1 - y); }));
}

TEST_P(SameSizeCopy, SwappedColumnsOfTheTableFlipLeftToRight) {
    drawCopy(target, source, kFlippedLeftRight);
    EXPECT_TRUE(
        texelsMatch(target, [&](size_t x, size_t y) { return sourceAt(extent.width - 1 - x, y); }));
}

INSTANTIATE_TEST_SUITE_P(
    SizesAndFormats, SameSizeCopy,
    ::testing::Combine(::testing::Values(Extent{1, 1}, Extent{17, 3}, Extent{1001, 7},
                                         Extent{64, 64}, Extent{3, 333}),
                       ::testing::Values(PixelFormat::BGRA8Unorm, PixelFormat::RGBA8Unorm),
                       ::testing::Values(PixelFormat::BGRA8Unorm, PixelFormat::RGBA8Unorm),
                       ::testing::ValuesIn(backends())),
    [](const auto& info) {
        const Extent e = std::get<0>(info.param);
        return std::to_string(e.width) + "x" + std::to_string(e.height) + "_" +
               formatName(std::get<1>(info.param)) + "_to_" + formatName(std::get<2>(info.param)) +
               "_" + std::get<3>(info.param);
    });

// ---- channel order in memory

HX_GPU_BACKEND_SUITE(RasterizerChannels);

TEST_P(RasterizerChannels, TargetsHoldTheirBytesInTheirOwnOrder) {
    TextureRef bgra = makeTarget(PixelFormat::BGRA8Unorm, 3, 2);
    TextureRef rgba = makeTarget(PixelFormat::RGBA8Unorm, 3, 2);
    drawConstant(bgra, {200, 100, 50, 250});
    drawConstant(rgba, {200, 100, 50, 250});
    for (size_t i = 0; i < 6; ++i) {
        std::vector<uint8_t> b = readTexels(*bgra), r = readTexels(*rgba);
        ASSERT_EQ(std::vector<uint8_t>(b.begin() + 4 * i, b.begin() + 4 * i + 4),
                  (std::vector<uint8_t>{50, 100, 200, 250}));
        ASSERT_EQ(std::vector<uint8_t>(r.begin() + 4 * i, r.begin() + 4 * i + 4),
                  (std::vector<uint8_t>{200, 100, 50, 250}));
    }
}

TEST_P(RasterizerChannels, CopyingRgbaIntoBgraSwapsRedAndBlueBytes) {
    TextureRef source = makeSource(PixelFormat::RGBA8Unorm, 2, 1, {1, 2, 3, 4, 5, 6, 7, 8});
    TextureRef target = makeTarget(PixelFormat::BGRA8Unorm, 2, 1);
    drawCopy(target, source);
    EXPECT_EQ(readTexels(*target), (std::vector<uint8_t>{3, 2, 1, 4, 7, 6, 5, 8}));
}

// ---- load actions and partial quads

// Columns [4, 10) and rows [2, 6) of a 16 × 8 target.
Quad innerQuad() {
    return makeQuad(kUpright, -0.5f, -0.5f, 0.25f, 0.5f);
}
bool insideInnerQuad(size_t x, size_t y) {
    return x >= 4 && x < 10 && y >= 2 && y < 6;
}

HX_GPU_BACKEND_SUITE(RasterizerLoadActions);

TEST_P(RasterizerLoadActions, ClearColourStaysOutsideAQuadThatDoesNotCoverTheTarget) {
    for (PixelFormat format : {PixelFormat::BGRA8Unorm, PixelFormat::RGBA8Unorm}) {
        TextureRef target = makeTarget(format, 16, 8);
        drawConstant(target, {255, 255, 255, 255}, makeQuad(), LoadAction::DontCare);
        auto commandBuffer = drawConstant(target, {9, 8, 7, 255}, innerQuad(), LoadAction::Clear,
                                          {0.2, 0.4, 0.6, 0.5});
        EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Completed);
        EXPECT_TRUE(texelsMatch(target, [](size_t x, size_t y) {
            return insideInnerQuad(x, y) ? Rgba{9, 8, 7, 255} : Rgba{51, 102, 153, 128};
        })) << formatName(format);
    }
}

TEST_P(RasterizerLoadActions, ClearWithoutDrawsFillsTheTarget) {
    TextureRef target = makeTarget(PixelFormat::BGRA8Unorm, 1001, 7);
    auto commandBuffer =
        commitPass(target, LoadAction::Clear, {1, 0, 0.5, 1}, [](RenderCommandEncoder&) {});
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Completed);
    EXPECT_TRUE(texelsMatch(target, [](size_t, size_t) { return Rgba{255, 0, 128, 255}; }));
}

TEST_P(RasterizerLoadActions, ClearBeforeACoveringDrawThenASmallerOneKeepsTheFirstDrawOutside) {
    TextureRef target = makeTarget(PixelFormat::RGBA8Unorm, 16, 8);
    auto pipeline = makePipeline(kConstantFragment, PixelFormat::RGBA8Unorm);
    auto commandBuffer =
        commitPass(target, LoadAction::Clear, {1, 1, 1, 1}, [&](RenderCommandEncoder& encoder) {
            encodeQuad(encoder, pipeline, makeQuad(), nullptr, colourBuffer({1, 2, 3, 255}));
            encodeQuad(encoder, pipeline, innerQuad(), nullptr, colourBuffer({4, 5, 6, 255}));
        });
    commandBuffer->waitUntilCompleted();
    EXPECT_TRUE(texelsMatch(target, [](size_t x, size_t y) {
        return insideInnerQuad(x, y) ? Rgba{4, 5, 6, 255} : Rgba{1, 2, 3, 255};
    }));
}

TEST_P(RasterizerLoadActions, LoadKeepsThePreviousContentsOutsideTheQuad) {
    const auto previous = patternTexels(16, 8, 3);
    TextureRef target = makeTarget(PixelFormat::BGRA8Unorm, 16, 8);
    target->replaceRegion(Region::make2D(0, 0, 16, 8), 0, previous.data(), 0);
    drawConstant(target, {9, 8, 7, 255}, innerQuad(), LoadAction::Load);
    EXPECT_TRUE(texelsMatch(target, [&](size_t x, size_t y) {
        return insideInnerQuad(x, y) ? Rgba{9, 8, 7, 255}
                                     : texelAt(previous, PixelFormat::BGRA8Unorm, 16, x, y);
    }));
}

TEST_P(RasterizerLoadActions, ClearOnANonRenderableTargetFailsWithoutWritingPastIt) {
    log::CaptureScope log;
    auto descriptor = TextureDescriptor::texture2D(PixelFormat::R8Unorm, 16, 4);
    descriptor.usage = TextureUsageRenderTarget | TextureUsageShaderRead;
    TextureRef target = testDevice()->newTextureWithDescriptor(descriptor);
    ASSERT_TRUE(target);
    std::vector<uint8_t> before(16 * 4, 77);
    target->replaceRegion(Region::make2D(0, 0, 16, 4), 0, before.data(), 0);
    auto commandBuffer =
        commitPass(target, LoadAction::Clear, {1, 0, 0, 1}, [](RenderCommandEncoder&) {});
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Error);
    EXPECT_EQ(readTexels(*target), before);
}

HX_GPU_BACKEND_SUITE(RasterizerGeometry);

TEST_P(RasterizerGeometry, APixelIsCoveredWhenItsCentreLiesInsideTheQuad) {
    // Edges in pixels: left 2.45, right 6.45 of 16 columns; top 1.55, bottom 5.55 of 8 rows.
    // Centres 2.5 … 5.5 lie inside across, 2.5 … 5.5 down.
    TextureRef target = makeTarget(PixelFormat::BGRA8Unorm, 16, 8);
    const float left = 2.45f / 8 - 1, right = 6.45f / 8 - 1;
    const float top = 1 - 1.55f / 4, bottom = 1 - 5.55f / 4;
    drawConstant(target, {5, 5, 5, 255}, makeQuad(kUpright, left, bottom, right, top),
                 LoadAction::Clear);
    EXPECT_TRUE(texelsMatch(target, [](size_t x, size_t y) {
        const bool inside = x >= 2 && x < 6 && y >= 2 && y < 6;
        return inside ? Rgba{5, 5, 5, 255} : Rgba{0, 0, 0, 255};
    }));
}

TEST_P(RasterizerGeometry, QuadsReachingPastTheTargetAreClippedToIt) {
    TextureRef target = makeTarget(PixelFormat::BGRA8Unorm, 8, 4);
    drawConstant(target, {5, 5, 5, 255}, makeQuad(kUpright, -3, -1, 0, 5), LoadAction::Clear);
    EXPECT_TRUE(texelsMatch(target, [](size_t x, size_t) {
        return x < 4 ? Rgba{5, 5, 5, 255} : Rgba{0, 0, 0, 255};
    }));
}

TEST_P(RasterizerGeometry, AQuadOffTheTargetDrawsNothing) {
    log::CaptureScope log;
    TextureRef target = makeTarget(PixelFormat::BGRA8Unorm, 8, 4);
    drawConstant(target, {5, 5, 5, 255}, makeQuad(kUpright, 1.5f, -1, 3, 1), LoadAction::Load);
    EXPECT_TRUE(texelsMatch(target, [](size_t, size_t) { return Rgba{0, 0, 0, 0}; }));
}

TEST_P(RasterizerGeometry, VertexStartSelectsTheVerticesOfTheDraw) {
    const size_t width = 9, height = 5;
    auto texels = patternTexels(width, height, 8);
    TextureRef source = makeSource(PixelFormat::RGBA8Unorm, width, height, texels);
    TextureRef target = makeTarget(PixelFormat::RGBA8Unorm, width, height);
    Quad upright = makeQuad(kUpright), flipped = makeQuad(kFlippedTopBottom);
    std::vector<Vertex> vertices(upright.begin(), upright.end());
    vertices.insert(vertices.end(), flipped.begin(), flipped.end());
    auto pipeline = makePipeline(kCopyFragment, PixelFormat::RGBA8Unorm);
    commitPass(target, LoadAction::DontCare, {}, [&](RenderCommandEncoder& encoder) {
        encoder.setRenderPipelineState(pipeline);
        encoder.setVertexBuffer(
            testDevice()->newBufferWithBytes(vertices.data(), vertices.size() * sizeof(Vertex)), 0,
            0);
        encoder.setFragmentTexture(source, 0);
        encoder.drawPrimitives(PrimitiveType::TriangleStrip, 4, 4);
    })->waitUntilCompleted();
    EXPECT_TRUE(texelsMatch(target, [&](size_t x, size_t y) {
        return texelAt(texels, PixelFormat::RGBA8Unorm, width, x, height - 1 - y);
    }));
}

// ---- bands handed to the fragment function

class FragmentBands : public ::testing::TestWithParam<Extent> {};

TEST_P(FragmentBands, CoverEveryPixelOnceWithCoordinatesAtPixelCentres) {
    const auto [width, height] = GetParam();
    PixelProbe probe(width, height);
    TextureRef target = makeTarget(PixelFormat::BGRA8Unorm, width, height);
    auto pipeline = makePipeline(kProbeFragment, PixelFormat::BGRA8Unorm);
    auto commandBuffer = commitPass(target, LoadAction::DontCare, {}, [&](auto& encoder) {
        encodeQuad(encoder, pipeline, makeQuad(), nullptr, probeBuffer(&probe));
    });
    commandBuffer->waitUntilCompleted();
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) {
            const size_t i = y * width + x;
            ASSERT_EQ(probe.visits[i].load(), 1) << x << ", " << y;
            ASSERT_NEAR(probe.u[i], (double(x) + 0.5) / double(width), 1e-9) << x << ", " << y;
            ASSERT_NEAR(probe.v[i], (double(y) + 0.5) / double(height), 1e-9) << x << ", " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(TargetSizes, FragmentBands,
                         ::testing::Values(Extent{1, 1}, Extent{5, 1}, Extent{1, 64},
                                           Extent{37, 517}, Extent{1001, 7}, Extent{64, 1000}),
                         [](const auto& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

TEST(FragmentBandsOfASmallerQuad, StayInsideTheQuad) {
    PixelProbe probe(16, 8);
    TextureRef target = makeTarget(PixelFormat::BGRA8Unorm, 16, 8);
    auto pipeline = makePipeline(kProbeFragment, PixelFormat::BGRA8Unorm);
    commitPass(target, LoadAction::DontCare, {}, [&](auto& encoder) {
        encodeQuad(encoder, pipeline, innerQuad(), nullptr, probeBuffer(&probe));
    })->waitUntilCompleted();
    for (size_t y = 0; y < 8; ++y) {
        for (size_t x = 0; x < 16; ++x) {
            ASSERT_EQ(probe.visits[y * 16 + x].load(), insideInnerQuad(x, y) ? 1 : 0)
                << x << ", " << y;
            if (!insideInnerQuad(x, y)) continue;
            // The quad's own texture coordinates run 0..1 across its 6 × 4 pixels.
            ASSERT_NEAR(probe.u[y * 16 + x], (double(x - 4) + 0.5) / 6.0, 1e-6);
            ASSERT_NEAR(probe.v[y * 16 + x], (double(y - 2) + 0.5) / 4.0, 1e-6);
        }
    }
}

// ---- filtering and edges

HX_GPU_BACKEND_SUITE(RasterizerSampling);

TEST_P(RasterizerSampling, HalvingAConstantImageKeepsItExactly) {
    const Rgba colour{37, 142, 251, 90};
    std::vector<uint8_t> texels(40 * 22 * 4);
    for (size_t i = 0; i < 40 * 22; ++i)
        setTexel(texels, PixelFormat::RGBA8Unorm, 40, i % 40, i / 40, colour);
    TextureRef source = makeSource(PixelFormat::RGBA8Unorm, 40, 22, texels);
    TextureRef target = makeTarget(PixelFormat::BGRA8Unorm, 20, 11);
    drawCopy(target, source);
    EXPECT_TRUE(texelsMatch(target, [&](size_t, size_t) { return colour; }));
}

TEST_P(RasterizerSampling, HalvingAveragesEachTwoByTwoBlock) {
    const size_t width = 20, height = 12;
    auto texels = patternTexels(2 * width, 2 * height, 4);
    TextureRef source = makeSource(PixelFormat::BGRA8Unorm, 2 * width, 2 * height, texels);
    TextureRef target = makeTarget(PixelFormat::BGRA8Unorm, width, height);
    drawCopy(target, source);
    auto result = readTexels(*target);
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) {
            for (size_t c = 0; c < 4; ++c) {
                auto at = [&](size_t sx, size_t sy) {
                    return double(texels[(sy * 2 * width + sx) * 4 + c]);
                };
                double mean = (at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) +
                               at(2 * x + 1, 2 * y + 1)) /
                              4.0;
                ASSERT_NEAR(result[(y * width + x) * 4 + c], mean, 1.0)
                    << "texel " << x << ", " << y << " byte " << c;
            }
        }
    }
}

// A horizontal ramp R = 0, 1, 2, … across the source, G and B constant.
std::vector<uint8_t> rampTexels(size_t width, size_t height) {
    std::vector<uint8_t> texels(width * height * 4);
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x)
            setTexel(texels, PixelFormat::RGBA8Unorm, width, x, y,
                     {uint8_t(x * 255 / (width - 1)), 60, 200, 255});
    return texels;
}

TEST_P(RasterizerSampling, ARampStaysMonotonicAndInRangeWhenHalved) {
    TextureRef source = makeSource(PixelFormat::RGBA8Unorm, 256, 4, rampTexels(256, 4));
    TextureRef target = makeTarget(PixelFormat::RGBA8Unorm, 128, 2);
    drawCopy(target, source);
    auto result = readTexels(*target);
    for (size_t y = 0; y < 2; ++y) {
        int previous = -1;
        for (size_t x = 0; x < 128; ++x) {
            Rgba texel = texelAt(result, PixelFormat::RGBA8Unorm, 128, x, y);
            ASSERT_GE(int(texel.r), previous) << x;
            ASSERT_EQ(texel.g, 60);
            ASSERT_EQ(texel.b, 200);
            previous = texel.r;
        }
    }
    EXPECT_LE(texelAt(result, PixelFormat::RGBA8Unorm, 128, 0, 0).r, 2);
    EXPECT_GE(texelAt(result, PixelFormat::RGBA8Unorm, 128, 127, 0).r, 253);
}

TEST_P(RasterizerSampling, ARampStretchedWideClampsToItsEndTexels) {
    TextureRef source =
        makeSource(PixelFormat::RGBA8Unorm, 4, 1, rampTexels(4, 1));  // 0 85 170 255
    TextureRef target = makeTarget(PixelFormat::RGBA8Unorm, 37, 3);
    drawCopy(target, source);
    auto result = readTexels(*target);
    int previous = -1;
    for (size_t x = 0; x < 37; ++x) {
        int red = texelAt(result, PixelFormat::RGBA8Unorm, 37, x, 1).r;
        ASSERT_GE(red, previous) << x;
        previous = red;
    }
    EXPECT_EQ(texelAt(result, PixelFormat::RGBA8Unorm, 37, 0, 1).r, 0);
    EXPECT_EQ(texelAt(result, PixelFormat::RGBA8Unorm, 37, 36, 1).r, 255);
}

TEST_P(RasterizerSampling, CoordinatesOutsideTheTextureClampToItsEdges) {
    auto texels = patternTexels(4, 4, 12);
    TextureRef source = makeSource(PixelFormat::BGRA8Unorm, 4, 4, texels);
    TextureRef target = makeTarget(PixelFormat::BGRA8Unorm, 16, 16);
    const TexCoordTable beyond = {{{-0.5f, 1.5f}, {1.5f, 1.5f}, {-0.5f, -0.5f}, {1.5f, -0.5f}}};
    drawCopy(target, source, beyond);
    auto result = readTexels(*target);
    auto src = [&](size_t x, size_t y) {
        return texelAt(texels, PixelFormat::BGRA8Unorm, 4, x, y);
    };
    auto dst = [&](size_t x, size_t y) {
        return texelAt(result, PixelFormat::BGRA8Unorm, 16, x, y);
    };
    // Pixels whose coordinate lies beyond the outer texel centres take the edge texel itself.
    for (size_t y = 0; y <= 4; ++y) {
        for (size_t x = 0; x <= 4; ++x) {
            ASSERT_EQ(dst(x, y), src(0, 0)) << x << ", " << y;
            ASSERT_EQ(dst(15 - x, y), src(3, 0)) << x << ", " << y;
            ASSERT_EQ(dst(x, 15 - y), src(0, 3)) << x << ", " << y;
            ASSERT_EQ(dst(15 - x, 15 - y), src(3, 3)) << x << ", " << y;
        }
    }
}

TEST_P(RasterizerSampling, WholeTexelShiftsRepeatTheEdgeColumn) {
    const size_t width = 8, height = 3;
    auto texels = patternTexels(width, height, 21);
    TextureRef source = makeSource(PixelFormat::RGBA8Unorm, width, height, texels);
    TextureRef target = makeTarget(PixelFormat::RGBA8Unorm, width, height);
    auto src = [&](long x, size_t y) {
        return texelAt(texels, PixelFormat::RGBA8Unorm, width, size_t(std::clamp(x, 0L, 7L)), y);
    };
    const float shift = 2.0f / float(width);
    drawCopy(target, source, {{{-shift, 1}, {1 - shift, 1}, {-shift, 0}, {1 - shift, 0}}});
    EXPECT_TRUE(texelsMatch(target, [&](size_t x, size_t y) { return src(long(x) - 2, y); }));
    drawCopy(target, source, {{{shift, 1}, {1 + shift, 1}, {shift, 0}, {1 + shift, 0}}});
    EXPECT_TRUE(texelsMatch(target, [&](size_t x, size_t y) { return src(long(x) + 2, y); }));
}

}  // namespace
}  // namespace hx::gpu

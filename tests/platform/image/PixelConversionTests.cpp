#include "platform/image/PixelConversion.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "TestImages.h"

namespace hx::image {
namespace {

using test::makeConstant;
using test::makePattern;
using test::pixelAt;
using test::samePixels;

constexpr PixelFormat kAllFormats[] = {PixelFormat::Grey8, PixelFormat::RGB8, PixelFormat::BGRA8,
                                       PixelFormat::RGBA8};

std::vector<uint8_t> convertOne(PixelFormat from, std::vector<uint8_t> pixel, PixelFormat to) {
    std::vector<uint8_t> out(bytesPerPixel(to));
    convertPixels(from, pixel.data(), to, out.data(), 1);
    return out;
}

TEST(PixelArithmetic, PremultipliedValuesSurviveARoundTripThroughStraightAlpha) {
    for (int alpha = 1; alpha < 256; ++alpha) {
        for (int value = 0; value <= alpha; ++value) {
            const uint8_t straight = unpremultiply(uint8_t(value), uint8_t(alpha));
            ASSERT_EQ(premultiply(straight, uint8_t(alpha)), value)
                << "value " << value << " alpha " << alpha;
        }
    }
    EXPECT_EQ(unpremultiply(200, 0), 0);
    EXPECT_EQ(unpremultiply(200, 100), 255) << "invalid premultiplied data clamps";
    for (int value = 0; value < 256; ++value) {
        ASSERT_EQ(premultiply(uint8_t(value), 255), value);
        ASSERT_EQ(premultiply(uint8_t(value), 0), 0);
    }
}

TEST(PixelArithmetic, LumaKeepsGreysAndWeighsGreenMost) {
    for (int grey = 0; grey < 256; ++grey) {
        ASSERT_EQ(luma(uint8_t(grey), uint8_t(grey), uint8_t(grey)), grey);
    }
    EXPECT_NEAR(luma(255, 0, 0), 76, 1);
    EXPECT_NEAR(luma(0, 255, 0), 150, 1);
    EXPECT_NEAR(luma(0, 0, 255), 29, 1);
}

TEST(PixelConversion, ConvertsSinglePixelsBetweenEveryPair) {
    using F = PixelFormat;
    using Bytes = std::vector<uint8_t>;
    EXPECT_EQ(convertOne(F::Grey8, {90}, F::RGB8), (Bytes{90, 90, 90}));
    EXPECT_EQ(convertOne(F::Grey8, {90}, F::BGRA8), (Bytes{90, 90, 90, 255}));
    EXPECT_EQ(convertOne(F::RGB8, {10, 20, 30}, F::BGRA8), (Bytes{30, 20, 10, 255}));
    EXPECT_EQ(convertOne(F::RGB8, {10, 20, 30}, F::RGBA8), (Bytes{10, 20, 30, 255}));
    // Premultiplied half-transparent red (64 of 128) is full red straight.
    EXPECT_EQ(convertOne(F::BGRA8, {0, 32, 64, 128}, F::RGBA8), (Bytes{128, 64, 0, 128}));
    EXPECT_EQ(convertOne(F::BGRA8, {0, 32, 64, 128}, F::RGB8), (Bytes{128, 64, 0}));
    EXPECT_EQ(convertOne(F::BGRA8, {50, 50, 50, 0}, F::RGBA8), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(convertOne(F::RGBA8, {255, 128, 0, 128}, F::BGRA8), (Bytes{0, 64, 128, 128}));
    EXPECT_EQ(convertOne(F::RGBA8, {255, 128, 0, 0}, F::BGRA8), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(convertOne(F::RGBA8, {1, 2, 3, 4}, F::RGB8), (Bytes{1, 2, 3}));
    EXPECT_EQ(convertOne(F::RGBA8, {77, 77, 77, 9}, F::Grey8), (Bytes{77}));
    EXPECT_EQ(convertOne(F::BGRA8, {40, 40, 40, 80}, F::Grey8), (Bytes{128}));
}

TEST(PixelConversion, OpaquePixelsConvertExactlyAmongTheColourFormats) {
    const ImageRef rgb = makePattern(PixelFormat::RGB8, 9, 4);
    for (PixelFormat through : {PixelFormat::BGRA8, PixelFormat::RGBA8}) {
        const ImageRef there = convert(rgb, through);
        ASSERT_TRUE(there);
        EXPECT_TRUE(samePixels(*rgb, *convert(there, PixelFormat::RGB8)))
            << pixelFormatName(through);
    }
    const ImageRef grey = makePattern(PixelFormat::Grey8, 5, 3);
    for (PixelFormat format : kAllFormats) {
        EXPECT_TRUE(samePixels(*grey, *convert(convert(grey, format), PixelFormat::Grey8)))
            << pixelFormatName(format);
    }
}

TEST(PixelConversion, StraightAlphaRoundTripsThroughPremultipliedWithinRounding) {
    const ImageRef rgba = makePattern(PixelFormat::RGBA8, 16, 16);
    const ImageRef back = convert(convert(rgba, PixelFormat::BGRA8), PixelFormat::RGBA8);
    ASSERT_TRUE(back);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const std::vector<uint8_t> want = pixelAt(*rgba, x, y);
            const std::vector<uint8_t> got = pixelAt(*back, x, y);
            ASSERT_EQ(got[3], want[3]);
            // Premultiplying keeps about `alpha` levels per channel.
            const int tolerance = want[3] == 0 ? 255 : 1 + 128 / want[3];
            for (int k = 0; k < 3; ++k) {
                ASSERT_LE(std::abs(got[k] - want[k]), tolerance)
                    << "(" << x << ", " << y << ") channel " << k << " alpha " << int(want[3]);
            }
        }
    }
}

TEST(PixelConversion, ConvertHandlesPaddedRowsAndSharesWhenNothingChanges) {
    const ImageRef padded = makePattern(PixelFormat::BGRA8, 5, 3, 5 * 4 + 12);
    EXPECT_EQ(convert(padded, PixelFormat::BGRA8), padded);
    const ImageRef rgba = convert(padded, PixelFormat::RGBA8);
    ASSERT_TRUE(rgba);
    EXPECT_EQ(rgba->bytesPerRow(), size_t(5 * 4));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            const std::vector<uint8_t> source = pixelAt(*padded, x, y);
            EXPECT_EQ(pixelAt(*rgba, x, y),
                      convertOne(PixelFormat::BGRA8, source, PixelFormat::RGBA8));
        }
    }
    EXPECT_FALSE(convert(nullptr, PixelFormat::RGB8));
    EXPECT_FALSE(convert(padded, static_cast<PixelFormat>(42)));
}

TEST(PixelConversion, ConstantImagesStayConstantInEveryFormat) {
    const ImageRef orange = makeConstant(PixelFormat::RGB8, 3, 2, {250, 120, 10});
    for (PixelFormat format : kAllFormats) {
        const ImageRef converted = convert(orange, format);
        ASSERT_TRUE(converted);
        const std::vector<uint8_t> first = pixelAt(*converted, 0, 0);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) EXPECT_EQ(pixelAt(*converted, x, y), first);
        }
    }
}

}  // namespace
}  // namespace hx::image

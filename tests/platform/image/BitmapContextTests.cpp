#include "platform/image/BitmapContext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

#include "TestImages.h"
#include "platform/image/PixelConversion.h"
#include "platform/log/CaptureScope.h"

namespace hx::image {
namespace {

using test::makeConstant;
using test::makePattern;
using test::pixelAt;
using test::samePixels;

using Bytes = std::vector<uint8_t>;

CGRect fullRect(const Image& image) {
    return CGRectMake(0, 0, double(image.width()), double(image.height()));
}

// A context whose every byte is `marker`, to see which pixels a draw touched.
std::unique_ptr<BitmapContext> markedContext(PixelFormat format, int width, int height,
                                             uint8_t marker) {
    auto context = BitmapContext::create(format, width, height);
    std::memset(context->data(), marker, context->bytesPerRow() * height);
    return context;
}

TEST(BitmapContextCreate, StartsTransparentBlackAndRefusesBadSurfaces) {
    for (PixelFormat format : {PixelFormat::Grey8, PixelFormat::RGB8, PixelFormat::BGRA8}) {
        auto context = BitmapContext::create(format, 5, 3);
        ASSERT_TRUE(context);
        const ImageRef snapshot = context->makeImage();
        EXPECT_TRUE(
            samePixels(*makeConstant(format, 5, 3, Bytes(bytesPerPixel(format), 0)), *snapshot));
    }
    hx::log::CaptureScope log;
    EXPECT_FALSE(BitmapContext::create(PixelFormat::RGBA8, 5, 3));
    EXPECT_TRUE(log.contains("cannot draw into RGBA8"));
    EXPECT_FALSE(BitmapContext::create(PixelFormat::BGRA8, 0, 3));
    EXPECT_FALSE(BitmapContext::create(PixelFormat::BGRA8, 3, -1));
    uint8_t memory[16] = {};
    EXPECT_FALSE(BitmapContext::wrap(PixelFormat::RGB8, 2, 2, memory, 5));
    EXPECT_FALSE(BitmapContext::wrap(PixelFormat::RGB8, 2, 2, nullptr, 6));
}

TEST(BitmapContextDraw, IdentityDrawIsAnExactUprightCopy) {
    for (PixelFormat format : {PixelFormat::Grey8, PixelFormat::RGB8, PixelFormat::BGRA8}) {
        const ImageRef image = makePattern(format, 7, 5, 7 * 4 + 3);
        auto context = BitmapContext::create(format, 7, 5);
        context->drawImage(image, fullRect(*image));
        EXPECT_TRUE(samePixels(*image, *context->makeImage())) << pixelFormatName(format);
    }
}

TEST(BitmapContextDraw, FlipTransformPutsTheFirstRowLast) {
    const ImageRef image = makePattern(PixelFormat::BGRA8, 6, 4, 0, /*opaque=*/true);
    auto context = BitmapContext::create(PixelFormat::BGRA8, 6, 4);
    context->drawImage(image, fullRect(*image), CGAffineTransform{1, 0, 0, -1, 0, 4});
    const ImageRef drawn = context->makeImage();
    for (int y = 0; y < 4; ++y) {
        ASSERT_EQ(std::memcmp(drawn->row(3 - y), image->row(y), 6 * 4), 0) << "row " << y;
    }

    // The same flip built up on the context's own transform.
    auto stepwise = BitmapContext::create(PixelFormat::BGRA8, 6, 4);
    stepwise->translateCTM(0, 4);
    stepwise->scaleCTM(1, -1);
    stepwise->drawImage(image, fullRect(*image));
    EXPECT_TRUE(samePixels(*drawn, *stepwise->makeImage()));
}

TEST(BitmapContextDraw, OffsetDrawTouchesOnlyTheDestinationRect) {
    const ImageRef image = makePattern(PixelFormat::RGB8, 3, 2);
    auto context = markedContext(PixelFormat::BGRA8, 8, 6, 0x11);
    // y-up: the rect spans y 1...3, which is memory rows 3 and 4 of 6.
    context->drawImage(image, {2, 1, 3, 2});
    const ImageRef drawn = context->makeImage();
    const ImageRef expected = convert(image, PixelFormat::BGRA8);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 2 && x < 5 && y >= 3 && y < 5;
            const Bytes want = inside ? pixelAt(*expected, x - 2, y - 3) : Bytes(4, 0x11);
            ASSERT_EQ(pixelAt(*drawn, x, y), want) << "(" << x << ", " << y << ")";
        }
    }
}

TEST(BitmapContextDraw, WiderImageLosesItsRightHandColumns) {
    const ImageRef image = makePattern(PixelFormat::Grey8, 10, 4);
    auto context = BitmapContext::create(PixelFormat::Grey8, 6, 4);
    context->drawImage(image, fullRect(*image));
    EXPECT_TRUE(samePixels(*image->cropped(0, 0, 6, 4), *context->makeImage()));
}

TEST(BitmapContextDraw, ClipsAtTheLeftAndBottomEdges) {
    const ImageRef image = makePattern(PixelFormat::RGB8, 5, 4);
    auto context = markedContext(PixelFormat::RGB8, 5, 4, 0x22);
    context->drawImage(image, {-2, -1, 5, 4});
    const ImageRef drawn = context->makeImage();
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            const bool inside = x < 3 && y >= 1;
            const Bytes want = inside ? pixelAt(*image, x + 2, y - 1) : Bytes(3, 0x22);
            ASSERT_EQ(pixelAt(*drawn, x, y), want) << "(" << x << ", " << y << ")";
        }
    }
}

TEST(BitmapContextDraw, QuarterTurnMovesEveryPixelExactly) {
    const ImageRef image = makePattern(PixelFormat::Grey8, 3, 2);
    auto context = BitmapContext::create(PixelFormat::Grey8, 2, 3);
    const CGAffineTransform turn =
        CGAffineTransformConcat(CGAffineTransformMakeRotation(std::numbers::pi / 2),
                                CGAffineTransformMakeTranslation(2, 0));
    context->drawImage(image, fullRect(*image), turn);
    const ImageRef drawn = context->makeImage();
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) EXPECT_EQ(pixelAt(*drawn, y, 2 - x), pixelAt(*image, x, y));
    }
}

TEST(BitmapContextDraw, ConvertsFormatsOnTheWay) {
    const ImageRef grey = makePattern(PixelFormat::Grey8, 4, 3);
    auto rgb = BitmapContext::create(PixelFormat::RGB8, 4, 3);
    rgb->drawImage(grey, fullRect(*grey));
    EXPECT_TRUE(samePixels(*convert(grey, PixelFormat::RGB8), *rgb->makeImage()));

    const ImageRef colour = makePattern(PixelFormat::RGB8, 4, 3);
    auto toGrey = BitmapContext::create(PixelFormat::Grey8, 4, 3);
    toGrey->drawImage(colour, fullRect(*colour));
    EXPECT_TRUE(samePixels(*convert(colour, PixelFormat::Grey8), *toGrey->makeImage()));
}

TEST(BitmapContextDraw, TranslucentImagesCompositeOverWhatIsThere) {
    auto context = BitmapContext::create(PixelFormat::RGB8, 2, 1);
    context->drawImage(makeConstant(PixelFormat::RGB8, 2, 1, {0, 0, 255}), {0, 0, 2, 1});
    Bytes halfRedAndClear = {255, 0, 0, 128, 255, 255, 255, 0};
    context->drawImage(Image::adopt(PixelFormat::RGBA8, 2, 1, halfRedAndClear), {0, 0, 2, 1});
    const ImageRef drawn = context->makeImage();
    EXPECT_EQ(pixelAt(*drawn, 0, 0), (Bytes{128, 0, 127}));
    EXPECT_EQ(pixelAt(*drawn, 1, 0), (Bytes{0, 0, 255}));

    // Over transparent black the result is the premultiplied source.
    auto clear = BitmapContext::create(PixelFormat::BGRA8, 2, 1);
    clear->drawImage(Image::adopt(PixelFormat::RGBA8, 2, 1, halfRedAndClear), {0, 0, 2, 1});
    EXPECT_EQ(pixelAt(*clear->makeImage(), 0, 0), (Bytes{0, 0, 128, 128}));
}

// Every pixel equals `pixel` or the untouched value 0.
void expectConstantOrUntouched(const Image& image, const Bytes& pixel, int tolerance,
                               int* drawnCount) {
    *drawnCount = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const Bytes got = pixelAt(image, x, y);
            if (got == Bytes(got.size(), 0)) continue;
            ++*drawnCount;
            for (size_t k = 0; k < got.size(); ++k) {
                ASSERT_LE(std::abs(int(got[k]) - int(pixel[k])), tolerance)
                    << "(" << x << ", " << y << ") channel " << k;
            }
        }
    }
}

TEST(BitmapContextScaledDraw, ConstantImagesStayConstant) {
    const ImageRef orange = makeConstant(PixelFormat::RGB8, 7, 5, {200, 100, 50});
    const Bytes opaqueOrange = {50, 100, 200, 255};
    int drawn = 0;

    auto enlarged = BitmapContext::create(PixelFormat::BGRA8, 24, 16);
    enlarged->drawImage(orange, {1.5, 2.25, 17.3, 9.7});
    expectConstantOrUntouched(*enlarged->makeImage(), opaqueOrange, 0, &drawn);
    EXPECT_NEAR(drawn, 17.3 * 9.7, 30);

    const ImageRef big = makeConstant(PixelFormat::RGB8, 40, 30, {200, 100, 50});
    auto shrunk = BitmapContext::create(PixelFormat::BGRA8, 9, 9);
    shrunk->drawImage(big, {0.5, 0, 7, 5.5});
    expectConstantOrUntouched(*shrunk->makeImage(), opaqueOrange, 0, &drawn);
    EXPECT_NEAR(drawn, 7 * 5.5, 8);

    const ImageRef translucent = makeConstant(PixelFormat::RGBA8, 6, 6, {200, 100, 50, 100});
    auto rotated = BitmapContext::create(PixelFormat::BGRA8, 20, 20);
    rotated->drawImage(
        translucent, CGRectMake(0, 0, 6, 6),
        CGAffineTransformTranslate(
            CGAffineTransformScale(CGAffineTransformMakeRotation(0.3), 2.1, 1.7), 4, 1));
    expectConstantOrUntouched(*rotated->makeImage(), {20, 39, 78, 100}, 1, &drawn);
    EXPECT_GT(drawn, 50);
}

TEST(BitmapContextScaledDraw, ShrinkingAveragesInsteadOfPickingPixels) {
    // Alternating black and white columns, shrunk three times across: every output pixel covers
    // one or two white columns of three.
    Bytes stripes;
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 30; ++x) stripes.push_back(x % 2 ? 255 : 0);
    }
    const ImageRef image = Image::adopt(PixelFormat::Grey8, 30, 3, stripes);
    auto context = BitmapContext::create(PixelFormat::Grey8, 10, 3);
    context->drawImage(image, {0, 0, 10, 3});
    const ImageRef drawn = context->makeImage();
    for (int x = 0; x < 10; ++x) {
        const int value = pixelAt(*drawn, x, 1)[0];
        EXPECT_TRUE(std::abs(value - 85) <= 1 || std::abs(value - 170) <= 1)
            << "column " << x << " is " << value;
    }
}

TEST(BitmapContextScaledDraw, EnlargingInterpolatesBetweenNeighbours) {
    const ImageRef image = Image::adopt(PixelFormat::Grey8, 2, 1, Bytes{0, 200});
    auto context = BitmapContext::create(PixelFormat::Grey8, 8, 1);
    context->drawImage(image, {0, 0, 8, 1});
    const ImageRef drawn = context->makeImage();
    EXPECT_EQ(pixelAt(*drawn, 0, 0)[0], 0);
    EXPECT_EQ(pixelAt(*drawn, 7, 0)[0], 200);
    EXPECT_EQ(pixelAt(*drawn, 3, 0)[0], 75);
    EXPECT_EQ(pixelAt(*drawn, 4, 0)[0], 125);
    for (int x = 1; x < 8; ++x) EXPECT_LE(pixelAt(*drawn, x - 1, 0)[0], pixelAt(*drawn, x, 0)[0]);
}

TEST(BitmapContextDraw, SnapshotsDoNotFollowLaterDrawing) {
    auto context = BitmapContext::create(PixelFormat::RGB8, 3, 3);
    const ImageRef before = context->makeImage();
    context->drawImage(makeConstant(PixelFormat::RGB8, 3, 3, {9, 9, 9}), {0, 0, 3, 3});
    EXPECT_EQ(pixelAt(*before, 1, 1), (Bytes{0, 0, 0}));
    EXPECT_EQ(pixelAt(*context->makeImage(), 1, 1), (Bytes{9, 9, 9}));
}

TEST(BitmapContextDraw, WrappedMemoryKeepsItsPadding) {
    const size_t rowBytes = 3 * 3 + 5;
    Bytes memory(rowBytes * 2, 0x5A);
    auto context = BitmapContext::wrap(PixelFormat::RGB8, 3, 2, memory.data(), rowBytes);
    ASSERT_TRUE(context);
    const ImageRef image = makePattern(PixelFormat::RGB8, 3, 2);
    context->drawImage(image, fullRect(*image));
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(std::memcmp(memory.data() + rowBytes * y, image->row(y), 9), 0);
        for (size_t i = 9; i < rowBytes; ++i) EXPECT_EQ(memory[rowBytes * y + i], 0x5A);
    }
}

TEST(BitmapContextDraw, DegenerateRequestsDrawNothing) {
    const ImageRef image = makeConstant(PixelFormat::RGB8, 4, 4, {255, 255, 255});
    auto context = BitmapContext::create(PixelFormat::RGB8, 4, 4);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double huge = std::numeric_limits<double>::infinity();
    context->drawImage(nullptr, {0, 0, 4, 4});
    context->drawImage(image, {0, 0, 0, 4});
    context->drawImage(image, {nan, 0, 4, 4});
    context->drawImage(image, {0, 0, huge, 4});
    context->drawImage(image, CGRectMake(0, 0, 4, 4), CGAffineTransformMakeScale(0, 1));
    context->drawImage(image, CGRectMake(0, 0, 4, 4), CGAffineTransform{1, 0, 0, 1, nan, 0});
    context->drawImage(image, {1e300, 0, 4, 4});
    context->drawImage(image, CGRectMake(-1e12, -1e12, 4, 4),
                       CGAffineTransformMakeScale(1e-9, 1e-9));
    EXPECT_TRUE(
        samePixels(*makeConstant(PixelFormat::RGB8, 4, 4, {0, 0, 0}), *context->makeImage()));
}

}  // namespace
}  // namespace hx::image

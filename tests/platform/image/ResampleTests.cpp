// The one resampler behind every thumbnail and the camera's enlargement of defocused frames.

#include "platform/image/Resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "TestImages.h"

namespace hx::image {
namespace {

using test::makeConstant;
using test::pixelAt;

using Bytes = std::vector<uint8_t>;

ImageRef greyRow(const Bytes& values, int height = 1) {
    Bytes pixels;
    for (int y = 0; y < height; ++y) pixels.insert(pixels.end(), values.begin(), values.end());
    return Image::adopt(PixelFormat::Grey8, int(values.size()), height, std::move(pixels));
}

Bytes firstRow(const Image& image) {
    const size_t bytes = size_t(image.width()) * bytesPerPixel(image.pixelFormat());
    return Bytes(image.row(0), image.row(0) + bytes);
}

ImageRef randomImage(PixelFormat format, int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    Bytes pixels(size_t(width) * size_t(height) * bytesPerPixel(format));
    for (uint8_t& value : pixels) value = uint8_t(random());
    return Image::adopt(format, width, height, std::move(pixels));
}

// Exact area averaging in doubles, written independently of the fixed-point resampler: each
// target pixel is the integral of the source over the rectangle it covers, divided by its area.
double areaAverage(const Image& image, int width, int height, int x, int y, int component) {
    const double sx = double(image.width()) / width, sy = double(image.height()) / height;
    const double x0 = x * sx, x1 = (x + 1) * sx, y0 = y * sy, y1 = (y + 1) * sy;
    const int components = int(bytesPerPixel(image.pixelFormat()));
    double sum = 0;
    for (int j = int(std::floor(y0)); j < int(std::ceil(y1)); ++j) {
        const double dy = std::min<double>(j + 1, y1) - std::max<double>(j, y0);
        for (int i = int(std::floor(x0)); i < int(std::ceil(x1)); ++i) {
            const double dx = std::min<double>(i + 1, x1) - std::max<double>(i, x0);
            sum += dx * dy * image.row(j)[i * components + component];
        }
    }
    return sum / (sx * sy);
}

TEST(Resample, ShrinkingAveragesKnownPatterns) {
    // A fine checkerboard halves to its mean grey.
    Bytes checker;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) checker.push_back((x + y) % 2 ? 255 : 0);
    const ImageRef board = Image::adopt(PixelFormat::Grey8, 4, 4, checker);
    const ImageRef halved = resampleImage(board, 2, 2, nullptr);
    ASSERT_TRUE(halved);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(pixelAt(*halved, x, y), Bytes{128});
    // Three pixels into two: each new pixel covers one and a half old ones.
    // [0, 90, 180] -> (0 + 90 / 2) / 1.5 = 30 and (90 / 2 + 180) / 1.5 = 150.
    EXPECT_EQ(firstRow(*resampleImage(greyRow({0, 90, 180}), 2, 1, nullptr)), (Bytes{30, 150}));
    // A bar one pixel wide in ten, shrunk five times, is a fifth as bright in one pixel.
    EXPECT_EQ(firstRow(*resampleImage(greyRow({0, 0, 250, 0, 0, 0, 0, 0, 0, 0}), 2, 1, nullptr)),
              (Bytes{50, 0}));
}

TEST(Resample, OddSizesMatchAnExactAreaAverage) {
    struct Case {
        int sourceWidth, sourceHeight, width, height;
    };
    // Pictures that lose rows are resampled down the columns first, the others across first.
    for (const Case& c : {Case{37, 23, 5, 7}, Case{101, 3, 10, 1}, Case{64, 64, 63, 17},
                          Case{7, 300, 3, 31}, Case{12, 12, 12, 5}, Case{40, 9, 13, 9}}) {
        for (const PixelFormat format : {PixelFormat::Grey8, PixelFormat::RGB8}) {
            const ImageRef source = randomImage(format, c.sourceWidth, c.sourceHeight, 7);
            const ImageRef scaled = resampleImage(source, c.width, c.height, nullptr);
            ASSERT_TRUE(scaled);
            ASSERT_EQ(scaled->width(), c.width);
            ASSERT_EQ(scaled->height(), c.height);
            const int components = int(bytesPerPixel(format));
            double worst = 0;
            for (int y = 0; y < c.height; ++y)
                for (int x = 0; x < c.width; ++x)
                    for (int k = 0; k < components; ++k) {
                        const double exact = areaAverage(*source, c.width, c.height, x, y, k);
                        worst =
                            std::max(worst, std::abs(exact - scaled->row(y)[x * components + k]));
                    }
            EXPECT_LE(worst, 1.0) << c.sourceWidth << "x" << c.sourceHeight << " to " << c.width
                                  << "x" << c.height;
        }
    }
}

TEST(Resample, OnePixelResultsAreTheMean) {
    const ImageRef source = randomImage(PixelFormat::RGB8, 17, 9, 3);
    const ImageRef one = resampleImage(source, 1, 1, nullptr);
    ASSERT_TRUE(one);
    for (int k = 0; k < 3; ++k) {
        double sum = 0;
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 17; ++x) sum += source->row(y)[x * 3 + k];
        EXPECT_NEAR(one->row(0)[k], sum / (17 * 9), 1.0) << "component " << k;
    }
    // One row and one column.
    const ImageRef column = resampleImage(source, 1, 9, nullptr);
    const ImageRef row = resampleImage(source, 17, 1, nullptr);
    ASSERT_TRUE(column && row);
    EXPECT_NEAR(column->row(4)[0], areaAverage(*source, 1, 9, 0, 4, 0), 1.0);
    EXPECT_NEAR(row->row(0)[16 * 3 + 2], areaAverage(*source, 17, 1, 16, 0, 2), 1.0);
    // A single pixel enlarged fills the picture with itself.
    const ImageRef dot = makeConstant(PixelFormat::RGB8, 1, 1, {9, 99, 199});
    const ImageRef filled = resampleImage(dot, 5, 3, nullptr);
    ASSERT_TRUE(filled);
    EXPECT_EQ(pixelAt(*filled, 4, 2), (Bytes{9, 99, 199}));
}

TEST(Resample, ConstantPicturesStayExactlyConstant) {
    for (const auto& [from, to] : {std::pair{97, 13}, std::pair{13, 97}, std::pair{3, 2},
                                   std::pair{2, 3}, std::pair{1000, 7}, std::pair{5, 5}}) {
        const ImageRef source =
            makeConstant(PixelFormat::BGRA8, from, from + 1, {1, 128, 254, 255});
        const ImageRef scaled = resampleImage(source, to, to + 2, nullptr);
        ASSERT_TRUE(scaled);
        for (int y = 0; y < to + 2; ++y)
            for (int x = 0; x < to; ++x)
                ASSERT_EQ(pixelAt(*scaled, x, y), (Bytes{1, 128, 254, 255}))
                    << from << " to " << to << " at " << x << "," << y;
    }
    for (const auto& [from, to] : {std::pair{97, 13}, std::pair{13, 97}, std::pair{7, 1000}}) {
        for (const auto& axis : {Resampler::axisWeights(from, to)}) {
            for (int i = 0; i < to; ++i) {
                int sum = 0;
                for (size_t k = axis.offset[size_t(i)]; k < axis.offset[size_t(i) + 1]; ++k)
                    sum += axis.weights[k];
                ASSERT_EQ(sum, 1 << Resampler::kWeightBits) << from << " to " << to << " at " << i;
            }
        }
    }
}

TEST(Resample, EnlargingInterpolatesBetweenPixelCentres) {
    // Centres of four new pixels over two old ones lie at -1/4, 1/4, 3/4 and 5/4 of an old pixel.
    EXPECT_EQ(firstRow(*resampleImage(greyRow({0, 255}), 4, 1, nullptr)), (Bytes{0, 64, 191, 255}));
    // Three times larger: the middle copy of each pixel is the pixel itself.
    const Bytes tripled = firstRow(*resampleImage(greyRow({30, 60, 90}), 9, 1, nullptr));
    EXPECT_EQ(tripled, (Bytes{30, 30, 40, 50, 60, 70, 80, 90, 90}));
    // Both axes: a picture enlarged by whole steps keeps every old pixel at its new centre.
    const ImageRef source = randomImage(PixelFormat::Grey8, 6, 4, 11);
    const ImageRef large = resampleImage(source, 18, 12, nullptr);
    ASSERT_TRUE(large);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(pixelAt(*large, 3 * x + 1, 3 * y + 1), pixelAt(*source, x, y));
}

TEST(Resample, RowsResampledInBandsMatchTheWhole) {
    const ImageRef source = randomImage(PixelFormat::BGRA8, 40, 33, 5);
    for (const auto& [width, height] : {std::pair{97, 85}, std::pair{13, 11}}) {
        const Resampler resampler(40, 33, width, height, 4);
        const size_t rowBytes = size_t(width) * 4;
        Bytes whole(rowBytes * size_t(height)), banded(rowBytes * size_t(height), 0xAB);
        resampler.run(source->data(), source->bytesPerRow(), whole.data(), rowBytes);
        for (int first = 0; first < height; first += 4)
            resampler.run(source->data(), source->bytesPerRow(), banded.data(), rowBytes, first,
                          first + 4);
        EXPECT_EQ(whole, banded) << width << "x" << height;
    }
}

TEST(Resample, TransparentPixelsLendNoColour) {
    // Red, opaque, beside a green that is fully transparent: the mean is half-covered red.
    const ImageRef source =
        Image::adopt(PixelFormat::RGBA8, 2, 1, Bytes{255, 0, 0, 255, 0, 255, 0, 0});
    const ImageRef scaled = resampleImage(source, 1, 1, nullptr);
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->pixelFormat(), PixelFormat::BGRA8);
    EXPECT_EQ(pixelAt(*scaled, 0, 0), (Bytes{0, 0, 128, 128}));
}

TEST(Resample, SizesAndErrors) {
    const ImageRef source = randomImage(PixelFormat::Grey8, 10, 10, 1);
    EXPECT_EQ(resampleImage(source, 10, 10, nullptr), source);
    std::string error;
    EXPECT_FALSE(resampleImage(source, 0, 4, &error));
    EXPECT_FALSE(error.empty());
    // Fitting keeps the aspect and the given long side.
    const ImageRef fitted =
        scaleToFit(randomImage(PixelFormat::RGB8, 300, 200, 2), 300, 200, 64, nullptr);
    ASSERT_TRUE(fitted);
    EXPECT_EQ(fitted->width(), 64);
    EXPECT_EQ(fitted->height(), 43);
}

}  // namespace
}  // namespace hx::image

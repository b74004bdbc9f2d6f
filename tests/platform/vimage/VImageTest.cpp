// The vector image operations against sums computed here, pixel by pixel, straight from their
// definitions (edge pixels repeated, sum divided rounding halves up, clamped), on both paths;
// and the vector path against the portable one on large random pictures.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "platform/vimage/detail/Common.h"
#include "platform/vimage/vImage.h"

namespace hx::vimage {
namespace {

using detail::Path;

// A picture with padded rows (the padding filled with a marker the operations must not touch).
struct Picture {
    Picture(size_t w, size_t h, size_t channels, size_t padding = 7)
        : width(w),
          height(h),
          channels(channels),
          rowBytes(w * channels + padding),
          bytes(rowBytes * h, 0xA5) {}
    vImage_Buffer buffer() { return {bytes.data(), height, width, rowBytes}; }
    uint8_t& at(size_t x, size_t y, size_t c = 0) { return bytes[y * rowBytes + x * channels + c]; }
    uint8_t at(size_t x, size_t y, size_t c = 0) const {
        return bytes[y * rowBytes + x * channels + c];
    }
    void fillRandom(std::mt19937& random) {
        for (size_t y = 0; y < height; ++y)
            for (size_t e = 0; e < width * channels; ++e)
                bytes[y * rowBytes + e] = uint8_t(random());
    }
    bool samePixels(const Picture& other) const {
        for (size_t y = 0; y < height; ++y)
            for (size_t e = 0; e < width * channels; ++e)
                if (bytes[y * rowBytes + e] != other.bytes[y * other.rowBytes + e]) return false;
        return true;
    }
    size_t width, height, channels, rowBytes;
    std::vector<uint8_t> bytes;
};

// Rounded to nearest with halves up, then clamped: written out with floating-point-free
// floor division so that negative sums are handled independently of C's truncation.
uint8_t expectedValue(int64_t sum, int64_t divisor) {
    int64_t n = sum + divisor / 2;
    int64_t q = n >= 0 ? n / divisor : -((-n + divisor - 1) / divisor);
    return uint8_t(std::clamp<int64_t>(q, 0, 255));
}

Picture referenceConvolution(const Picture& src, size_t dw, size_t dh, size_t ox, size_t oy,
                             const std::vector<int16_t>& kernel, int kw, int kh, int32_t divisor) {
    Picture out(dw, dh, src.channels);
    for (size_t y = 0; y < dh; ++y)
        for (size_t x = 0; x < dw; ++x)
            for (size_t c = 0; c < src.channels; ++c) {
                int64_t sum = 0;
                for (int j = 0; j < kh; ++j)
                    for (int i = 0; i < kw; ++i) {
                        long sx =
                            std::clamp<long>(long(x + ox) + i - kw / 2, 0, long(src.width) - 1);
                        long sy =
                            std::clamp<long>(long(y + oy) + j - kh / 2, 0, long(src.height) - 1);
                        sum +=
                            int64_t(kernel[size_t(j * kw + i)]) * src.at(size_t(sx), size_t(sy), c);
                    }
                out.at(x, y, c) = expectedValue(sum, divisor);
            }
    return out;
}

class PathTest : public ::testing::TestWithParam<Path> {
  protected:
    void SetUp() override {
        if (GetParam() == Path::Vector && !detail::vectorPathAvailable())
            GTEST_SKIP() << "this processor has no AVX2; the portable path is tested instead";
        detail::forcePath(GetParam());
    }
    void TearDown() override { detail::clearForcedPath(); }
};

INSTANTIATE_TEST_SUITE_P(BothPaths, PathTest, ::testing::Values(Path::Portable, Path::Vector),
                         [](const auto& info) {
                             return info.param == Path::Portable ? "Portable" : "Vector";
                         });

// The kernels the editing extension uses, with divisors that are not their sums.
std::vector<int16_t> sharpenKernel() {
    std::vector<int16_t> k(25, 0);
    k[12] = 5;
    k[7] = k[11] = k[13] = k[17] = -1;
    return k;
}

std::vector<int16_t> softenKernel9() {
    const int16_t rows[5][9] = {{0, 0, 1, 5, 8, 5, 1, 0, 0},
                                {0, 3, 34, 153, 253, 153, 34, 3, 0},
                                {1, 34, 416, 1866, 3077, 1866, 416, 34, 1},
                                {5, 153, 1866, 8364, 13790, 8364, 1866, 153, 5},
                                {8, 253, 3077, 13790, 22737, 13790, 3077, 253, 8}};
    std::vector<int16_t> k;
    for (int j = 0; j < 9; ++j) {
        const int16_t* row = rows[j < 5 ? j : 8 - j];
        k.insert(k.end(), row, row + 9);
    }
    return k;
}

TEST_P(PathTest, ConvolutionMatchesTheSumsOfItsDefinition) {
    std::mt19937 random(7);
    struct Case {
        int kw, kh;
        std::vector<int16_t> kernel;
        int32_t divisor;
    };
    std::vector<Case> cases = {{5, 5, sharpenKernel(), 1}, {9, 9, softenKernel9(), 142857}};
    // Asymmetric kernels of every shape, with negative and extreme weights.
    for (auto [kw, kh] : {std::pair{1, 1}, {3, 1}, {1, 9}, {3, 5}, {7, 3}, {9, 9}}) {
        std::vector<int16_t> k(size_t(kw * kh));
        for (auto& v : k) v = int16_t(int(random() % 401) - 200);
        k[0] = -32768;
        k.back() = 32767;
        cases.push_back({kw, kh, k, int32_t(1 + random() % 999)});
    }
    for (size_t channels : {size_t(1), size_t(4)}) {
        for (const Case& c : cases) {
            // Widths around the 16-element strips, including pictures smaller than the kernel.
            for (auto [w, h] : {std::pair<size_t, size_t>{1, 1}, {3, 2}, {17, 5}, {40, 23}}) {
                Picture src(w, h, channels);
                src.fillRandom(random);
                Picture dest(w, h, channels);
                auto sb = src.buffer(), db = dest.buffer();
                vImage_Error error =
                    channels == 1 ? vImageConvolve_Planar8(&sb, &db, nullptr, 0, 0, c.kernel.data(),
                                                           uint32_t(c.kh), uint32_t(c.kw),
                                                           c.divisor, 0, kvImageEdgeExtend)
                                  : vImageConvolve_ARGB8888(
                                        &sb, &db, nullptr, 0, 0, c.kernel.data(), uint32_t(c.kh),
                                        uint32_t(c.kw), c.divisor, nullptr, kvImageEdgeExtend);
                ASSERT_EQ(error, kvImageNoError);
                Picture expected =
                    referenceConvolution(src, w, h, 0, 0, c.kernel, c.kw, c.kh, c.divisor);
                EXPECT_TRUE(dest.samePixels(expected)) << c.kw << "x" << c.kh << " on " << w << "x"
                                                       << h << ", " << channels << " channels";
                // Row padding is never written.
                EXPECT_EQ(dest.bytes[w * channels], 0xA5);
            }
        }
    }
}

TEST_P(PathTest, ConvolutionOfARegionExtendsTheWholeSourcesEdges) {
    std::mt19937 random(11);
    Picture src(30, 20, 4);
    src.fillRandom(random);
    Picture dest(12, 9, 4);
    auto sb = src.buffer(), db = dest.buffer();
    const auto kernel = softenKernel9();
    ASSERT_EQ(vImageConvolve_ARGB8888(&sb, &db, nullptr, 18, 11, kernel.data(), 9, 9, 142857,
                                      nullptr, kvImageEdgeExtend),
              kvImageNoError);
    EXPECT_TRUE(dest.samePixels(referenceConvolution(src, 12, 9, 18, 11, kernel, 9, 9, 142857)));
}

TEST_P(PathTest, ConstantPicturesShowTheRoundingOfDivisorsThatAreNotTheKernelsSum) {
    // 255 under the 9 x 9 kernel: 255 * 142853 / 142857 = 254.993 rounds to 255; under the
    // preview's 5 x 5 kernel 255 * 672 / 674 = 254.24 rounds to 254.
    const int16_t preview[25] = {2,  9,  15, 9,  2,  9,  40, 66, 40, 9,  15, 66, 108,
                                 66, 15, 9,  40, 66, 40, 9,  2,  9,  15, 9,  2};
    const auto soften = softenKernel9();
    Picture src(20, 20, 1, 0);
    std::fill(src.bytes.begin(), src.bytes.end(), 255);
    Picture dest(20, 20, 1, 0);
    auto sb = src.buffer(), db = dest.buffer();
    ASSERT_EQ(vImageConvolve_Planar8(&sb, &db, nullptr, 0, 0, soften.data(), 9, 9, 142857, 0,
                                     kvImageEdgeExtend),
              kvImageNoError);
    EXPECT_EQ(dest.at(0, 0), 255);
    EXPECT_EQ(dest.at(10, 10), 255);
    ASSERT_EQ(
        vImageConvolve_Planar8(&sb, &db, nullptr, 0, 0, preview, 5, 5, 674, 0, kvImageEdgeExtend),
        kvImageNoError);
    EXPECT_EQ(dest.at(0, 0), 254);
    EXPECT_EQ(dest.at(19, 19), 254);
}

TEST_P(PathTest, MatrixMultiplyMatchesItsDefinition) {
    std::mt19937 random(3);
    for (int round = 0; round < 20; ++round) {
        int16_t matrix[16];
        for (auto& m : matrix) m = int16_t(int(random() % 2001) - 1000);
        if (round == 0) matrix[0] = -32768, matrix[15] = 32767;
        int16_t pre[4];
        int32_t post[4];
        for (auto& p : pre) p = int16_t(int(random() % 101) - 50);
        for (auto& p : post) p = int32_t(random() % 20001) - 10000;
        const bool biased = round % 2 == 1;
        const int32_t divisor = round == 2 ? 1 : int32_t(1 + random() % 700);
        Picture src(37, 5, 4);
        src.fillRandom(random);
        Picture dest(37, 5, 4);
        auto sb = src.buffer(), db = dest.buffer();
        ASSERT_EQ(vImageMatrixMultiply_ARGB8888(&sb, &db, matrix, divisor, biased ? pre : nullptr,
                                                biased ? post : nullptr, kvImageNoFlags),
                  kvImageNoError);
        for (size_t y = 0; y < 5; ++y)
            for (size_t x = 0; x < 37; ++x)
                for (int j = 0; j < 4; ++j) {
                    int64_t sum = biased ? post[j] : 0;
                    for (int i = 0; i < 4; ++i)
                        sum += (int64_t(src.at(x, y, size_t(i))) + (biased ? pre[i] : 0)) *
                               matrix[i * 4 + j];
                    ASSERT_EQ(dest.at(x, y, size_t(j)), expectedValue(sum, divisor))
                        << "round " << round << " pixel " << x << "," << y << " channel " << j;
                }
    }
}

TEST_P(PathTest, MatrixToOneChannelMatchesItsDefinition) {
    std::mt19937 random(13);
    for (int round = 0; round < 12; ++round) {
        int16_t column[4];
        for (auto& m : column) m = int16_t(int(random() % 4001) - 2000);
        int16_t pre[4];
        for (auto& p : pre) p = int16_t(int(random() % 61) - 30);
        const int32_t post = int32_t(random() % 4001) - 2000;
        const bool biased = round % 3 == 0;
        const int32_t divisor = int32_t(1 + random() % 400);
        // Widths below, at and past the eight-pixel strides.
        const size_t w = 3 + size_t(round) * 3;
        Picture src(w, 4, 4);
        src.fillRandom(random);
        Picture dest(w, 4, 1);
        auto sb = src.buffer(), db = dest.buffer();
        ASSERT_EQ(vImageMatrixMultiply_ARGB8888ToPlanar8(&sb, &db, column, divisor,
                                                         biased ? pre : nullptr, biased ? post : 0,
                                                         kvImageNoFlags),
                  kvImageNoError);
        for (size_t y = 0; y < 4; ++y)
            for (size_t x = 0; x < w; ++x) {
                int64_t sum = biased ? post : 0;
                for (size_t i = 0; i < 4; ++i)
                    sum += (int64_t(src.at(x, y, i)) + (biased ? pre[i] : 0)) * column[i];
                ASSERT_EQ(dest.at(x, y), expectedValue(sum, divisor)) << "round " << round;
            }
        EXPECT_EQ(dest.bytes[w], 0xA5);  // padding untouched
    }
    Picture src(4, 4, 4), wrong(5, 4, 1);
    auto sb = src.buffer(), wb = wrong.buffer();
    const int16_t column[4] = {1, 1, 1, 1};
    EXPECT_EQ(vImageMatrixMultiply_ARGB8888ToPlanar8(&sb, &wb, column, 4, nullptr, 0, 0),
              kvImageBufferSizeMismatch);
}

TEST_P(PathTest, MatrixAndLookupMayWorkInPlace) {
    std::mt19937 random(5);
    Picture picture(21, 3, 4);
    picture.fillRandom(random);
    const Picture original = picture;
    const int16_t swap[16] = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1};  // 0 <-> 2
    auto b = picture.buffer();
    ASSERT_EQ(vImageMatrixMultiply_ARGB8888(&b, &b, swap, 1, nullptr, nullptr, 0), kvImageNoError);
    uint8_t invert[256];
    for (int i = 0; i < 256; ++i) invert[i] = uint8_t(255 - i);
    ASSERT_EQ(vImageTableLookUp_ARGB8888(&b, &b, nullptr, invert, nullptr, invert, 0),
              kvImageNoError);
    for (size_t y = 0; y < 3; ++y)
        for (size_t x = 0; x < 21; ++x) {
            EXPECT_EQ(picture.at(x, y, 0), original.at(x, y, 2));
            EXPECT_EQ(picture.at(x, y, 1), 255 - original.at(x, y, 1));
            EXPECT_EQ(picture.at(x, y, 2), original.at(x, y, 0));
            EXPECT_EQ(picture.at(x, y, 3), 255 - original.at(x, y, 3));
        }
    Picture grey(13, 4, 1);
    grey.fillRandom(random);
    const Picture before = grey;
    auto gb = grey.buffer();
    ASSERT_EQ(vImageTableLookUp_Planar8(&gb, &gb, invert, 0), kvImageNoError);
    for (size_t y = 0; y < 4; ++y)
        for (size_t x = 0; x < 13; ++x) EXPECT_EQ(grey.at(x, y), 255 - before.at(x, y));
}

// A 3 x 2 picture whose pixels are numbered 1 to 6 row by row:  1 2 3 / 4 5 6.
TEST(VImageGeometry, QuarterTurnsAndReflectionsMoveEveryPixelWhereItBelongs) {
    for (size_t channels : {size_t(1), size_t(4)}) {
        Picture src(3, 2, channels);
        for (size_t y = 0; y < 2; ++y)
            for (size_t x = 0; x < 3; ++x)
                for (size_t c = 0; c < channels; ++c)
                    src.at(x, y, c) = uint8_t(1 + y * 3 + x + 10 * c);
        auto rows = [&](Picture& p) {
            std::vector<std::vector<int>> out(p.height);
            for (size_t y = 0; y < p.height; ++y)
                for (size_t x = 0; x < p.width; ++x) {
                    out[y].push_back(p.at(x, y));
                    for (size_t c = 1; c < channels; ++c)
                        EXPECT_EQ(p.at(x, y, c), p.at(x, y) + 10 * c);
                }
            return out;
        };
        auto sb = src.buffer();
        auto rotated = [&](uint8_t constant) {
            const bool quarter = constant % 2 == 1;
            Picture dest(quarter ? 2 : 3, quarter ? 3 : 2, channels);
            auto db = dest.buffer();
            EXPECT_EQ(channels == 1 ? vImageRotate90_Planar8(&sb, &db, constant, 0, 0)
                                    : vImageRotate90_ARGB8888(&sb, &db, constant, nullptr, 0),
                      kvImageNoError);
            return rows(dest);
        };
        using R = std::vector<std::vector<int>>;
        EXPECT_EQ(rotated(kRotate0DegreesClockwise), (R{{1, 2, 3}, {4, 5, 6}}));
        EXPECT_EQ(rotated(kRotate90DegreesCounterClockwise), (R{{3, 6}, {2, 5}, {1, 4}}));
        EXPECT_EQ(rotated(kRotate180DegreesClockwise), (R{{6, 5, 4}, {3, 2, 1}}));
        EXPECT_EQ(rotated(kRotate90DegreesClockwise), (R{{4, 1}, {5, 2}, {6, 3}}));
        Picture dest(3, 2, channels);
        auto db = dest.buffer();
        ASSERT_EQ(channels == 1 ? vImageHorizontalReflect_Planar8(&sb, &db, 0)
                                : vImageHorizontalReflect_ARGB8888(&sb, &db, 0),
                  kvImageNoError);
        EXPECT_EQ(rows(dest), (R{{3, 2, 1}, {6, 5, 4}}));
        ASSERT_EQ(channels == 1 ? vImageVerticalReflect_Planar8(&sb, &db, 0)
                                : vImageVerticalReflect_ARGB8888(&sb, &db, 0),
                  kvImageNoError);
        EXPECT_EQ(rows(dest), (R{{4, 5, 6}, {1, 2, 3}}));
    }
}

TEST(VImageGeometry, LargeQuarterTurnsSplitIntoBandsStillMatchThePixelRule) {
    std::mt19937 random(9);
    Picture src(700, 413, 4, 0);
    src.fillRandom(random);
    Picture dest(413, 700, 4, 0);
    auto sb = src.buffer(), db = dest.buffer();
    ASSERT_EQ(vImageRotate90_ARGB8888(&sb, &db, kRotate90DegreesClockwise, nullptr, 0),
              kvImageNoError);
    for (size_t y = 0; y < 700; y += 7)
        for (size_t x = 0; x < 413; x += 5)
            for (size_t c = 0; c < 4; ++c) ASSERT_EQ(dest.at(x, y, c), src.at(y, 412 - x, c));
}

TEST(VImageErrors, BadShapesKernelsAndFlagsAreRefusedBeforeAnyWork) {
    Picture src(8, 8, 4), dest(8, 8, 4), small(4, 4, 4);
    auto sb = src.buffer(), db = dest.buffer(), tb = small.buffer();
    const int16_t k3[9] = {0, 0, 0, 0, 1, 0, 0, 0, 0};
    const int16_t k11[121] = {};
    EXPECT_EQ(vImageConvolve_ARGB8888(&sb, &db, nullptr, 0, 0, k3, 3, 3, 1, nullptr, 0),
              kvImageInvalidEdgeStyle);
    EXPECT_EQ(
        vImageConvolve_ARGB8888(&sb, &db, nullptr, 0, 0, k3, 2, 3, 1, nullptr, kvImageEdgeExtend),
        kvImageInvalidKernelSize);
    EXPECT_EQ(vImageConvolve_ARGB8888(&sb, &db, nullptr, 0, 0, k11, 11, 11, 1, nullptr,
                                      kvImageEdgeExtend),
              kvImageInvalidKernelSize);
    EXPECT_EQ(
        vImageConvolve_ARGB8888(&sb, &db, nullptr, 0, 0, k3, 3, 3, 0, nullptr, kvImageEdgeExtend),
        kvImageInvalidParameter);
    EXPECT_EQ(
        vImageConvolve_ARGB8888(&sb, &db, nullptr, 2, 0, k3, 3, 3, 1, nullptr, kvImageEdgeExtend),
        kvImageRoiLargerThanInputBuffer);
    EXPECT_EQ(
        vImageConvolve_ARGB8888(&sb, &tb, nullptr, 9, 0, k3, 3, 3, 1, nullptr, kvImageEdgeExtend),
        kvImageInvalidOffset_X);
    EXPECT_EQ(
        vImageConvolve_ARGB8888(&sb, &sb, nullptr, 0, 0, k3, 3, 3, 1, nullptr, kvImageEdgeExtend),
        kvImageInvalidParameter);
    EXPECT_EQ(vImageConvolve_ARGB8888(&sb, &db, nullptr, 0, 0, nullptr, 3, 3, 1, nullptr,
                                      kvImageEdgeExtend),
              kvImageNullPointerArgument);
    EXPECT_EQ(vImageConvolve_ARGB8888(&sb, &db, nullptr, 0, 0, k3, 3, 3, 1, nullptr,
                                      kvImageEdgeExtend | 0x1000),
              kvImageUnknownFlagsBit);
    EXPECT_EQ(vImageRotate90_ARGB8888(&sb, &tb, kRotate90DegreesClockwise, nullptr, 0),
              kvImageBufferSizeMismatch);
    EXPECT_EQ(vImageRotate90_ARGB8888(&sb, &db, 4, nullptr, 0), kvImageInvalidParameter);
    EXPECT_EQ(vImageHorizontalReflect_ARGB8888(&sb, &tb, 0), kvImageBufferSizeMismatch);
    vImage_Buffer shortRows{src.bytes.data(), 8, 8, 31};
    EXPECT_EQ(vImageTableLookUp_ARGB8888(&shortRows, &db, nullptr, nullptr, nullptr, nullptr, 0),
              kvImageInvalidParameter);
    vImage_Buffer empty{nullptr, 8, 8, 32};
    EXPECT_EQ(vImageTableLookUp_Planar8(&empty, &db, nullptr, 0), kvImageNullPointerArgument);
    const int16_t m[16] = {};
    const int32_t huge[4] = {1 << 30, 0, 0, 1 << 30 | 1};
    EXPECT_EQ(vImageMatrixMultiply_ARGB8888(&sb, &db, m, 1, nullptr, huge, 0),
              kvImageInvalidParameter);
    EXPECT_STRNE(vImageErrorDescription(kvImageInvalidKernelSize), "unknown vImage error");
    // Nothing above wrote a pixel.
    EXPECT_TRUE(
        std::all_of(dest.bytes.begin(), dest.bytes.end(), [](uint8_t b) { return b == 0xA5; }));
}

// Large random pictures (several bands on the pool, long rows with a ragged end) give the same
// bits on the vector and the portable path.
TEST(VImagePaths, VectorAndPortablePathsAgreeBitForBitOnLargeRandomPictures) {
    if (!detail::vectorPathAvailable()) GTEST_SKIP() << "no AVX2: only the portable path runs here";
    std::mt19937 random(1234);
    auto run = [&](Path path, auto&& operation) {
        detail::forcePath(path);
        auto result = operation();
        detail::clearForcedPath();
        return result;
    };
    for (int round = 0; round < 4; ++round) {
        const size_t w = 501 + random() % 300, h = 300 + random() % 200;
        const size_t channels = round % 2 ? 4 : 1;
        Picture src(w, h, channels, 3);
        src.fillRandom(random);
        const int kw = 1 + 2 * int(random() % 5), kh = 1 + 2 * int(random() % 5);
        std::vector<int16_t> kernel(size_t(kw * kh));
        for (auto& v : kernel) v = int16_t(int(random() % 65536) - 32768);
        if (round >= 2) kernel = round == 2 ? softenKernel9() : sharpenKernel();
        const int ks = round == 2 ? 9 : (round == 3 ? 5 : 0);
        const uint32_t kwu = ks ? uint32_t(ks) : uint32_t(kw),
                       khu = ks ? uint32_t(ks) : uint32_t(kh);
        const int32_t divisor = round == 2 ? 142857 : int32_t(1 + random() % 100000);
        int16_t matrix[16];
        for (auto& m : matrix) m = int16_t(int(random() % 65536) - 32768);
        auto convolveAndMultiply = [&] {
            Picture dest(w, h, channels, 5);
            auto sb = src.buffer(), db = dest.buffer();
            EXPECT_EQ(channels == 1
                          ? vImageConvolve_Planar8(&sb, &db, nullptr, 0, 0, kernel.data(), khu, kwu,
                                                   divisor, 0, kvImageEdgeExtend)
                          : vImageConvolve_ARGB8888(&sb, &db, nullptr, 0, 0, kernel.data(), khu,
                                                    kwu, divisor, nullptr, kvImageEdgeExtend),
                      kvImageNoError);
            if (channels == 4) {
                Picture multiplied(w, h, 4, 1);
                auto mb = multiplied.buffer();
                EXPECT_EQ(vImageMatrixMultiply_ARGB8888(&sb, &mb, matrix, divisor % 1000 + 1,
                                                        nullptr, nullptr, 0),
                          kvImageNoError);
                Picture grey(w, h, 1, 2);
                auto gb = grey.buffer();
                EXPECT_EQ(vImageMatrixMultiply_ARGB8888ToPlanar8(&sb, &gb, matrix,
                                                                 divisor % 999 + 1, nullptr, 0, 0),
                          kvImageNoError);
                // The one-channel result is column 0 of a four-channel multiply of its own.
                int16_t firstColumn[16] = {};
                for (int i = 0; i < 4; ++i) firstColumn[i * 4] = matrix[i];
                Picture four(w, h, 4, 1);
                auto fb = four.buffer();
                EXPECT_EQ(vImageMatrixMultiply_ARGB8888(&sb, &fb, firstColumn, divisor % 999 + 1,
                                                        nullptr, nullptr, 0),
                          kvImageNoError);
                for (size_t y = 0; y < h; y += 7)
                    for (size_t x = 0; x < w; ++x) EXPECT_EQ(grey.at(x, y), four.at(x, y, 0));
                return std::pair(dest, multiplied);
            }
            return std::pair(dest, dest);
        };
        auto [vectorConvolved, vectorMultiplied] = run(Path::Vector, convolveAndMultiply);
        auto [portableConvolved, portableMultiplied] = run(Path::Portable, convolveAndMultiply);
        EXPECT_TRUE(vectorConvolved.samePixels(portableConvolved))
            << "round " << round << ": " << kwu << "x" << khu << " on " << w << "x" << h;
        EXPECT_TRUE(vectorMultiplied.samePixels(portableMultiplied)) << "round " << round;
    }
}

}  // namespace
}  // namespace hx::vimage

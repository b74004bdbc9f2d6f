// The extension's renderer against its arithmetic worked out here pixel by pixel on small
// pictures: the grey mix in 8.8 fixed point on BGRA bytes, the tone table, the kernels with
// their divisors and repeated edges, the turn upright and the grey spread to four bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "core/film/ToneTables.h"
#include "editing/FilterRender.h"
#include "editing/PhotoEditingViewController.h"
#include "platform/image/Image.h"
#include "platform/vimage/detail/Common.h"

namespace hx::editing {
namespace {

using image::PixelFormat;

// The grid rows as this test knows them: tone table, weights of blue, green, red, and which
// kernel (0 none, 1 sharpen, 2 soften).
struct RowFacts {
    const film::ToneTable* tone;
    int weights[3];
    int kernel;
};
const RowFacts kRows[10] = {
    {nullptr, {0, 0, 0}, 0},
    {&film::toneTableStrongS, {20, 155, 78}, 0},
    {&film::toneTableLinear, {20, 155, 78}, 0},
    {&film::toneTableSoft, {-55, 129, 180}, 0},
    {&film::toneTableStrongS, {-55, 104, 206}, 1},
    {&film::toneTableLinear, {-234, 410, 180}, 1},
    {&film::toneTableHard, {20, 155, 78}, 1},
    {&film::toneTableDark, {-55, 129, 180}, 2},
    {&film::toneTableStrongS, {20, 155, 78}, 2},
    {&film::toneTableLifted, {20, 155, 78}, 2},
};

// A plane of int values with repeated edges.
struct Plane {
    int w, h;
    std::vector<int> v;
    int at(int x, int y) const {
        return v[size_t(std::clamp(y, 0, h - 1) * w + std::clamp(x, 0, w - 1))];
    }
};

int divideRounded(long long sum, long long divisor) {
    long long n = sum + divisor / 2;
    long long q = n >= 0 ? n / divisor : -((-n + divisor - 1) / divisor);
    return int(std::clamp<long long>(q, 0, 255));
}

Plane convolve(const Plane& p, int kernel, bool preview) {
    std::vector<int> k;
    int side = 5;
    long long divisor = 1;
    if (kernel == 1) {
        k.assign(25, 0);
        k[12] = 5, k[7] = k[11] = k[13] = k[17] = -1;
    } else if (preview) {
        const int row[5][5] = {{2, 9, 15, 9, 2},
                               {9, 40, 66, 40, 9},
                               {15, 66, 108, 66, 15},
                               {9, 40, 66, 40, 9},
                               {2, 9, 15, 9, 2}};
        for (auto& r : row) k.insert(k.end(), r, r + 5);
        divisor = 674;
    } else {
        const int rows[5][9] = {{0, 0, 1, 5, 8, 5, 1, 0, 0},
                                {0, 3, 34, 153, 253, 153, 34, 3, 0},
                                {1, 34, 416, 1866, 3077, 1866, 416, 34, 1},
                                {5, 153, 1866, 8364, 13790, 8364, 1866, 153, 5},
                                {8, 253, 3077, 13790, 22737, 13790, 3077, 253, 8}};
        for (int j = 0; j < 9; ++j)
            k.insert(k.end(), rows[j < 5 ? j : 8 - j], rows[j < 5 ? j : 8 - j] + 9);
        side = 9;
        divisor = 142857;
    }
    Plane out{p.w, p.h, std::vector<int>(p.v.size())};
    const int r = side / 2;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            long long sum = 0;
            for (int j = 0; j < side; ++j)
                for (int i = 0; i < side; ++i)
                    sum += k[size_t(j * side + i)] * p.at(x + i - r, y + j - r);
            out.v[size_t(y * p.w + x)] = divideRounded(sum, divisor);
        }
    return out;
}

// Where upright pixel (x, y) comes from in the stored w x h picture, for each Exif orientation.
std::pair<int, int> storedPosition(int orientation, int x, int y, int w, int h) {
    switch (orientation) {
        case 2:
            return {w - 1 - x, y};
        case 3:
            return {w - 1 - x, h - 1 - y};
        case 4:
            return {x, h - 1 - y};
        case 5:
            return {y, x};
        case 6:
            return {y, h - 1 - x};
        case 7:
            return {w - 1 - y, h - 1 - x};
        case 8:
            return {w - 1 - y, x};
        default:
            return {x, y};
    }
}

// The expected grey of every stored pixel after the film; `channels` holds blue, green and red
// planes of the source, or one grey plane.
Plane expectedGrey(const std::vector<Plane>& channels, int row, bool preview) {
    const RowFacts& facts = kRows[row];
    const Plane& first = channels[0];
    Plane grey{first.w, first.h, std::vector<int>(first.v.size())};
    for (size_t i = 0; i < grey.v.size(); ++i) {
        int value;
        if (channels.size() == 1) {
            value = channels[0].v[i];
        } else {
            long long sum = 0;
            for (int c = 0; c < 3; ++c) sum += facts.weights[c] * channels[size_t(c)].v[i];
            value = divideRounded(sum, 256);
        }
        grey.v[i] = row == 0 ? value : (*facts.tone)[size_t(value)];
    }
    if (row != 0 && facts.kernel != 0) grey = convolve(grey, facts.kernel, preview);
    return grey;
}

// Checks an upright BGRA result against the stored planes after the film. `same` says whether
// the result's three colour bytes are all the one expected value (a film) or the channels'
// own (no film on a colour source).
void expectUpright(const image::Image& result, const std::vector<Plane>& expected, int orientation,
                   const std::string& what) {
    const int w = expected[0].w, h = expected[0].h;
    const bool swap = orientation >= 5 && orientation <= 8;
    ASSERT_EQ(result.pixelFormat(), PixelFormat::BGRA8) << what;
    ASSERT_EQ(result.width(), swap ? h : w) << what;
    ASSERT_EQ(result.height(), swap ? w : h) << what;
    for (int y = 0; y < result.height(); ++y)
        for (int x = 0; x < result.width(); ++x) {
            auto [sx, sy] = storedPosition(orientation, x, y, w, h);
            const uint8_t* p = result.row(y) + 4 * x;
            for (int c = 0; c < 3; ++c) {
                const Plane& plane = expected[expected.size() == 1 ? 0 : size_t(c)];
                ASSERT_EQ(p[c], plane.at(sx, sy))
                    << what << ": upright pixel " << x << "," << y << " byte " << c;
            }
            ASSERT_EQ(p[3], 255) << what;
        }
}

// An RGB picture w x h with random bytes, and its blue, green and red planes.
image::ImageRef randomColour(int w, int h, std::mt19937& random, std::vector<Plane>& planes) {
    std::vector<uint8_t> rgb(size_t(w * h * 3));
    for (auto& b : rgb) b = uint8_t(random());
    planes.assign(3, Plane{w, h, std::vector<int>(size_t(w * h))});
    for (int i = 0; i < w * h; ++i) {
        planes[0].v[size_t(i)] = rgb[size_t(i * 3 + 2)];  // blue
        planes[1].v[size_t(i)] = rgb[size_t(i * 3 + 1)];
        planes[2].v[size_t(i)] = rgb[size_t(i * 3)];  // red
    }
    return image::Image::adopt(PixelFormat::RGB8, w, h, std::move(rgb));
}

TEST(FilterRender, EveryRowOfAColourPhotoFollowsTheMixToneAndKernelArithmetic) {
    std::mt19937 random(42);
    std::vector<Plane> planes;
    // Wider than the vector strips, with a ragged end, smaller than nothing.
    auto source = randomColour(37, 13, random, planes);
    for (int row = 0; row < 10; ++row)
        for (bool preview : {false, true}) {
            std::string what = "row " + std::to_string(row) + (preview ? " preview" : " final");
            auto result = renderFilter(*source, row, preview, 1);
            ASSERT_TRUE(result) << what;
            if (row == 0) {
                expectUpright(*result, planes, 1, what);
            } else {
                expectUpright(*result, {expectedGrey(planes, row, preview)}, 1, what);
            }
        }
}

// Taller than the rows mixed at a time and split over both threads: every chunk lands where
// it belongs.
TEST(FilterRender, ATallPhotoIsMixedRowByRowIntoThePlaceOfEveryRow) {
    std::mt19937 random(77);
    std::vector<Plane> planes;
    auto source = randomColour(45, 133, random, planes);
    // On the vector path where the machine has one, and on the portable one.
    for (auto path : {vimage::detail::Path::Vector, vimage::detail::Path::Portable}) {
        vimage::detail::forcePath(path);
        for (int row : {3, 5, 8}) {
            auto result = renderFilter(*source, row, false, 3);
            ASSERT_TRUE(result);
            expectUpright(*result, {expectedGrey(planes, row, false)}, 3,
                          "tall, row " + std::to_string(row) +
                              (path == vimage::detail::Path::Vector ? ", vector" : ", portable"));
        }
    }
    vimage::detail::clearForcedPath();
}

TEST(FilterRender, AGreyPhotoIsMappedAndConvolvedOnItsOneChannel) {
    std::mt19937 random(8);
    const int w = 23, h = 9;
    std::vector<uint8_t> bytes(size_t(w * h));
    for (auto& b : bytes) b = uint8_t(random());
    Plane grey{w, h, std::vector<int>(bytes.begin(), bytes.end())};
    auto source = image::Image::adopt(PixelFormat::Grey8, w, h, std::move(bytes));
    for (int row = 0; row < 10; ++row) {
        auto result = renderFilter(*source, row, false, 1);
        ASSERT_TRUE(result);
        expectUpright(*result, {expectedGrey({grey}, row, false)}, 1,
                      "grey row " + std::to_string(row));
    }
}

TEST(FilterRender, TheEightOrientationsTurnThePictureUprightAndSwapSidesForFiveToEight) {
    std::mt19937 random(3);
    std::vector<Plane> planes;
    auto colour = randomColour(7, 4, random, planes);
    std::vector<uint8_t> bytes(7 * 4);
    for (auto& b : bytes) b = uint8_t(random());
    Plane grey{7, 4, std::vector<int>(bytes.begin(), bytes.end())};
    auto greySource = image::Image::adopt(PixelFormat::Grey8, 7, 4, std::move(bytes));
    for (int orientation = 0; orientation <= 9; ++orientation) {
        const std::string what = "orientation " + std::to_string(orientation);
        auto turned = renderFilter(*colour, 0, false, orientation);
        ASSERT_TRUE(turned);
        expectUpright(*turned, planes, orientation, what);
        // A grey photo with a film, turned: h wide and w high for 5 to 8.
        auto greyTurned = renderFilter(*greySource, 8, false, orientation);
        ASSERT_TRUE(greyTurned);
        expectUpright(*greyTurned, {expectedGrey({grey}, 8, false)}, orientation, "grey " + what);
    }
    // Orientations 5 and 7 give different pictures, each the other turned by a half turn.
    auto five = renderFilter(*colour, 0, false, 5);
    auto seven = renderFilter(*colour, 0, false, 7);
    bool differ = false;
    for (int y = 0; y < five->height(); ++y)
        for (int x = 0; x < five->width(); ++x)
            for (int c = 0; c < 4; ++c) {
                const uint8_t a = five->row(y)[4 * x + c];
                differ = differ || a != seven->row(y)[4 * x + c];
                ASSERT_EQ(a, seven->row(five->height() - 1 - y)[4 * (five->width() - 1 - x) + c]);
            }
    EXPECT_TRUE(differ);
}

// A colour photo whose row length equals its height (4 pixels of 3 bytes, 12 rows) must not be
// read as grey; nor must a BGRA one whose padded rows hold a width's worth of grey bytes.
TEST(FilterRender, TheGreyDecisionComesFromThePixelFormatAndRowPaddingIsHonoured) {
    std::mt19937 random(21);
    std::vector<Plane> planes;
    auto tall = randomColour(4, 12, random, planes);
    ASSERT_EQ(tall->bytesPerRow(), size_t(tall->height()));
    auto result = renderFilter(*tall, 1, false, 1);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->width(), 4);
    EXPECT_EQ(result->height(), 12);
    expectUpright(*result, {expectedGrey(planes, 1, false)}, 1, "colour 4x12");

    // BGRA8 with 9 bytes of padding at the end of each row (filled with a pattern that would
    // show up in the picture if the stride were ignored).
    const int w = 5, h = 6;
    const size_t stride = size_t(w) * 4 + 9;
    std::vector<uint8_t> bgra(stride * size_t(h), 0xEE);
    std::vector<Plane> bgr(3, Plane{w, h, std::vector<int>(size_t(w * h))});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c) {
                const uint8_t value = c == 3 ? 255 : uint8_t(random());
                bgra[size_t(y) * stride + size_t(x * 4 + c)] = value;
                if (c < 3) bgr[size_t(c)].v[size_t(y * w + x)] = value;
            }
    auto padded = image::Image::adopt(PixelFormat::BGRA8, w, h, std::move(bgra), stride);
    ASSERT_TRUE(padded);
    for (int row : {0, 5, 9})
        expectUpright(*renderFilter(*padded, row, false, 6),
                      row == 0 ? bgr : std::vector<Plane>{expectedGrey(bgr, row, false)}, 6,
                      "padded BGRA row " + std::to_string(row));
}

TEST(FilterRender, TheGridsOrientationMappingFollowsTheImageOrientations) {
    const int expected[8] = {1, 3, 8, 6, 2, 4, 5, 7};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(PhotoEditingViewController::orientationFromImageOrientation(i), expected[i]);
    EXPECT_EQ(PhotoEditingViewController::orientationFromImageOrientation(8), 0);
    EXPECT_EQ(PhotoEditingViewController::orientationFromImageOrientation(-1), 0);
}

}  // namespace
}  // namespace hx::editing

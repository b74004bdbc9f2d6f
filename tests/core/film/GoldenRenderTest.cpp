// Every film on the built-in sample photo, compared with stored renders (golden/film_N.png).
// A pixel may differ by 1 in each channel; anything more fails and leaves the actual render
// and a difference image (differences × 32, white where a channel is off by more than 7)
// under the build folder's golden-failures/.
//
// After an intended change of a film's look, look at the new renders and approve them:
//     HALIDEX_APPROVE_GOLDEN=1 build/tests/core/film/hx_film_tests --gtest_filter='GoldenRender*'
// which rewrites the stored images in the source tree; commit them with the change.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/film/FilmRenderer.h"
#include "platform/image/PixelConversion.h"
#include "platform/image/png/PngCodec.h"

namespace {

namespace fs = std::filesystem;
using namespace hx;

// The sample reduced 12 times: 1536 × 1152 becomes 128 × 96, small enough to store.
constexpr int kReduction = 12;

// Box average of each 12 × 12 block, with plain integer arithmetic so the input to the
// renders never depends on the image layer's resampling.
image::ImageRef reducedSample() {
    image::ImageRef sample =
        image::convert(image::readPng(std::string(HX_TEST_RESOURCES_DIR) + "/samples/sample.png"),
                       image::PixelFormat::RGB8);
    if (!sample) return nullptr;
    const int w = sample->width() / kReduction, h = sample->height() / kReduction;
    std::vector<uint8_t> pixels(size_t(w) * size_t(h) * 3);
    const int area = kReduction * kReduction;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < kReduction; ++dy) {
                    const uint8_t* row = sample->row(y * kReduction + dy);
                    for (int dx = 0; dx < kReduction; ++dx)
                        sum += row[size_t(x * kReduction + dx) * 3 + size_t(c)];
                }
                pixels[(size_t(y) * size_t(w) + size_t(x)) * 3 + size_t(c)] =
                    uint8_t((sum + area / 2) / area);
            }
    return image::Image::adopt(image::PixelFormat::RGB8, w, h, std::move(pixels));
}

gpu::PixelBufferRef photoOf(const image::Image& picture) {
    gpu::PixelBufferRef buffer;
    if (gpu::PixelBuffer::create(size_t(picture.width()), size_t(picture.height()),
                                 gpu::PixelFormatType32BGRA, {true, true, true}, &buffer))
        return nullptr;
    for (int y = 0; y < picture.height(); ++y)
        image::convertPixels(picture.pixelFormat(), picture.row(y), image::PixelFormat::BGRA8,
                             buffer->baseAddress() + size_t(y) * buffer->bytesPerRow(),
                             size_t(picture.width()));
    return buffer;
}

bool approving() {
    const char* approve = std::getenv("HALIDEX_APPROVE_GOLDEN");
    return approve && std::string(approve) == "1";
}

// Largest channel difference, and a picture of where the differences are.
int compare(const image::Image& expected, const image::Image& actual, image::ImageRef* diff) {
    const int w = actual.width(), h = actual.height();
    const size_t channels = actual.bytesPerPixel();
    std::vector<uint8_t> pixels(size_t(w) * size_t(h));
    int worst = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int pixelWorst = 0;
            for (size_t c = 0; c < channels; ++c) {
                const size_t i = size_t(x) * channels + c;
                pixelWorst =
                    std::max(pixelWorst, std::abs(int(expected.row(y)[i]) - int(actual.row(y)[i])));
            }
            worst = std::max(worst, pixelWorst);
            pixels[size_t(y) * size_t(w) + size_t(x)] = uint8_t(std::min(pixelWorst * 32, 255));
        }
    *diff = image::Image::adopt(image::PixelFormat::Grey8, w, h, std::move(pixels));
    return worst;
}

class GoldenRender : public ::testing::TestWithParam<int> {};

TEST_P(GoldenRender, FilmOnTheSampleMatchesTheStoredRender) {
    const int film = GetParam();
    static const image::ImageRef sample = reducedSample();
    ASSERT_TRUE(sample) << "the sample photo cannot be read from " << HX_TEST_RESOURCES_DIR;
    film::hxFilmRenderer renderer;
    renderer.selectFilm(film);
    ASSERT_EQ(renderer.missingFilmResource(), "");
    image::ImageRef actual = renderer.renderPhoto(photoOf(*sample));
    ASSERT_TRUE(actual);
    // Monochrome films read back grey, colour films in colour; store colour without alpha.
    if (actual->pixelFormat() != image::PixelFormat::Grey8)
        actual = image::convert(actual, image::PixelFormat::RGB8);
    ASSERT_TRUE(actual);
    EXPECT_EQ(actual->pixelFormat(),
              film::isColorFilm(film) ? image::PixelFormat::RGB8 : image::PixelFormat::Grey8);

    const std::string name = "film_" + std::to_string(film) + ".png";
    const fs::path golden = fs::path(HX_GOLDEN_DIR) / name;
    if (approving()) {
        fs::create_directories(golden.parent_path());
        ASSERT_TRUE(image::writePng(*actual, golden.string()));
        std::printf("approved %s\n", golden.c_str());
        return;
    }

    std::string error;
    image::ImageRef expected = image::readPng(golden.string(), &error);
    ASSERT_TRUE(expected) << error << "\n(approve new renders with HALIDEX_APPROVE_GOLDEN=1)";
    ASSERT_EQ(expected->pixelFormat(), actual->pixelFormat()) << name;
    ASSERT_EQ(expected->width(), actual->width()) << name;
    ASSERT_EQ(expected->height(), actual->height()) << name;
    image::ImageRef diff;
    const int worst = compare(*expected, *actual, &diff);
    if (worst > 1) {
        const fs::path failures = fs::path(HX_TEST_BINARY_DIR) / "golden-failures";
        fs::create_directories(failures);
        const fs::path actualPath = failures / ("film_" + std::to_string(film) + ".actual.png");
        const fs::path diffPath = failures / ("film_" + std::to_string(film) + ".diff.png");
        image::writePng(*actual, actualPath.string());
        image::writePng(*diff, diffPath.string());
        ADD_FAILURE() << name << " differs by up to " << worst << " levels; see " << actualPath
                      << " and " << diffPath;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFilm, GoldenRender, ::testing::Range(0, film::kFilmCount));

}  // namespace

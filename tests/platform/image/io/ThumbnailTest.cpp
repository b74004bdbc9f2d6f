// A thumbnail is the same whichever file format held the picture: every decoder shrinks through
// the one resampler.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/image/Resample.h"
#include "platform/image/io/ImageSource.h"
#include "platform/image/jpeg/JpegCodec.h"
#include "platform/image/png/PngCodec.h"
#include "platform/image/tiff/TiffCodec.h"

namespace hx::image {
namespace {

// Smooth shading with some detail, as a photograph has.
ImageRef makePicture(PixelFormat format, int width, int height) {
    const int components = int(bytesPerPixel(format));
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * size_t(components));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int k = 0; k < components; ++k) {
                const double wave = std::sin(x * 0.05 * (k + 1)) * std::cos(y * 0.07);
                const double value = 128 + 90 * wave + 30.0 * ((x / 9 + y / 7) % 2);
                pixels[(size_t(y) * size_t(width) + size_t(x)) * size_t(components) + size_t(k)] =
                    uint8_t(std::clamp(value, 0.0, 255.0));
            }
        }
    }
    return Image::adopt(format, width, height, std::move(pixels));
}

ImageRef thumbnailOf(std::vector<uint8_t> bytes, int maxPixelSize) {
    auto source = ImageSource::createWithData(std::move(bytes));
    return source ? source->createThumbnailAtIndex(0, maxPixelSize) : nullptr;
}

// The largest difference of any byte; -1 when the layouts differ.
int largestDifference(const Image& a, const Image& b) {
    if (a.width() != b.width() || a.height() != b.height() || a.pixelFormat() != b.pixelFormat())
        return -1;
    const size_t rowBytes = size_t(a.width()) * bytesPerPixel(a.pixelFormat());
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (size_t i = 0; i < rowBytes; ++i)
            largest = std::max(largest, std::abs(int(a.row(y)[i]) - int(b.row(y)[i])));
    return largest;
}

TEST(Thumbnails, PngAndTiffOfOnePictureGiveTheSameThumbnail) {
    for (const PixelFormat format : {PixelFormat::RGB8, PixelFormat::Grey8}) {
        const ImageRef picture = makePicture(format, 301, 203);
        std::vector<uint8_t> png, tiff;
        ASSERT_TRUE(writePng(*picture, png));
        ASSERT_TRUE(encodeTiff(*picture, tiff, nullptr));
        for (const int size : {64, 1, 150, 300}) {
            const ImageRef fromPng = thumbnailOf(png, size);
            const ImageRef fromTiff = thumbnailOf(tiff, size);
            ASSERT_TRUE(fromPng && fromTiff) << size;
            EXPECT_EQ(std::max(fromPng->width(), fromPng->height()), size);
            EXPECT_EQ(largestDifference(*fromPng, *fromTiff), 0) << size;
            // And it is the resampler's own result on the decoded picture.
            const ImageRef direct = scaleToFit(picture, 301, 203, size, nullptr);
            ASSERT_TRUE(direct);
            EXPECT_EQ(largestDifference(*fromPng, *direct), 0) << size;
        }
    }
}

TEST(Thumbnails, JpegThumbnailIsCloseToTheLosslessOnes) {
    // Grey at the highest quality: no chroma subsampling, little loss. The JPEG decoder shrinks
    // by whole factors while decoding and leaves the rest to the resampler.
    const ImageRef picture = makePicture(PixelFormat::Grey8, 640, 480);
    std::vector<uint8_t> png, jpeg;
    ASSERT_TRUE(writePng(*picture, png));
    ASSERT_TRUE(encodeJpeg(*picture, 1.0, {}, jpeg, nullptr));
    for (const int size : {40, 60, 80, 120, 160, 200, 333}) {
        const ImageRef fromPng = thumbnailOf(png, size);
        const ImageRef fromJpeg = thumbnailOf(jpeg, size);
        ASSERT_TRUE(fromPng && fromJpeg) << size;
        const int difference = largestDifference(*fromPng, *fromJpeg);
        EXPECT_GE(difference, 0) << size;
        EXPECT_LE(difference, 2) << size;
    }
}

}  // namespace
}  // namespace hx::image

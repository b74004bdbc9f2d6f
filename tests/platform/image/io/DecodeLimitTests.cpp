// The process's decode limit, as the tools set it, holds for every kind of file, and a decode
// that runs out of memory gives null instead of ending the program.

#include <gtest/gtest.h>
#include <png.h>

#include "platform/image/ImageLimits.h"
#include "platform/image/ImageTypes.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/image/io/ImageSource.h"
#include "tests/platform/image/TestImages.h"
#include "tests/support/AddressSpaceLimit.h"

namespace hx::image {
namespace {

// Sets the process's limit for the length of a test.
class ScopedDecodeLimit {
  public:
    explicit ScopedDecodeLimit(uint64_t pixels) : previous_(decodePixelLimit()) {
        setDecodePixelLimit(pixels);
    }
    ~ScopedDecodeLimit() { setDecodePixelLimit(previous_); }

  private:
    uint64_t previous_;
};

// A one-bit grey PNG, all black: a few kilobytes that stand for width × height pixels.
std::vector<uint8_t> oneBitPng(int width, int height) {
    test::PngLayout layout;
    layout.width = width;
    layout.height = height;
    layout.colorType = PNG_COLOR_TYPE_GRAY;
    layout.bitDepth = 1;
    layout.rows.assign(size_t(width + 7) / 8 * size_t(height), 0);
    return test::encodeWithLibpng(layout);
}

TEST(DecodeLimit, ASmallFileForAHugePictureIsRefusedFromItsHeader) {
    const std::vector<uint8_t> bomb = oneBitPng(16384, 16384);
    EXPECT_LT(bomb.size(), 100u * 1024);
    auto source = ImageSource::createWithData(bomb);
    ASSERT_TRUE(source);
    // The header is still read, so that a program can say what it refused.
    const PropertyDictionary properties = source->copyPropertiesAtIndex(0);
    EXPECT_EQ(properties.integer(kCGImagePropertyPixelWidth), 16384);
    EXPECT_EQ(properties.integer(kCGImagePropertyPixelHeight), 16384);

    // Refused before the image data is inflated.
    ScopedDecodeLimit limit(kToolDecodePixels);
    EXPECT_FALSE(source->createImageAtIndex(0));
    EXPECT_FALSE(source->createThumbnailAtIndex(0, 256));
}

TEST(DecodeLimit, EveryDecoderKeepsToTheProcessLimit) {
    const ImageRef picture = test::makePattern(PixelFormat::RGB8, 40, 30);
    for (const char* type : {kUTTypeJPEG, kUTTypePNG, kUTTypeTIFF, kUTTypeHEIC}) {
        std::vector<uint8_t> bytes;
        auto destination = ImageDestination::createWithData(&bytes, type, 1);
        ASSERT_TRUE(destination) << type;
        destination->addImage(picture, {});
        ASSERT_TRUE(destination->finalize()) << type;
        auto source = ImageSource::createWithData(bytes);
        ASSERT_TRUE(source) << type;
        {
            ScopedDecodeLimit limit(40 * 30 - 1);
            EXPECT_FALSE(source->createImageAtIndex(0)) << type;
            EXPECT_FALSE(source->createThumbnailAtIndex(0, 20)) << type;
        }
        ScopedDecodeLimit limit(40 * 30);
        EXPECT_TRUE(source->createImageAtIndex(0)) << type;
    }
    // No limit above what the build decodes at all, and 0 stands for that ceiling.
    ScopedDecodeLimit limit(0);
    EXPECT_EQ(decodePixelLimit(), kMaxDecodePixels);
    setDecodePixelLimit(kMaxDecodePixels * 2);
    EXPECT_EQ(decodePixelLimit(), kMaxDecodePixels);
}

TEST(DecodeLimit, RunningOutOfMemoryWhileDecodingGivesNull) {
    if (!hx::testing::kAllocationFailureThrows)
        GTEST_SKIP() << "the sanitizer's allocator never throws";
    // 8192 × 8192 grey is 64 MiB of pixels; the child may take 48 MiB more than it has.
    const std::vector<uint8_t> large = oneBitPng(8192, 8192);
    const int status = testing::exitStatusWithAddressSpaceLimit(48u << 20, [&] {
        auto source = ImageSource::createWithData(large);
        if (!source) return 2;
        if (source->createImageAtIndex(0)) return 3;
        if (source->createThumbnailAtIndex(0, 4096)) return 4;
        return 0;
    });
    EXPECT_EQ(status, 0) << "-1: the decode ended the process";
}

}  // namespace
}  // namespace hx::image

#include "platform/image/Image.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "TestImages.h"
#include "platform/log/CaptureScope.h"

namespace hx::image {
namespace {

using test::makePattern;
using test::pixelAt;

TEST(ImageFactories, CopyPacksPaddedRowsAndOwnsItsPixels) {
    const int width = 3, height = 5;
    const size_t paddedRow = 3 * 3 + 7;
    std::vector<uint8_t> source(paddedRow * height, 0xEE);
    for (int y = 0; y < height; ++y) {
        for (int i = 0; i < width * 3; ++i) source[paddedRow * y + i] = uint8_t(y * 16 + i);
    }
    const ImageRef image = Image::copy(PixelFormat::RGB8, width, height, source.data(), paddedRow);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bytesPerRow(), size_t(width * 3));
    EXPECT_NE(image->data(), source.data());
    std::fill(source.begin(), source.end(), 0);  // the copy must not follow the source
    for (int y = 0; y < height; ++y) {
        for (int i = 0; i < width * 3; ++i) ASSERT_EQ(image->row(y)[i], uint8_t(y * 16 + i));
    }
}

TEST(ImageFactories, AdoptTakesTheBufferWithoutCopying) {
    std::vector<uint8_t> pixels(4 * 2 * 10, 7);
    const uint8_t* buffer = pixels.data();
    const ImageRef image = Image::adopt(PixelFormat::BGRA8, 2, 4, std::move(pixels), 10);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->data(), buffer);
    EXPECT_EQ(image->row(3), buffer + 30);
    EXPECT_EQ(image->row(4), nullptr);
    EXPECT_EQ(image->row(-1), nullptr);
}

TEST(ImageFactories, RejectBadLayoutsWithNull) {
    hx::log::CaptureScope log;
    const std::vector<uint8_t> bytes(4096, 1);
    const uint8_t* data = bytes.data();
    auto invalidFormat = static_cast<PixelFormat>(9);
    EXPECT_FALSE(Image::copy(PixelFormat::Grey8, 0, 4, data, 4));
    EXPECT_FALSE(Image::copy(PixelFormat::Grey8, 4, 0, data, 4));
    EXPECT_FALSE(Image::copy(PixelFormat::Grey8, -4, 4, data, 4));
    EXPECT_FALSE(Image::copy(PixelFormat::Grey8, 4, -1, data, 4));
    EXPECT_FALSE(Image::copy(PixelFormat::RGB8, 4, 4, data, 11));  // rows shorter than 4 pixels
    EXPECT_FALSE(Image::copy(PixelFormat::RGB8, 4, 4, nullptr, 12));
    EXPECT_FALSE(Image::copy(invalidFormat, 4, 4, data, 16));
    EXPECT_FALSE(Image::copy(PixelFormat::Grey8, Image::kMaxDimension + 1, 1, data, 1 << 20));
    EXPECT_FALSE(Image::wrap(PixelFormat::BGRA8, 2, 2, nullptr, 8, nullptr));
    EXPECT_FALSE(Image::wrap(PixelFormat::BGRA8, 2, 2, data, 7, nullptr));
    EXPECT_FALSE(
        Image::wrap(PixelFormat::Grey8, 1, Image::kMaxDimension, data, SIZE_MAX / 2, nullptr));
    // The last row needs only its pixels, not the padding after them.
    EXPECT_TRUE(Image::adopt(PixelFormat::Grey8, 2, 3, std::vector<uint8_t>(2 * 4 + 2), 4));
    EXPECT_FALSE(Image::adopt(PixelFormat::Grey8, 2, 3, std::vector<uint8_t>(2 * 4 + 1), 4));
    EXPECT_FALSE(Image::adopt(PixelFormat::RGBA8, 2, 2, std::vector<uint8_t>(15)));
    EXPECT_TRUE(log.contains("Image::copy: invalid layout (RGB8, 4x4, 11 bytes per row)"));
}

TEST(ImageFactories, WrapKeepsTheOwnerAliveAsLongAsAnyImageOverIt) {
    auto buffer = std::make_shared<std::vector<uint8_t>>(6 * 4 * 4, 9);
    std::weak_ptr<std::vector<uint8_t>> watch = buffer;
    ImageRef image = Image::wrap(PixelFormat::RGBA8, 4, 4, buffer->data(), 24, buffer);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->data(), buffer->data());
    buffer.reset();
    EXPECT_FALSE(watch.expired());

    ImageRef crop = image->cropped(1, 1, 2, 2);
    image.reset();
    EXPECT_FALSE(watch.expired()) << "a crop must keep the wrapped memory alive";
    EXPECT_EQ(crop->row(0)[0], 9);
    crop.reset();
    EXPECT_TRUE(watch.expired());
}

TEST(ImageCrop, SharesMemoryAndAddressesTheRightPixels) {
    const ImageRef image = makePattern(PixelFormat::RGB8, 7, 5, 7 * 3 + 5);
    const ImageRef crop = image->cropped(2, 1, 4, 3);
    ASSERT_TRUE(crop);
    EXPECT_EQ(crop->width(), 4);
    EXPECT_EQ(crop->height(), 3);
    EXPECT_EQ(crop->bytesPerRow(), image->bytesPerRow());
    EXPECT_EQ(crop->data(), image->data() + image->bytesPerRow() * 1 + 2 * 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) EXPECT_EQ(pixelAt(*crop, x, y), pixelAt(*image, x + 2, y + 1));
    }
    // A crop of a crop still points into the first image.
    const ImageRef inner = crop->cropped(3, 2, 1, 1);
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner->data(), image->row(3) + 5 * 3);
}

TEST(ImageCrop, RejectsRectanglesNotWhollyInside) {
    const ImageRef image = makePattern(PixelFormat::Grey8, 6, 4);
    EXPECT_TRUE(image->cropped(0, 0, 6, 4));
    EXPECT_TRUE(image->cropped(5, 3, 1, 1));
    EXPECT_FALSE(image->cropped(0, 0, 7, 4));
    EXPECT_FALSE(image->cropped(0, 0, 6, 5));
    EXPECT_FALSE(image->cropped(1, 0, 6, 4));
    EXPECT_FALSE(image->cropped(-1, 0, 2, 2));
    EXPECT_FALSE(image->cropped(0, -1, 2, 2));
    EXPECT_FALSE(image->cropped(2, 2, 0, 1));
    EXPECT_FALSE(image->cropped(2, 2, 1, -1));
    EXPECT_FALSE(image->cropped(INT_MAX, 0, INT_MAX, 1));  // must not overflow into range
}

// ---- Pixel memory for decoders ----------------------------------------------------------------

ImageRef filledImage(size_t bytes, uint8_t value, int width, int height) {
    PixelMemory memory = PixelMemory::allocate(bytes);
    EXPECT_TRUE(memory);
    std::memset(memory.data(), value, memory.size());
    return Image::adopt(PixelFormat::Grey8, width, height, std::move(memory), size_t(width));
}

TEST(PixelMemory, AnImageNobodyElseHoldsGivesItsMemoryToTheNext) {
    ImageRef first = filledImage(64 * 32, 1, 64, 32);
    ASSERT_TRUE(first);
    const uint8_t* address = first->data();
    // Smaller requests reuse the block too; the capacity stays what it was.
    PixelMemory memory = PixelMemory::allocate(40 * 32, std::move(first));
    EXPECT_FALSE(first);
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory.data(), address);
    EXPECT_EQ(memory.size(), size_t(64 * 32));
    std::memset(memory.data(), 2, 40 * 32);
    const ImageRef second =
        Image::adopt(PixelFormat::RGB8, 10, 32, std::move(memory), 40);  // padded rows
    ASSERT_TRUE(second);
    EXPECT_EQ(second->data(), address);
    EXPECT_EQ(pixelAt(*second, 9, 31), (std::vector<uint8_t>{2, 2, 2}));
}

// Recycled memory keeps the size of its block; a fresh block has the size asked for.
TEST(PixelMemory, MemoryStillInUseIsNeverTaken) {
    ImageRef image = filledImage(256, 5, 16, 16);
    ASSERT_TRUE(image);

    // Another reference to the same image.
    ImageRef other = image;
    PixelMemory memory = PixelMemory::allocate(200, std::move(image));
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory.size(), 200u);
    EXPECT_NE(memory.data(), other->data());
    std::memset(memory.data(), 9, memory.size());
    EXPECT_EQ(other->row(15)[15], 5);

    // A crop that outlives its image.
    ImageRef crop = other->cropped(4, 4, 8, 8);
    memory = PixelMemory::allocate(200, std::move(other));
    EXPECT_EQ(memory.size(), 200u);
    std::memset(memory.data(), 9, memory.size());
    EXPECT_EQ(crop->row(7)[7], 5);
    // A crop is never recycled itself, even when it is the last holder.
    memory = PixelMemory::allocate(64, std::move(crop));
    EXPECT_EQ(memory.size(), 64u);

    // Too small for the request.
    memory = PixelMemory::allocate(257, filledImage(256, 5, 16, 16));
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory.size(), 257u);

    // Images over memory of other kinds are not recycled.
    std::vector<uint8_t> pixels(256, 5);
    memory =
        PixelMemory::allocate(100, Image::adopt(PixelFormat::Grey8, 16, 16, std::move(pixels)));
    EXPECT_EQ(memory.size(), 100u);
}

TEST(PixelMemory, AdoptRefusesMemoryTooSmallForTheLayout) {
    hx::log::CaptureScope log;
    PixelMemory memory = PixelMemory::allocate(99);
    ASSERT_TRUE(memory);
    EXPECT_FALSE(Image::adopt(PixelFormat::Grey8, 10, 10, std::move(memory), 10));
    EXPECT_FALSE(Image::adopt(PixelFormat::Grey8, 10, 10, PixelMemory(), 10));
}

}  // namespace
}  // namespace hx::image

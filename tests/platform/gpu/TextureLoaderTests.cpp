#include "platform/gpu/TextureLoader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "GpuTestSupport.h"

namespace hx::gpu {
namespace {

using namespace test;
using ::testing::HasSubstr;
using ImageFormat = image::PixelFormat;

// Distinct bytes for every component; BGRA8 stays valid premultiplied data.
image::ImageRef makeImage(ImageFormat format, int width, int height) {
    const size_t bpp = image::bytesPerPixel(format);
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * bpp);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 37 + 11);
    if (format == ImageFormat::BGRA8) {
        for (size_t p = 0; p < pixels.size(); p += 4) {
            pixels[p + 3] = std::max<uint8_t>(pixels[p + 3], 200);
            for (int c = 0; c < 3; ++c) pixels[p + c] = std::min(pixels[p + c], pixels[p + 3]);
        }
    }
    return image::Image::copy(format, width, height, pixels.data(), size_t(width) * bpp);
}

TextureRef load(const image::ImageRef& image, std::string* error = nullptr) {
    return TextureLoader(testDevice()).newTextureWithImage(image, {}, error);
}

HX_GPU_BACKEND_SUITE(TextureLoaderFormats);

TEST_P(TextureLoaderFormats, GreyBecomesOpaqueRgbaWithTheGreyInEveryChannel) {
    auto image = makeImage(ImageFormat::Grey8, 7, 5);
    std::string error;
    TextureRef texture = load(image, &error);
    ASSERT_TRUE(texture) << error;
    EXPECT_EQ(texture->pixelFormat(), PixelFormat::RGBA8Unorm);
    EXPECT_EQ(texture->width(), 7u);
    EXPECT_EQ(texture->height(), 5u);
    EXPECT_TRUE(texture->usage() & TextureUsageShaderRead);
    auto texels = readTexels(*texture);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            const uint8_t grey = image->row(y)[x];
            ASSERT_EQ(texelAt(texels, PixelFormat::RGBA8Unorm, 7, x, y),
                      (Rgba{grey, grey, grey, 255}))
                << x << ", " << y;
        }
    }
}

TEST_P(TextureLoaderFormats, RgbBecomesOpaqueRgba) {
    auto image = makeImage(ImageFormat::RGB8, 6, 4);
    TextureRef texture = load(image);
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->pixelFormat(), PixelFormat::RGBA8Unorm);
    auto texels = readTexels(*texture);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            const uint8_t* p = image->row(y) + 3 * x;
            ASSERT_EQ(texelAt(texels, PixelFormat::RGBA8Unorm, 6, x, y),
                      (Rgba{p[0], p[1], p[2], 255}))
                << x << ", " << y;
        }
    }
}

TEST_P(TextureLoaderFormats, RgbaAndBgraKeepTheirBytesAndOrder) {
    struct Case {
        ImageFormat image;
        PixelFormat texture;
    };
    for (Case c : {Case{ImageFormat::RGBA8, PixelFormat::RGBA8Unorm},
                   Case{ImageFormat::BGRA8, PixelFormat::BGRA8Unorm}}) {
        auto image = makeImage(c.image, 9, 3);
        TextureRef texture = load(image);
        ASSERT_TRUE(texture);
        EXPECT_EQ(texture->pixelFormat(), c.texture);
        EXPECT_EQ(readTexels(*texture),
                  std::vector<uint8_t>(image->data(), image->data() + 9 * 3 * 4));
    }
}

HX_GPU_BACKEND_SUITE(TextureLoaderLayout);

TEST_P(TextureLoaderLayout, PaddedRowsLoadRowForRowWithRowZeroAtTheTop) {
    auto whole = makeImage(ImageFormat::RGBA8, 10, 6);
    auto crop = whole->cropped(3, 2, 4, 3);  // rows keep the parent's 40-byte stride
    ASSERT_TRUE(crop);
    ASSERT_GT(crop->bytesPerRow(), 4u * 4u);
    TextureRef texture = load(crop);
    ASSERT_TRUE(texture);
    ASSERT_EQ(texture->width(), 4u);
    ASSERT_EQ(texture->height(), 3u);
    std::vector<uint8_t> expected;
    for (int y = 0; y < 3; ++y) expected.insert(expected.end(), crop->row(y), crop->row(y) + 16);
    EXPECT_EQ(readTexels(*texture), expected);

    // Drawn upright, row 0 of the image lands on the top row of the target.
    TextureRef target = makeTarget(PixelFormat::RGBA8Unorm, 4, 3);
    drawCopy(target, texture);
    EXPECT_EQ(readTexels(*target), expected);
}

HX_GPU_BACKEND_SUITE(TextureLoaderErrors);

TEST_P(TextureLoaderErrors, MissingImageOrDeviceIsExplained) {
    std::string error;
    EXPECT_FALSE(load(nullptr, &error));
    EXPECT_THAT(error, HasSubstr("image"));

    error.clear();
    EXPECT_FALSE(TextureLoader(nullptr).newTextureWithImage(makeImage(ImageFormat::RGBA8, 2, 2), {},
                                                            &error));
    EXPECT_THAT(error, HasSubstr("device"));

    EXPECT_FALSE(load(nullptr, nullptr));  // no place for the reason is fine too
}

TEST_P(TextureLoaderErrors, AnImageTooLargeForTheDeviceIsExplained) {
    std::vector<uint8_t> row(40000, 128);
    auto wide = image::Image::copy(ImageFormat::Grey8, 40000, 1, row.data(), row.size());
    ASSERT_TRUE(wide);
    std::string error;
    EXPECT_FALSE(load(wide, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace hx::gpu

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "GpuTestSupport.h"
#include "tests/support/AddressSpaceLimit.h"

namespace hx::gpu {
namespace {

using namespace test;

HX_GPU_BACKEND_SUITE(TextureUpload);

TEST_P(TextureUpload, OneDimensionalTableRoundTripsExactly) {
    auto descriptor = TextureDescriptor::textureBuffer(
        PixelFormat::R8Unorm, 256, ResourceOptionsDefault, TextureUsageShaderRead);
    descriptor.height = 9;  // a one-dimensional texture has one row whatever the height says
    TextureRef table = testDevice()->newTextureWithDescriptor(descriptor);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->textureType(), TextureType::Type1D);
    EXPECT_EQ(table->pixelFormat(), PixelFormat::R8Unorm);
    EXPECT_EQ(table->width(), 256u);
    EXPECT_EQ(table->height(), 1u);

    std::vector<uint8_t> values(256);
    for (size_t i = 0; i < 256; ++i) values[i] = uint8_t(255 - (i * 7) % 256);
    table->replaceRegion(Region::make1D(0, 256), 0, values.data(), 0);
    std::vector<uint8_t> back(256, 0xAA);
    table->getBytes(back.data(), 0, Region::make1D(0, 256), 0);
    EXPECT_EQ(back, values);

    // A row length given for a one-dimensional upload is meaningless and must not matter.
    std::reverse(values.begin(), values.end());
    table->replaceRegion(Region::make1D(0, 256), 0, values.data(), 4096);
    table->getBytes(back.data(), 256, Region::make1D(0, 256), 0);
    EXPECT_EQ(back, values);
}

TEST_P(TextureUpload, PartialOneDimensionalUploadChangesOnlyItsRange) {
    TextureRef table = testDevice()->newTextureWithDescriptor(TextureDescriptor::textureBuffer(
        PixelFormat::R8Unorm, 16, ResourceOptionsDefault, TextureUsageShaderRead));
    ASSERT_TRUE(table);
    std::vector<uint8_t> zeros(16, 0), part = {1, 2, 3, 4};
    table->replaceRegion(Region::make1D(0, 16), 0, zeros.data(), 0);
    table->replaceRegion(Region::make1D(10, 4), 0, part.data(), 0);
    std::vector<uint8_t> back(16);
    table->getBytes(back.data(), 0, Region::make1D(0, 16), 0);
    EXPECT_EQ(back, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 0, 0}));
}

TEST_P(TextureUpload, RegionFromPaddedRowsLandsInItsSubRectangleOnly) {
    const size_t width = 10, height = 8;
    TextureRef texture = testDevice()->newTextureWithDescriptor(
        TextureDescriptor::texture2D(PixelFormat::RGBA8Unorm, width, height));
    ASSERT_TRUE(texture);
    std::vector<uint8_t> background(width * height * 4, 0x11);
    texture->replaceRegion(Region::make2D(0, 0, width, height), 0, background.data(), 0);

    // Three texels wide, four rows, 64 bytes from one source row to the next.
    const size_t sourceStride = 64;
    std::vector<uint8_t> source(sourceStride * 4, 0xEE);  // padding the upload must skip
    for (size_t y = 0; y < 4; ++y)
        for (size_t i = 0; i < 12; ++i) source[y * sourceStride + i] = uint8_t(y * 16 + i);
    texture->replaceRegion(Region::make2D(2, 3, 3, 4), 0, source.data(), sourceStride);

    auto texels = readTexels(*texture);
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) {
            for (size_t c = 0; c < 4; ++c) {
                const bool inside = x >= 2 && x < 5 && y >= 3 && y < 7;
                const uint8_t expected =
                    inside ? uint8_t((y - 3) * 16 + (x - 2) * 4 + c) : uint8_t(0x11);
                ASSERT_EQ(texels[(y * width + x) * 4 + c], expected) << x << ", " << y;
            }
        }
    }
}

TEST_P(TextureUpload, ReadingARegionIntoPaddedRowsLeavesThePaddingAlone) {
    const auto texels = patternTexels(6, 5, 2);
    TextureRef texture = makeSource(PixelFormat::BGRA8Unorm, 6, 5, texels);
    const size_t stride = 20;  // 2 texels of 4 bytes, then 12 bytes of padding
    std::vector<uint8_t> out(stride * 3, 0x5A);
    texture->getBytes(out.data(), stride, Region::make2D(3, 1, 2, 3), 0);
    for (size_t y = 0; y < 3; ++y) {
        for (size_t i = 0; i < stride; ++i) {
            const uint8_t expected = i < 8 ? texels[((y + 1) * 6 + 3) * 4 + i] : uint8_t(0x5A);
            ASSERT_EQ(out[y * stride + i], expected) << "row " << y << " byte " << i;
        }
    }
}

TEST_P(TextureUpload, RegionsThatDoNotFitAreIgnored) {
    const auto texels = patternTexels(8, 4, 9);
    TextureRef texture = makeSource(PixelFormat::RGBA8Unorm, 8, 4, texels);
    std::vector<uint8_t> junk(64 * 64 * 4, 0xCD);
    struct Case {
        const char* name;
        Region region;
        size_t level;
        size_t bytesPerRow;
    };
    Region deep = Region::make2D(0, 0, 2, 2);
    deep.size.depth = 2;
    Region raised = Region::make2D(0, 0, 2, 2);
    raised.origin.z = 1;
    for (const Case& c : {
             Case{"past the right edge", Region::make2D(6, 0, 3, 1), 0, 0},
             Case{"past the bottom edge", Region::make2D(0, 3, 1, 2), 0, 0},
             Case{"starting outside", Region::make2D(8, 4, 1, 1), 0, 0},
             Case{"empty", Region::make2D(0, 0, 0, 0), 0, 0},
             Case{"zero height", Region::make2D(0, 0, 4, 0), 0, 0},
             Case{"two deep", deep, 0, 0},
             Case{"off the first slice", raised, 0, 0},
             Case{"another mipmap level", Region::make2D(0, 0, 2, 2), 1, 0},
             Case{"rows shorter than the region", Region::make2D(0, 0, 4, 2), 0, 15},
         }) {
        texture->replaceRegion(c.region, c.level, junk.data(), c.bytesPerRow);
        EXPECT_EQ(readTexels(*texture), texels) << c.name;

        std::vector<uint8_t> out(64 * 64 * 4, 0x42);
        texture->getBytes(out.data(), c.bytesPerRow, c.region, c.level);
        EXPECT_EQ(out, std::vector<uint8_t>(64 * 64 * 4, 0x42)) << c.name;
    }
    texture->replaceRegion(Region::make2D(0, 0, 8, 4), 0, nullptr, 0);
    texture->getBytes(nullptr, 0, Region::make2D(0, 0, 8, 4), 0);
    EXPECT_EQ(readTexels(*texture), texels);
}

TEST_P(TextureUpload, RegionsWhoseEndOverflowsAreIgnored) {
    const auto texels = patternTexels(8, 4, 9);
    TextureRef texture = makeSource(PixelFormat::RGBA8Unorm, 8, 4, texels);
    std::vector<uint8_t> junk(64, 0xCD);
    const size_t huge = std::numeric_limits<size_t>::max();
    texture->replaceRegion(Region::make2D(huge, 0, 2, 1), 0, junk.data(), 0);
    texture->replaceRegion(Region::make2D(0, huge - 1, 1, 3), 0, junk.data(), 0);
    EXPECT_EQ(readTexels(*texture), texels);
    std::vector<uint8_t> out(64, 0x42);
    texture->getBytes(out.data(), 0, Region::make2D(huge, 0, 2, 1), 0);
    EXPECT_EQ(out, std::vector<uint8_t>(64, 0x42));
}

HX_GPU_BACKEND_SUITE(TextureCreation);

TEST_P(TextureCreation, InvalidDescriptorsGiveNull) {
    DeviceRef device = testDevice();
    EXPECT_FALSE(device->newTextureWithDescriptor(
        TextureDescriptor::texture2D(PixelFormat::RGBA8Unorm, 0, 16)));
    EXPECT_FALSE(device->newTextureWithDescriptor(
        TextureDescriptor::texture2D(PixelFormat::BGRA8Unorm, 16, 0)));
    EXPECT_FALSE(device->newTextureWithDescriptor(
        TextureDescriptor::texture2D(PixelFormat::Invalid, 16, 16)));
    EXPECT_FALSE(device->newTextureWithDescriptor(TextureDescriptor::textureBuffer(
        PixelFormat::R8Unorm, 0, ResourceOptionsDefault, TextureUsageShaderRead)));
    // Sides no GPU offers are refused rather than allocated.
    EXPECT_FALSE(device->newTextureWithDescriptor(
        TextureDescriptor::texture2D(PixelFormat::R8Unorm, size_t(1) << 40, 1)));
    EXPECT_FALSE(device->newTextureWithDescriptor(
        TextureDescriptor::texture2D(PixelFormat::R8Unorm, 1, size_t(1) << 40)));
}

// The CPU backend's own memory: a forked child cannot use the GL backend's context thread.
TEST(CpuTextureCreation, RunningOutOfMemoryGivesNull) {
    if (!hx::testing::kAllocationFailureThrows)
        GTEST_SKIP() << "the sanitizer's allocator never throws";
    DeviceRef device = testDevice();
    // Made before the child starts, so that only the copy has to fit in its headroom.
    const std::vector<uint8_t> contents(size_t{128} << 20, 7);
    const int status = hx::testing::exitStatusWithAddressSpaceLimit(size_t{64} << 20, [&] {
        // 16384 × 16384 RGBA: a gigabyte.
        if (device->newTextureWithDescriptor(
                TextureDescriptor::texture2D(PixelFormat::RGBA8Unorm, 16384, 16384)))
            return 2;
        if (device->newBufferWithBytes(contents.data(), contents.size())) return 3;
        // What fits is still made.
        if (!device->newTextureWithDescriptor(
                TextureDescriptor::texture2D(PixelFormat::RGBA8Unorm, 256, 256)))
            return 4;
        return 0;
    });
    EXPECT_EQ(status, 0) << "-1: the allocation ended the process";
}

}  // namespace
}  // namespace hx::gpu

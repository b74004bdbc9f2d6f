#include "platform/gpu/PixelBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "GpuTestSupport.h"

namespace hx::gpu {
namespace {

using namespace test;

PixelBufferRef makePixelBuffer(size_t width, size_t height, bool gpuCompatible = true) {
    PixelBufferAttributes attributes;
    attributes.gpuCompatible = gpuCompatible;
    PixelBufferRef buffer;
    EXPECT_EQ(PixelBuffer::create(width, height, PixelFormatType32BGRA, attributes, &buffer),
              VideoStatusSuccess);
    return buffer;
}

VideoTextureCacheRef makeCache() {
    VideoTextureCacheRef cache;
    EXPECT_EQ(VideoTextureCache::create(testDevice(), &cache), VideoStatusSuccess);
    return cache;
}

TEST(PixelBufferLayout, RowsArePaddedToSixtyFourBytes) {
    struct Case {
        size_t width, bytesPerRow;
    };
    for (Case c : {Case{1000, 4032}, Case{1, 64}, Case{16, 64}, Case{17, 128}, Case{1920, 7680},
                   Case{1001, 4032}}) {
        PixelBufferRef buffer = makePixelBuffer(c.width, 3);
        ASSERT_TRUE(buffer) << c.width;
        EXPECT_EQ(buffer->bytesPerRow(), c.bytesPerRow) << c.width;
        EXPECT_EQ(buffer->width(), c.width);
        EXPECT_EQ(buffer->height(), 3u);
        EXPECT_EQ(buffer->pixelFormatType(), PixelFormatType32BGRA);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer->baseAddress()) % 64, 0u) << c.width;
        // Every byte of every row is addressable.
        std::memset(buffer->baseAddress(), 0x7F, buffer->bytesPerRow() * buffer->height());
    }
}

TEST(PixelBufferCreation, BadRequestsGiveTheirStatusAndNoBuffer) {
    PixelBufferAttributes attributes;
    attributes.gpuCompatible = true;
    PixelBufferRef buffer = makePixelBuffer(4, 4);
    ASSERT_TRUE(buffer);
    EXPECT_EQ(PixelBuffer::create(0, 10, PixelFormatType32BGRA, attributes, &buffer),
              VideoStatusInvalidSize);
    EXPECT_FALSE(buffer);  // a failed call leaves no stale buffer behind
    EXPECT_EQ(PixelBuffer::create(10, 0, PixelFormatType32BGRA, attributes, &buffer),
              VideoStatusInvalidSize);
    EXPECT_EQ(PixelBuffer::create(40000, 10, PixelFormatType32BGRA, attributes, &buffer),
              VideoStatusInvalidSize);
    EXPECT_EQ(PixelBuffer::create(10, size_t(1) << 40, PixelFormatType32BGRA, attributes, &buffer),
              VideoStatusInvalidSize);
    EXPECT_EQ(PixelBuffer::create(10, 10, fourCharCode('R', 'G', 'B', 'A'), attributes, &buffer),
              VideoStatusInvalidPixelFormat);
    EXPECT_EQ(PixelBuffer::create(10, 10, 0, attributes, &buffer), VideoStatusInvalidPixelFormat);
    EXPECT_FALSE(buffer);
    EXPECT_EQ(PixelBuffer::create(10, 10, PixelFormatType32BGRA, attributes, nullptr),
              VideoStatusInvalidArgument);
}

TEST(PixelBufferLocking, UnlockWithoutLockIsAnError) {
    PixelBufferRef buffer = makePixelBuffer(8, 8);
    ASSERT_TRUE(buffer);
    EXPECT_FALSE(buffer->isLocked());
    EXPECT_EQ(buffer->unlockBaseAddress(), VideoStatusError);
    EXPECT_EQ(buffer->lockBaseAddress(PixelBuffer::LockReadOnly), VideoStatusSuccess);
    EXPECT_EQ(buffer->lockBaseAddress(), VideoStatusSuccess);
    EXPECT_TRUE(buffer->isLocked());
    EXPECT_EQ(buffer->unlockBaseAddress(), VideoStatusSuccess);
    EXPECT_TRUE(buffer->isLocked());
    EXPECT_EQ(buffer->unlockBaseAddress(PixelBuffer::LockReadOnly), VideoStatusSuccess);
    EXPECT_FALSE(buffer->isLocked());
    EXPECT_EQ(buffer->unlockBaseAddress(), VideoStatusError);
    EXPECT_FALSE(buffer->isLocked());
}

HX_GPU_BACKEND_SUITE(VideoTextureCacheCreation);

TEST_P(VideoTextureCacheCreation, NeedsADeviceAndSomewhereToPutTheCache) {
    VideoTextureCacheRef cache;
    EXPECT_EQ(VideoTextureCache::create(nullptr, &cache), VideoStatusInvalidArgument);
    EXPECT_FALSE(cache);
    EXPECT_EQ(VideoTextureCache::create(testDevice(), nullptr), VideoStatusInvalidArgument);
}

HX_GPU_BACKEND_SUITE(VideoTextures);

TEST_P(VideoTextures, RenderStraightIntoThePixelBuffersMemory) {
    for (PixelFormat format : {PixelFormat::BGRA8Unorm, PixelFormat::RGBA8Unorm}) {
        PixelBufferRef buffer = makePixelBuffer(1000, 7);
        ASSERT_TRUE(buffer);
        const size_t stride = buffer->bytesPerRow();
        std::memset(buffer->baseAddress(), 0xEE, stride * 7);  // row padding keeps this
        VideoTextureRef video;
        ASSERT_EQ(makeCache()->createTextureFromImage(buffer, format, 1000, 7, 0, &video),
                  VideoStatusSuccess);
        ASSERT_TRUE(video);
        TextureRef texture = video->texture();
        ASSERT_TRUE(texture);
        EXPECT_EQ(texture->pixelFormat(), format);
        EXPECT_EQ(texture->width(), 1000u);
        EXPECT_EQ(texture->height(), 7u);
        EXPECT_TRUE(texture->usage() & TextureUsageRenderTarget);

        auto commandBuffer = drawConstant(texture, {10, 20, 30, 255});
        EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Completed);
        const std::vector<uint8_t> pixel = format == PixelFormat::BGRA8Unorm
                                               ? std::vector<uint8_t>{30, 20, 10, 255}
                                               : std::vector<uint8_t>{10, 20, 30, 255};
        for (size_t y = 0; y < 7; ++y) {
            const uint8_t* row = buffer->baseAddress() + y * stride;
            for (size_t x = 0; x < 1000; ++x)
                ASSERT_EQ(std::vector<uint8_t>(row + 4 * x, row + 4 * x + 4), pixel)
                    << pixelFormatName(format) << " " << x << ", " << y;
            for (size_t i = 4000; i < stride; ++i) ASSERT_EQ(row[i], 0xEE) << "padding " << y;
        }
    }
}

TEST_P(VideoTextures, ShadersReadWhatTheCameraWroteWithoutAnUpload) {
    const size_t width = 37, height = 5;
    PixelBufferRef buffer = makePixelBuffer(width, height);
    ASSERT_TRUE(buffer);
    VideoTextureRef video;
    ASSERT_EQ(makeCache()->createTextureFromImage(buffer, PixelFormat::BGRA8Unorm, width, height, 0,
                                                  &video),
              VideoStatusSuccess);
    // Written after the texture was made: the texture must see memory, not a snapshot.
    const auto frame = patternTexels(width, height, 31);
    for (size_t y = 0; y < height; ++y)
        std::memcpy(buffer->baseAddress() + y * buffer->bytesPerRow(), frame.data() + y * width * 4,
                    width * 4);
    TextureRef target = makeTarget(PixelFormat::BGRA8Unorm, width, height);
    drawCopy(target, video->texture());
    EXPECT_EQ(readTexels(*target), frame);
    EXPECT_EQ(readTexels(*video->texture()), frame);
}

TEST_P(VideoTextures, ATextureSmallerThanTheBufferCoversItsTopLeftCorner) {
    PixelBufferRef buffer = makePixelBuffer(20, 6);
    ASSERT_TRUE(buffer);
    std::memset(buffer->baseAddress(), 0, buffer->bytesPerRow() * 6);
    VideoTextureRef video;
    ASSERT_EQ(
        makeCache()->createTextureFromImage(buffer, PixelFormat::RGBA8Unorm, 10, 4, 0, &video),
        VideoStatusSuccess);
    drawConstant(video->texture(), {1, 2, 3, 4});
    for (size_t y = 0; y < 6; ++y) {
        for (size_t x = 0; x < 20; ++x) {
            const uint8_t* p = buffer->baseAddress() + y * buffer->bytesPerRow() + 4 * x;
            const bool inside = x < 10 && y < 4;
            ASSERT_EQ(p[0], inside ? 1 : 0) << x << ", " << y;
            ASSERT_EQ(p[3], inside ? 4 : 0) << x << ", " << y;
        }
    }
}

TEST_P(VideoTextures, RefusalsGiveTheirStatusAndNoTexture) {
    VideoTextureCacheRef cache = makeCache();
    ASSERT_TRUE(cache);
    PixelBufferRef buffer = makePixelBuffer(16, 8);
    PixelBufferRef cpuOnly = makePixelBuffer(16, 8, false);
    ASSERT_TRUE(buffer);
    ASSERT_TRUE(cpuOnly);
    struct Case {
        const char* name;
        PixelBufferRef buffer;
        PixelFormat format;
        size_t width, height, plane;
        VideoStatus status;
    };
    for (const Case& c : {
             Case{"not GPU compatible", cpuOnly, PixelFormat::BGRA8Unorm, 16, 8, 0,
                  VideoStatusNotGpuCompatible},
             Case{"no buffer", nullptr, PixelFormat::BGRA8Unorm, 16, 8, 0,
                  VideoStatusInvalidArgument},
             Case{"second plane", buffer, PixelFormat::BGRA8Unorm, 16, 8, 1,
                  VideoStatusInvalidArgument},
             Case{"one channel", buffer, PixelFormat::R8Unorm, 16, 8, 0,
                  VideoStatusInvalidPixelFormat},
             Case{"no format", buffer, PixelFormat::Invalid, 16, 8, 0,
                  VideoStatusInvalidPixelFormat},
             Case{"wider than the buffer", buffer, PixelFormat::BGRA8Unorm, 17, 8, 0,
                  VideoStatusInvalidSize},
             Case{"taller than the buffer", buffer, PixelFormat::BGRA8Unorm, 16, 9, 0,
                  VideoStatusInvalidSize},
             Case{"empty", buffer, PixelFormat::BGRA8Unorm, 0, 8, 0, VideoStatusInvalidSize},
         }) {
        VideoTextureRef video = std::make_shared<VideoTexture>(nullptr);
        EXPECT_EQ(
            cache->createTextureFromImage(c.buffer, c.format, c.width, c.height, c.plane, &video),
            c.status)
            << c.name;
        EXPECT_FALSE(video) << c.name;
    }
    EXPECT_EQ(cache->createTextureFromImage(buffer, PixelFormat::BGRA8Unorm, 16, 8, 0, nullptr),
              VideoStatusInvalidArgument);
}

TEST_P(VideoTextures, TheTextureKeepsThePixelBufferAlive) {
    std::weak_ptr<PixelBuffer> watched;
    TextureRef texture;
    {
        PixelBufferRef buffer = makePixelBuffer(64, 16);
        ASSERT_TRUE(buffer);
        watched = buffer;
        VideoTextureRef video;
        ASSERT_EQ(
            makeCache()->createTextureFromImage(buffer, PixelFormat::BGRA8Unorm, 64, 16, 0, &video),
            VideoStatusSuccess);
        texture = video->texture();
    }  // the caller drops the buffer, the wrapper and the cache
    EXPECT_FALSE(watched.expired());

    // Still usable as a render target and readable through the texture.
    drawConstant(texture, {4, 3, 2, 1});
    auto texels = readTexels(*texture);
    EXPECT_EQ(texelAt(texels, PixelFormat::BGRA8Unorm, 64, 63, 15), (Rgba{4, 3, 2, 1}));
    EXPECT_EQ(watched.lock()->baseAddress()[0], 2);  // blue comes first in memory

    drainDevice();  // the finished pass no longer holds the texture
    texture.reset();
    EXPECT_TRUE(watched.expired());
}

}  // namespace
}  // namespace hx::gpu

// Frames of real cameras into BGRA: every layout a camera sends, checked against a picture made
// in BGRA and turned into that layout by an independent encoder (libyuv's own encoders, and
// libjpeg-turbo for MJPEG); turning for the stream's orientation, cutting to the buffer's shape,
// digital zoom, and frames that lie about their size.

#include <gtest/gtest.h>
#include <libyuv.h>
#include <turbojpeg.h>

#include <cstdlib>
#include <vector>

#include "platform/capture/convert/FrameConversion.h"

namespace hx::capture::testing {
namespace {

constexpr int kWidth = 64, kHeight = 48;

// Left half red, right half blue; a green square in the top-left corner.
std::vector<uint8_t> testPicture() {
    std::vector<uint8_t> bgra(size_t(kWidth) * kHeight * 4);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = &bgra[(size_t(y) * kWidth + x) * 4];
            const bool left = x < kWidth / 2, corner = x < 8 && y < 8;
            p[0] = corner ? 0 : left ? 0 : 255;
            p[1] = corner ? 255 : 0;
            p[2] = corner ? 0 : left ? 255 : 0;
            p[3] = 255;
        }
    return bgra;
}

gpu::PixelBufferRef buffer(int width, int height) {
    gpu::PixelBufferRef out;
    EXPECT_EQ(gpu::PixelBuffer::create(size_t(width), size_t(height), gpu::PixelFormatType32BGRA,
                                       {true, true, true}, &out),
              gpu::VideoStatusSuccess);
    return out;
}

struct Colour {
    int b, g, r;
};

Colour at(const gpu::PixelBuffer& buffer, int x, int y) {
    const uint8_t* p = buffer.baseAddress() + size_t(y) * buffer.bytesPerRow() + size_t(x) * 4;
    return {p[0], p[1], p[2]};
}

bool near(Colour c, int r, int g, int b) {
    return std::abs(c.r - r) < 40 && std::abs(c.g - g) < 40 && std::abs(c.b - b) < 40;
}

#define EXPECT_COLOUR(BUFFER, X, Y, R, G, B)                                          \
    do {                                                                              \
        const Colour c = at(BUFFER, X, Y);                                            \
        EXPECT_TRUE(near(c, R, G, B))                                                 \
            << "at " << (X) << "," << (Y) << ": " << c.r << " " << c.g << " " << c.b; \
    } while (0)

struct Encoded {
    CameraFrame frame;
    std::vector<uint8_t> bytes;
};

Encoded encode(CameraPixelFormat format) {
    const std::vector<uint8_t> bgra = testPicture();
    Encoded e;
    e.frame.format = format;
    e.frame.width = kWidth;
    e.frame.height = kHeight;
    const int w = kWidth, h = kHeight;
    switch (format) {
        case CameraPixelFormat::YUY2:
            e.bytes.resize(size_t(w) * h * 2);
            libyuv::ARGBToYUY2(bgra.data(), w * 4, e.bytes.data(), w * 2, w, h);
            break;
        case CameraPixelFormat::NV12:
            e.bytes.resize(size_t(w) * h * 3 / 2);
            libyuv::ARGBToNV12(bgra.data(), w * 4, e.bytes.data(), w,
                               e.bytes.data() + size_t(w) * h, w, w, h);
            break;
        case CameraPixelFormat::I420:
            e.bytes.resize(size_t(w) * h * 3 / 2);
            libyuv::ARGBToI420(bgra.data(), w * 4, e.bytes.data(), w,
                               e.bytes.data() + size_t(w) * h, w / 2,
                               e.bytes.data() + size_t(w) * h * 5 / 4, w / 2, w, h);
            break;
        case CameraPixelFormat::RGB:
            e.bytes.resize(size_t(w) * h * 3);
            libyuv::ARGBToRAW(bgra.data(), w * 4, e.bytes.data(), w * 3, w, h);
            break;
        case CameraPixelFormat::BGR:
            e.bytes.resize(size_t(w) * h * 3);
            libyuv::ARGBToRGB24(bgra.data(), w * 4, e.bytes.data(), w * 3, w, h);
            break;
        case CameraPixelFormat::BGRA:
            e.bytes = bgra;
            break;
        case CameraPixelFormat::RGBA:
            e.bytes.resize(bgra.size());
            libyuv::ARGBToABGR(bgra.data(), w * 4, e.bytes.data(), w * 4, w, h);
            break;
        case CameraPixelFormat::MJPEG: {
            tjhandle compressor = tjInitCompress();
            unsigned char* jpeg = nullptr;
            unsigned long size = 0;
            EXPECT_EQ(tjCompress2(compressor, bgra.data(), w, w * 4, h, TJPF_BGRA, &jpeg, &size,
                                  TJSAMP_420, 95, 0),
                      0);
            e.bytes.assign(jpeg, jpeg + size);
            tjFree(jpeg);
            tjDestroy(compressor);
            break;
        }
    }
    e.frame.data = e.bytes.data();
    e.frame.size = e.bytes.size();
    return e;
}

TEST(FrameConversion, EveryCameraLayoutGivesTheSameColours) {
    for (CameraPixelFormat format :
         {CameraPixelFormat::YUY2, CameraPixelFormat::NV12, CameraPixelFormat::I420,
          CameraPixelFormat::RGB, CameraPixelFormat::BGR, CameraPixelFormat::BGRA,
          CameraPixelFormat::RGBA, CameraPixelFormat::MJPEG}) {
        SCOPED_TRACE(cameraPixelFormatName(format));
        Encoded e = encode(format);
        auto out = buffer(kWidth, kHeight);
        std::string error;
        ASSERT_TRUE(convertFrame(e.frame, AVCaptureVideoOrientationLandscapeRight, *out, &error))
            << error;
        EXPECT_COLOUR(*out, 2, 2, 0, 255, 0);
        EXPECT_COLOUR(*out, 20, 30, 255, 0, 0);
        EXPECT_COLOUR(*out, 50, 30, 0, 0, 255);
        EXPECT_EQ(at(*out, 50, 30).b, at(*out, 60, 40).b);
    }
}

TEST(FrameConversion, PortraitTurnsTheSensorPictureClockwiseAndCutsToTheBuffer) {
    Encoded e = encode(CameraPixelFormat::BGRA);
    // Portrait: the sensor's left edge becomes the top, its top edge the right.
    auto portrait = buffer(24, 32);
    ASSERT_TRUE(convertFrame(e.frame, AVCaptureVideoOrientationPortrait, *portrait));
    EXPECT_COLOUR(*portrait, 12, 4, 255, 0, 0);
    EXPECT_COLOUR(*portrait, 12, 28, 0, 0, 255);
    EXPECT_COLOUR(*portrait, 23, 0, 0, 255, 0);
    // Upside down the other way round.
    auto down = buffer(24, 32);
    ASSERT_TRUE(convertFrame(e.frame, AVCaptureVideoOrientationPortraitUpsideDown, *down));
    EXPECT_COLOUR(*down, 12, 4, 0, 0, 255);
    EXPECT_COLOUR(*down, 12, 28, 255, 0, 0);
    // A square buffer takes the middle of the landscape frame, both colours still there.
    auto square = buffer(16, 16);
    ASSERT_TRUE(convertFrame(e.frame, AVCaptureVideoOrientationLandscapeRight, *square));
    EXPECT_COLOUR(*square, 2, 8, 255, 0, 0);
    EXPECT_COLOUR(*square, 13, 8, 0, 0, 255);
}

TEST(FrameConversion, ZoomCutsAroundTheCentre) {
    Encoded e = encode(CameraPixelFormat::BGRA);
    auto out = buffer(kWidth, kHeight);
    ASSERT_TRUE(convertFrame(e.frame, AVCaptureVideoOrientationLandscapeRight, *out, nullptr, 4));
    // At 4x the corner square is far outside; the split between red and blue stays central.
    EXPECT_COLOUR(*out, 2, 2, 255, 0, 0);
    EXPECT_COLOUR(*out, 10, 24, 255, 0, 0);
    EXPECT_COLOUR(*out, 54, 24, 0, 0, 255);
}

TEST(FrameConversion, ShortOrBrokenFramesAreRefused) {
    auto out = buffer(kWidth, kHeight);
    std::string error;
    Encoded yuy2 = encode(CameraPixelFormat::YUY2);
    yuy2.frame.size /= 2;
    EXPECT_FALSE(convertFrame(yuy2.frame, AVCaptureVideoOrientationLandscapeRight, *out, &error));
    EXPECT_FALSE(error.empty());

    Encoded nv12 = encode(CameraPixelFormat::NV12);
    nv12.frame.size = size_t(kWidth) * kHeight;  // the chroma plane missing
    EXPECT_FALSE(convertFrame(nv12.frame, AVCaptureVideoOrientationLandscapeRight, *out));

    Encoded rgb = encode(CameraPixelFormat::RGB);
    rgb.frame.stride = kWidth;  // narrower than a row of pixels
    EXPECT_FALSE(convertFrame(rgb.frame, AVCaptureVideoOrientationLandscapeRight, *out));

    Encoded jpeg = encode(CameraPixelFormat::MJPEG);
    std::vector<uint8_t> garbage(jpeg.bytes.size(), 0x55);
    jpeg.frame.data = garbage.data();
    EXPECT_FALSE(convertFrame(jpeg.frame, AVCaptureVideoOrientationLandscapeRight, *out, &error));

    CameraFrame empty;
    EXPECT_FALSE(convertFrame(empty, AVCaptureVideoOrientationLandscapeRight, *out));
}

}  // namespace
}  // namespace hx::capture::testing

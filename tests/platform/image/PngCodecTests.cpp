#include "platform/image/png/PngCodec.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <vector>

#include "TestImages.h"
#include "platform/image/PixelConversion.h"

namespace hx::image {
namespace {

using test::encodeWithLibpng;
using test::makePattern;
using test::pixelAt;
using test::PngLayout;
using test::samePixels;
using test::TemporaryFolder;

using Bytes = std::vector<uint8_t>;

struct Size {
    int width, height;
};
constexpr Size kOddSizes[] = {{1, 1}, {3, 5}, {7, 3}, {13, 1}, {1, 9}, {33, 17}};

TEST(PngRoundTrip, EveryFormatAndOddSizeThroughFilesAndMemory) {
    TemporaryFolder folder;
    for (PixelFormat format : {PixelFormat::Grey8, PixelFormat::RGB8, PixelFormat::RGBA8}) {
        for (const Size& size : kOddSizes) {
            SCOPED_TRACE(testing::Message()
                         << pixelFormatName(format) << " " << size.width << "x" << size.height);
            // Padded rows must not leak padding into the file.
            const size_t rowBytes = size.width * bytesPerPixel(format) + 5;
            const ImageRef image = makePattern(format, size.width, size.height, rowBytes);
            const std::string path = folder.file("round-trip.png");
            std::string error;
            ASSERT_TRUE(writePng(*image, path, &error)) << error;
            const ImageRef fromFile = readPng(path, &error);
            ASSERT_TRUE(fromFile) << error;
            EXPECT_TRUE(samePixels(*image, *fromFile));

            Bytes encoded;
            ASSERT_TRUE(writePng(*image, encoded, &error)) << error;
            EXPECT_EQ(encoded, test::readBytes(path));
            const ImageRef fromMemory = readPng(encoded.data(), encoded.size(), &error);
            ASSERT_TRUE(fromMemory) << error;
            EXPECT_TRUE(samePixels(*image, *fromMemory));
        }
    }
}

TEST(PngRoundTrip, PremultipliedImagesAreWrittenAsStraightRgba) {
    const ImageRef bgra = makePattern(PixelFormat::BGRA8, 9, 7);
    Bytes encoded;
    ASSERT_TRUE(writePng(*bgra, encoded));
    const ImageRef decoded = readPng(encoded.data(), encoded.size());
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(samePixels(*convert(bgra, PixelFormat::RGBA8), *decoded));
    // Back in premultiplied form nothing is lost.
    EXPECT_TRUE(samePixels(*bgra, *convert(decoded, PixelFormat::BGRA8)));
}

TEST(PngRoundTrip, CropsAreWrittenWithoutTheirSurroundings) {
    const ImageRef image = makePattern(PixelFormat::RGB8, 10, 8);
    const ImageRef crop = image->cropped(3, 2, 5, 4);
    Bytes encoded;
    ASSERT_TRUE(writePng(*crop, encoded));
    EXPECT_TRUE(samePixels(*crop, *readPng(encoded.data(), encoded.size())));
}

PngLayout specWithRows(int width, int height, int colorType, int bitDepth, Bytes rows) {
    PngLayout layout;
    layout.width = width;
    layout.height = height;
    layout.colorType = colorType;
    layout.bitDepth = bitDepth;
    layout.rows = std::move(rows);
    return layout;
}

ImageRef decode(const Bytes& bytes) {
    std::string error;
    ImageRef image = readPng(bytes.data(), bytes.size(), &error);
    EXPECT_TRUE(image) << error;
    return image;
}

// Soft gradients with grain, in which each row filter predicts differently well.
ImageRef grainyPicture(PixelFormat format, int width, int height) {
    const size_t pixelBytes = bytesPerPixel(format);
    Bytes pixels(size_t(width) * height * pixelBytes);
    uint32_t noise = 2463534242u;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (size_t k = 0; k < pixelBytes; ++k) {
                noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
                uint8_t value = uint8_t((x * 3 + y * 2 + int(k) * 40) / 4 + (noise & 7));
                if (format == PixelFormat::RGBA8 && k == 3) value = uint8_t(255 - x);
                pixels[(size_t(y) * width + x) * pixelBytes + k] = value;
            }
    return Image::adopt(format, width, height, std::move(pixels));
}

// libpng's own reader, independent of ours, into the same layout.
ImageRef decodeWithLibpng(const Bytes& encoded, PixelFormat format) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, encoded.data(), encoded.size())) return nullptr;
    image.format = format == PixelFormat::Grey8  ? PNG_FORMAT_GRAY
                   : format == PixelFormat::RGB8 ? PNG_FORMAT_RGB
                                                 : PNG_FORMAT_RGBA;
    Bytes pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return nullptr;
    return Image::adopt(format, int(image.width), int(image.height), std::move(pixels));
}

TEST(PngCompressionChoices, EveryFilterAndLevelRoundTrips) {
    using Filter = PngCompression::Filter;
    for (PixelFormat format : {PixelFormat::Grey8, PixelFormat::RGB8, PixelFormat::RGBA8}) {
        const ImageRef picture = grainyPicture(format, 67, 41);
        const size_t rawBytes = 67 * 41 * bytesPerPixel(format);
        for (Filter filter : {Filter::None, Filter::Sub, Filter::Up, Filter::Average, Filter::Paeth,
                              Filter::Adaptive}) {
            size_t storedSize = 0;
            for (int level : {0, 1, 3, 6, 9}) {
                SCOPED_TRACE(testing::Message() << pixelFormatName(format) << " filter "
                                                << int(filter) << " level " << level);
                Bytes encoded;
                std::string error;
                ASSERT_TRUE(writePng(*picture, encoded, &error, PngCompression{filter, level}))
                    << error;
                Bytes filtered;
                ASSERT_TRUE(
                    writePng(*picture, filtered, &error, PngCompression{filter, level, true}))
                    << error;
                EXPECT_TRUE(samePixels(*picture, *decode(filtered)));
                EXPECT_TRUE(samePixels(*picture, *decode(encoded)));
                const ImageRef independent = decodeWithLibpng(encoded, format);
                ASSERT_TRUE(independent);
                EXPECT_TRUE(samePixels(*picture, *independent));
                // Stored data is larger than the pixels; any compression beats storing.
                if (level == 0) {
                    EXPECT_GT(encoded.size(), rawBytes);
                    storedSize = encoded.size();
                } else {
                    EXPECT_LT(encoded.size(), storedSize);
                }
            }
        }
    }
}

TEST(PngCompressionChoices, TheDefaultIsWhatPlainWritesUseAndBadLevelsAreRefused) {
    const ImageRef picture = grainyPicture(PixelFormat::RGB8, 120, 80);
    Bytes plain, explicitDefault;
    ASSERT_TRUE(writePng(*picture, plain));
    ASSERT_TRUE(writePng(*picture, explicitDefault, nullptr, PngCompression{}));
    EXPECT_EQ(plain, explicitDefault);
    EXPECT_TRUE(samePixels(*picture, *decodeWithLibpng(plain, PixelFormat::RGB8)));
    EXPECT_LT(plain.size(), size_t(120 * 80 * 3));
    Bytes libpngDefault;
    ASSERT_TRUE(writePng(*picture, libpngDefault, nullptr, PngCompression::libpngDefault()));
    EXPECT_TRUE(samePixels(*picture, *decode(libpngDefault)));

    for (int level : {-1, 10}) {
        Bytes out{1, 2, 3};
        std::string error;
        EXPECT_FALSE(
            writePng(*picture, out, &error, PngCompression{PngCompression::Filter::Up, level}));
        EXPECT_NE(error.find("level"), std::string::npos) << error;
        EXPECT_EQ(out, (Bytes{1, 2, 3}));
    }
}

TEST(PngDecode, PaletteImagesBecomeRgbOrRgbaWithTransparency) {
    PngLayout layout = specWithRows(3, 2, PNG_COLOR_TYPE_PALETTE, 8, {0, 1, 2, 2, 1, 0});
    layout.palette = {255, 0, 0, 0, 255, 0, 10, 20, 30};
    const ImageRef rgb = decode(encodeWithLibpng(layout));
    ASSERT_TRUE(rgb);
    EXPECT_EQ(rgb->pixelFormat(), PixelFormat::RGB8);
    EXPECT_EQ(pixelAt(*rgb, 0, 0), (Bytes{255, 0, 0}));
    EXPECT_EQ(pixelAt(*rgb, 2, 0), (Bytes{10, 20, 30}));
    EXPECT_EQ(pixelAt(*rgb, 1, 1), (Bytes{0, 255, 0}));

    layout.paletteAlpha = {0, 128};  // the third entry stays opaque
    const ImageRef rgba = decode(encodeWithLibpng(layout));
    ASSERT_TRUE(rgba);
    EXPECT_EQ(rgba->pixelFormat(), PixelFormat::RGBA8);
    EXPECT_EQ(pixelAt(*rgba, 0, 0), (Bytes{255, 0, 0, 0}));
    EXPECT_EQ(pixelAt(*rgba, 1, 0), (Bytes{0, 255, 0, 128}));
    EXPECT_EQ(pixelAt(*rgba, 2, 0), (Bytes{10, 20, 30, 255}));
}

TEST(PngDecode, GreyWithAlphaSpreadsTheGreyIntoRgba) {
    const ImageRef image = decode(
        encodeWithLibpng(specWithRows(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {40, 200, 90, 7})));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelFormat(), PixelFormat::RGBA8);
    EXPECT_EQ(pixelAt(*image, 0, 0), (Bytes{40, 40, 40, 200}));
    EXPECT_EQ(pixelAt(*image, 1, 0), (Bytes{90, 90, 90, 7}));
}

TEST(PngDecode, GreyWithATransparentKeyBecomesRgba) {
    PngLayout layout = specWithRows(3, 1, PNG_COLOR_TYPE_GRAY, 8, {5, 6, 7});
    layout.hasTransparentColour = true;
    layout.transparentGrey = 6;
    const ImageRef image = decode(encodeWithLibpng(layout));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelFormat(), PixelFormat::RGBA8);
    EXPECT_EQ(pixelAt(*image, 0, 0), (Bytes{5, 5, 5, 255}));
    EXPECT_EQ(pixelAt(*image, 1, 0)[3], 0);
}

TEST(PngDecode, SixteenBitSamplesScaleToEight) {
    // Big-endian samples, scaled by 255 / 65535 and rounded: 0x00FF is nearly 1, not 0.
    const ImageRef rgb = decode(encodeWithLibpng(specWithRows(
        2, 1, PNG_COLOR_TYPE_RGB, 16, {0xFF, 0xFF, 0, 0, 0x80, 0x80, 1, 1, 0xFF, 0xFF, 0, 0xFF})));
    ASSERT_TRUE(rgb);
    EXPECT_EQ(rgb->pixelFormat(), PixelFormat::RGB8);
    EXPECT_EQ(pixelAt(*rgb, 0, 0), (Bytes{255, 0, 128}));
    EXPECT_EQ(pixelAt(*rgb, 1, 0), (Bytes{1, 255, 1}));

    const ImageRef grey = decode(
        encodeWithLibpng(specWithRows(1, 2, PNG_COLOR_TYPE_GRAY, 16, {0x40, 0x40, 0xC0, 0xC0})));
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->pixelFormat(), PixelFormat::Grey8);
    EXPECT_EQ(pixelAt(*grey, 0, 1), (Bytes{0xC0}));

    const ImageRef rgba = decode(encodeWithLibpng(specWithRows(
        1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, {0x12, 0x12, 0, 0, 0xFF, 0xFF, 0x80, 0x80})));
    ASSERT_TRUE(rgba);
    EXPECT_EQ(pixelAt(*rgba, 0, 0), (Bytes{0x12, 0, 255, 128}));
}

TEST(PngDecode, OneBitGreyExpandsToBlackAndWhite) {
    // 10 pixels: 1011001110, padded to two bytes.
    const ImageRef image = decode(
        encodeWithLibpng(specWithRows(10, 1, PNG_COLOR_TYPE_GRAY, 1, {0b10110011, 0b10000000})));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelFormat(), PixelFormat::Grey8);
    const Bytes expected = {255, 0, 255, 255, 0, 0, 255, 255, 255, 0};
    EXPECT_EQ(Bytes(image->data(), image->data() + 10), expected);
}

TEST(PngDecode, InterlacedMatchesProgressive) {
    const ImageRef pattern = makePattern(PixelFormat::RGB8, 11, 9);
    Bytes rows(pattern->data(), pattern->data() + pattern->bytesPerRow() * 9);
    PngLayout layout = specWithRows(11, 9, PNG_COLOR_TYPE_RGB, 8, rows);
    layout.interlaced = true;
    const ImageRef interlaced = decode(encodeWithLibpng(layout));
    ASSERT_TRUE(interlaced);
    EXPECT_TRUE(samePixels(*pattern, *interlaced));
}

// Writes the chunk with a correct CRC.
void appendChunk(Bytes& png, const char* type, const Bytes& data) {
    const uint32_t length = static_cast<uint32_t>(data.size());
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(uint8_t(length >> shift));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    png.insert(png.end(), typed.begin(), typed.end());
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : typed) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc ^= 0xFFFFFFFFu;
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(uint8_t(crc >> shift));
}

Bytes headerOnlyPng(uint32_t width, uint32_t height) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    for (uint32_t value : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8) ihdr.push_back(uint8_t(value >> shift));
    }
    ihdr.insert(ihdr.end(), {8, PNG_COLOR_TYPE_RGB_ALPHA, 0, 0, 0});
    appendChunk(png, "IHDR", ihdr);
    appendChunk(png, "IDAT", {0x78, 0x9C, 0x03, 0x00});  // a tiny, far too short stream
    appendChunk(png, "IEND", {});
    return png;
}

TEST(PngDecodeErrors, BadInputGivesNullAndAMessage) {
    TemporaryFolder folder;
    std::string error;
    EXPECT_FALSE(readPng(folder.file("missing.png"), &error));
    EXPECT_NE(error.find("missing.png"), std::string::npos) << error;

    test::writeBytes(folder.file("empty.png"), {});
    error.clear();
    EXPECT_FALSE(readPng(folder.file("empty.png"), &error));
    EXPECT_NE(error.find("not a PNG"), std::string::npos) << error;

    test::writeBytes(folder.file("text.png"), Bytes(300, 'x'));
    error.clear();
    EXPECT_FALSE(readPng(folder.file("text.png"), &error));
    EXPECT_NE(error.find("not a PNG"), std::string::npos) << error;

    error.clear();
    EXPECT_FALSE(readPng(folder.path().string(), &error));  // a folder, not a file
    EXPECT_FALSE(error.empty());

    EXPECT_FALSE(readPng(nullptr, 100, &error));
    EXPECT_FALSE(readPng(folder.file("missing.png")));  // no error string wanted
}

TEST(PngDecodeErrors, EveryTruncationIsRefused) {
    Bytes encoded;
    ASSERT_TRUE(writePng(*makePattern(PixelFormat::RGBA8, 20, 15), encoded));
    for (size_t length = 0; length < encoded.size(); ++length) {
        std::string error;
        ASSERT_FALSE(readPng(encoded.data(), length, &error)) << "cut at " << length;
        ASSERT_FALSE(error.empty()) << "cut at " << length;
    }
}

TEST(PngDecodeErrors, CorruptDataIsRefused) {
    Bytes encoded;
    ASSERT_TRUE(writePng(*makePattern(PixelFormat::RGB8, 16, 16), encoded));
    // Flip bytes throughout the file after the signature: each must give null or a valid image
    // of the right size, never a crash.
    for (size_t at = 8; at < encoded.size(); at += 3) {
        Bytes damaged = encoded;
        damaged[at] ^= 0x5A;
        std::string error;
        const ImageRef image = readPng(damaged.data(), damaged.size(), &error);
        if (image) {
            EXPECT_EQ(image->width(), 16);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
    // Damage inside the image data breaks its checksum.
    Bytes damaged = encoded;
    damaged[damaged.size() - 12 - 8] ^= 0xFF;
    std::string error;
    EXPECT_FALSE(readPng(damaged.data(), damaged.size(), &error));
    EXPECT_FALSE(error.empty());
}

TEST(PngDecodeErrors, AbsurdDimensionsAreRefusedBeforeAllocating) {
    std::string error;
    const Bytes huge = headerOnlyPng(100000, 100000);
    EXPECT_FALSE(readPng(huge.data(), huge.size(), &error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;

    error.clear();
    const Bytes beyondLimits = headerOnlyPng(0x7FFFFFFF, 2);
    EXPECT_FALSE(readPng(beyondLimits.data(), beyondLimits.size(), &error));
    EXPECT_FALSE(error.empty());

    error.clear();
    const Bytes zero = headerOnlyPng(0, 5);
    EXPECT_FALSE(readPng(zero.data(), zero.size(), &error));
    EXPECT_FALSE(error.empty());

    // A sane header over missing image data fails too.
    error.clear();
    const Bytes starved = headerOnlyPng(64, 64);
    EXPECT_FALSE(readPng(starved.data(), starved.size(), &error));
    EXPECT_FALSE(error.empty());
}

TEST(PngWrite, ReplacesFilesWholeAndLeavesNoTemporaries) {
    TemporaryFolder folder;
    const std::string path = folder.file("photo.png");
    ASSERT_TRUE(writePng(*makePattern(PixelFormat::RGB8, 4, 4), path));
    const ImageRef second = makePattern(PixelFormat::Grey8, 6, 2);
    ASSERT_TRUE(writePng(*second, path));
    EXPECT_TRUE(samePixels(*second, *readPng(path)));
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"photo.png"});
}

TEST(PngWrite, FailuresReportAndLeaveNothingBehind) {
    TemporaryFolder folder;
    const ImageRef image = makePattern(PixelFormat::RGB8, 4, 4);
    std::string error;
    EXPECT_FALSE(writePng(*image, folder.file("no/such/folder/photo.png"), &error));
    EXPECT_NE(error.find("photo.png"), std::string::npos) << error;

    // A folder in the way: the rename fails and the temporary file is removed.
    std::filesystem::create_directory(folder.file("taken.png"));
    error.clear();
    EXPECT_FALSE(writePng(*image, folder.file("taken.png"), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("taken.png")));
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"taken.png"});

    EXPECT_FALSE(writePng(*image, std::string(), &error));
}

}  // namespace
}  // namespace hx::image

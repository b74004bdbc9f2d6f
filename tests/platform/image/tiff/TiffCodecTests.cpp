#include "platform/image/tiff/TiffCodec.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <random>

#include "../TestImages.h"
#include "../jpeg/CodecTestSupport.h"
#include "platform/image/PixelConversion.h"
#include "tests/support/RequireTool.h"
#include "tests/support/RunCommand.h"

namespace hx::image {
namespace {

using namespace test;
using testsupport::runCommand;
using testsupport::shellQuoted;
using Bytes = std::vector<uint8_t>;

Bytes encode(const Image& image) {
    Bytes out;
    std::string error;
    EXPECT_TRUE(encodeTiff(image, out, &error)) << error;
    return out;
}

ImageRef decode(const Bytes& file, int maxPixelSize = 0) {
    std::string error;
    ImageRef image = decodeTiff(file.data(), file.size(), maxPixelSize, &error);
    EXPECT_TRUE(image) << error;
    return image;
}

TEST(TiffRoundTrip, GreyAndRgbComeBackExactlyAtOddSizes) {
    for (PixelFormat format : {PixelFormat::Grey8, PixelFormat::RGB8}) {
        for (auto [width, height] : {std::pair{1, 1}, {17, 9}, {4033, 5}, {3, 700}}) {
            SCOPED_TRACE(testing::Message()
                         << pixelFormatName(format) << " " << width << "x" << height);
            const ImageRef image = makePattern(format, width, height);
            const Bytes file = encode(*image);
            const std::optional<ImageInfo> info = probeTiff(file.data(), file.size(), nullptr);
            ASSERT_TRUE(info);
            EXPECT_EQ(info->width, width);
            EXPECT_EQ(info->height, height);
            EXPECT_EQ(info->components, format == PixelFormat::Grey8 ? 1 : 3);
            const ImageRef decoded = decode(file);
            ASSERT_TRUE(decoded);
            EXPECT_TRUE(samePixels(*image, *decoded));
        }
    }
}

TEST(TiffRoundTrip, AlphaIsDroppedAndPaddedRowsAreHonoured) {
    const ImageRef rgba = makePattern(PixelFormat::RGBA8, 33, 17, 33 * 4 + 8);
    const ImageRef bgra = makePattern(PixelFormat::BGRA8, 33, 17, 33 * 4 + 8, true);
    const ImageRef greyPadded = makePattern(PixelFormat::Grey8, 33, 17, 40);
    for (const ImageRef& image : {rgba, bgra, greyPadded}) {
        SCOPED_TRACE(pixelFormatName(image->pixelFormat()));
        const ImageRef decoded = decode(encode(*image));
        ASSERT_TRUE(decoded);
        const PixelFormat stored =
            image->pixelFormat() == PixelFormat::Grey8 ? PixelFormat::Grey8 : PixelFormat::RGB8;
        EXPECT_TRUE(samePixels(*convert(image, stored), *decoded));
    }
}

// Files checked or rewritten by libtiff's and exiftool's programs.
class TiffFiles : public ::testing::Test {
  protected:
    void SetUp() override { HX_REQUIRE_TOOLS("tiffinfo", "tiffcp", "exiftool"); }
    std::string save(const std::string& name, const Bytes& bytes) {
        const std::string path = folder.file(name);
        writeBytes(path, bytes);
        return path;
    }
    // The file rewritten by tiffcp with `options`.
    Bytes rewritten(const Bytes& file, const std::string& options) {
        const std::string in = save("in.tif", file), out = folder.file("out.tif");
        std::filesystem::remove(out);
        runCommand("tiffcp " + options + " " + shellQuoted(in) + " " + shellQuoted(out) + " 2>&1");
        return readBytes(out);
    }
    TemporaryFolder folder;
};

TEST_F(TiffFiles, OtherProgramsReadTheTags) {
    const std::string rgbPath = save("rgb.tif", encode(*makePattern(PixelFormat::RGB8, 4033, 9)));
    const std::string info = runCommand("tiffinfo " + shellQuoted(rgbPath) + " 2>&1").output;
    for (const char* expected :
         {"Image Width: 4033 Image Length: 9", "Bits/Sample: 8", "Samples/Pixel: 3",
          "Compression Scheme: None", "Photometric Interpretation: RGB color",
          "Resolution: 72, 72 pixels/inch", "Planar Configuration: single image plane",
          "Rows/Strip: 5"}) {
        EXPECT_NE(info.find(expected), std::string::npos) << expected << "\n" << info;
    }
    EXPECT_EQ(info.find("Warning"), std::string::npos) << info;
    const std::string json = runCommand("exiftool -j " + shellQuoted(rgbPath)).output;
    for (const char* expected : {"\"BitsPerSample\": \"8 8 8\"", "\"XResolution\": 72",
                                 "\"YResolution\": 72", "\"ResolutionUnit\": \"inches\""}) {
        EXPECT_NE(json.find(expected), std::string::npos) << expected << "\n" << json;
    }
    const std::string greyPath = save("grey.tif", encode(*makePattern(PixelFormat::Grey8, 5, 5)));
    const std::string greyInfo = runCommand("tiffinfo " + shellQuoted(greyPath) + " 2>&1").output;
    EXPECT_NE(greyInfo.find("Photometric Interpretation: min-is-black"), std::string::npos)
        << greyInfo;
}

TEST_F(TiffFiles, OtherLayoutsAndCompressionsDecode) {
    const ImageRef rgb = makePattern(PixelFormat::RGB8, 67, 45);
    const ImageRef grey = makePattern(PixelFormat::Grey8, 67, 45);
    const Bytes rgbFile = encode(*rgb), greyFile = encode(*grey);
    for (const char* options :
         {"-c lzw:2", "-c zip", "-c packbits", "-r 7", "-t -w 16 -l 16", "-t -w 64 -l 32 -c zip",
          "-p separate", "-p separate -t -w 16 -l 16"}) {
        SCOPED_TRACE(options);
        for (const auto& [original, file] : {std::pair{rgb, &rgbFile}, {grey, &greyFile}}) {
            const Bytes variant = rewritten(*file, options);
            ASSERT_FALSE(variant.empty());
            const ImageRef decoded = decode(variant);
            ASSERT_TRUE(decoded);
            EXPECT_TRUE(samePixels(*original, *decoded));
        }
    }
    const ImageRef smooth = makeSmoothPicture(PixelFormat::RGB8, 192, 128);
    const ImageRef jpegInTiff = decode(rewritten(encode(*smooth), "-c jpeg:90 -r 16"));
    ASSERT_TRUE(jpegInTiff);
    EXPECT_GT(psnr(*smooth, *jpegInTiff), 30);
}

// ---- Files written directly with libtiff ------------------------------------------------------

struct TiffRecipe {
    uint32_t width = 4, height = 3;
    uint16_t samples = 1, bits = 8, photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    std::vector<uint16_t> extraSamples;
    std::vector<uint16_t> colourMap;  // 3 × 2^bits entries for palette files
    Bytes rows;                       // packed rows, 16-bit samples in native order
};

Bytes writeWithLibtiff(const std::string& path, const TiffRecipe& recipe) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr) return {};
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, recipe.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, recipe.height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, recipe.bits);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, recipe.samples);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, recipe.photometric);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 2u);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, recipe.orientation);
    if (!recipe.extraSamples.empty())
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, uint16_t(recipe.extraSamples.size()),
                     recipe.extraSamples.data());
    if (!recipe.colourMap.empty()) {
        const size_t n = recipe.colourMap.size() / 3;
        TIFFSetField(tiff, TIFFTAG_COLORMAP, recipe.colourMap.data(), recipe.colourMap.data() + n,
                     recipe.colourMap.data() + 2 * n);
    }
    const size_t rowBytes = recipe.rows.size() / recipe.height;
    for (uint32_t y = 0; y < recipe.height; ++y)
        TIFFWriteScanline(tiff, const_cast<uint8_t*>(recipe.rows.data()) + rowBytes * y, y, 0);
    TIFFClose(tiff);
    return readBytes(path);
}

// Files written with libtiff itself: no outside program needed.
class TiffLibraryFiles : public ::testing::Test {
  protected:
    TemporaryFolder folder;
};

TEST_F(TiffLibraryFiles, GreyVariantsPalettesAndDeepSamplesDecode) {
    const std::string path = folder.file("libtiff.tif");
    TiffRecipe whiteIsZero;
    whiteIsZero.photometric = PHOTOMETRIC_MINISWHITE;
    whiteIsZero.rows = {0, 255, 10, 200, 1, 2, 3, 4, 5, 6, 7, 8};
    ImageRef decoded = decode(writeWithLibtiff(path, whiteIsZero));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixelFormat(), PixelFormat::Grey8);
    EXPECT_EQ(pixelAt(*decoded, 0, 0), Bytes{255});
    EXPECT_EQ(pixelAt(*decoded, 2, 0), Bytes{245});

    TiffRecipe greyAlpha;
    greyAlpha.samples = 2;
    greyAlpha.extraSamples = {EXTRASAMPLE_UNASSALPHA};
    for (int i = 0; i < 12; ++i) greyAlpha.rows.insert(greyAlpha.rows.end(), {uint8_t(i * 20), 9});
    decoded = decode(writeWithLibtiff(path, greyAlpha));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(pixelAt(*decoded, 3, 2), Bytes{220});

    TiffRecipe rgba;
    rgba.samples = 4;
    rgba.photometric = PHOTOMETRIC_RGB;
    rgba.extraSamples = {EXTRASAMPLE_ASSOCALPHA};
    for (int i = 0; i < 12; ++i) rgba.rows.insert(rgba.rows.end(), {uint8_t(i), 50, 100, 255});
    decoded = decode(writeWithLibtiff(path, rgba));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixelFormat(), PixelFormat::RGB8);
    EXPECT_EQ(pixelAt(*decoded, 1, 1), (Bytes{5, 50, 100}));

    TiffRecipe palette;
    palette.photometric = PHOTOMETRIC_PALETTE;
    palette.colourMap.assign(3 * 256, 0);
    palette.colourMap[7] = 0xFFFF;        // entry 7: red
    palette.colourMap[256 + 9] = 0x8080;  // entry 9: half green
    palette.rows.assign(12, 7);
    palette.rows[5] = 9;
    const Bytes paletteFile = writeWithLibtiff(path, palette);
    decoded = decode(paletteFile);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(pixelAt(*decoded, 0, 0), (Bytes{255, 0, 0}));
    EXPECT_EQ(pixelAt(*decoded, 1, 1), (Bytes{0, 128, 0}));
    EXPECT_EQ(probeTiff(paletteFile.data(), paletteFile.size(), nullptr)->components, 3);
    // Rows come back as stored; turning the picture is left to whoever reads the Orientation.
    palette.orientation = ORIENTATION_BOTRIGHT;
    decoded = decode(writeWithLibtiff(path, palette));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(pixelAt(*decoded, 1, 1), (Bytes{0, 128, 0}));

    TiffRecipe deep;
    deep.bits = 16;
    deep.samples = 3;
    deep.photometric = PHOTOMETRIC_RGB;
    for (int i = 0; i < 12; ++i) {
        const uint16_t samples[3] = {uint16_t(i * 0x1000), 0xFFFF, 0x8000};
        const auto* bytes = reinterpret_cast<const uint8_t*>(samples);
        deep.rows.insert(deep.rows.end(), bytes, bytes + 6);
    }
    decoded = decode(writeWithLibtiff(path, deep));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(pixelAt(*decoded, 2, 0), (Bytes{0x20, 0xFF, 0x80}));
}

TEST(TiffThumbnail, SizesAreExactAndSmallPicturesStay) {
    const ImageRef large = makeSmoothPicture(PixelFormat::RGB8, 4032, 3024);
    const ImageRef thumbnail = decode(encode(*large), 200);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->width(), 200);
    EXPECT_EQ(thumbnail->height(), 150);
    const ImageRef grey = decode(encode(*makeSmoothPicture(PixelFormat::Grey8, 300, 400)), 200);
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->pixelFormat(), PixelFormat::Grey8);
    EXPECT_EQ(grey->width(), 150);
    EXPECT_EQ(grey->height(), 200);
    const ImageRef small = makePattern(PixelFormat::RGB8, 100, 50);
    const ImageRef same = decode(encode(*small), 200);
    ASSERT_TRUE(same);
    EXPECT_TRUE(samePixels(*small, *same));
    const ImageRef constant = makeConstant(PixelFormat::RGB8, 1001, 999, {9, 99, 199});
    const ImageRef shrunk = decode(encode(*constant), 200);
    ASSERT_TRUE(shrunk);
    EXPECT_EQ(pixelAt(*shrunk, 0, 0), (Bytes{9, 99, 199}));
    EXPECT_EQ(pixelAt(*shrunk, 199, 198), (Bytes{9, 99, 199}));
}

TEST(TiffThumbnail, EachPixelIsTheAverageOfTheAreaItCovers) {
    // Five pixels into two: each covers two and a half.
    const Bytes row = {10, 20, 30, 40, 50};
    ImageRef shrunk = decode(encode(*Image::copy(PixelFormat::Grey8, 5, 1, row.data(), 5)), 2);
    ASSERT_TRUE(shrunk);
    EXPECT_EQ(pixelAt(*shrunk, 0, 0), Bytes{18});  // (10 + 20 + 15) / 2.5
    EXPECT_EQ(pixelAt(*shrunk, 1, 0), Bytes{42});  // (15 + 40 + 50) / 2.5

    // Far larger ratios keep constants constant and averages right.
    Bytes ramp(4000 * 2);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = uint8_t(i % 4000 / 16);
    shrunk = decode(encode(*Image::copy(PixelFormat::Grey8, 4000, 2, ramp.data(), 4000)), 4);
    ASSERT_TRUE(shrunk);
    ASSERT_EQ(shrunk->width(), 4);
    for (int x = 0; x < 4; ++x) EXPECT_NEAR(pixelAt(*shrunk, x, 0)[0], (x * 1000 + 499.5) / 16, 1);
    const ImageRef constant = makeConstant(PixelFormat::RGB8, 3000, 2, {77, 0, 255});
    shrunk = decode(encode(*constant), 10);
    ASSERT_TRUE(shrunk);
    for (int x = 0; x < shrunk->width(); ++x)
        EXPECT_EQ(pixelAt(*shrunk, x, 0), (Bytes{77, 0, 255}));
}

// ---- Broken input -----------------------------------------------------------------------------

// A little-endian grey TIFF made by hand, its directory before its one strip, so that cutting the
// file leaves a readable directory over missing pixels.
Bytes handMadeGreyTiff(uint32_t width, uint32_t height, const Bytes& pixels) {
    Bytes file = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto put16 = [&](uint16_t v) { file.insert(file.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) file.push_back(uint8_t(v >> (8 * i)));
    };
    const uint16_t entries = 9;
    const uint32_t dataOffset = 8 + 2 + entries * 12 + 4;
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t value) {
        put16(tag), put16(type), put32(1);
        type == 3 ? (put16(uint16_t(value)), put16(0)) : put32(value);
    };
    put16(entries);
    entry(256, 4, width);
    entry(257, 4, height);
    entry(258, 3, 8);
    entry(259, 3, 1);
    entry(262, 3, 1);
    entry(273, 4, dataOffset);
    entry(277, 3, 1);
    entry(278, 4, height);
    entry(279, 4, uint32_t(uint64_t{width} * height));
    put32(0);
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

void expectRefused(const Bytes& bytes, const std::string& what) {
    SCOPED_TRACE(what);
    std::string error;
    EXPECT_FALSE(decodeTiff(bytes.data(), bytes.size(), 0, &error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(decodeTiff(bytes.data(), bytes.size(), 100, &error));
    EXPECT_FALSE(error.empty());
}

TEST(TiffBroken, DamagedFilesAreRefusedQuietly) {
    Bytes pixels(40 * 30);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 7);
    const Bytes handMade = handMadeGreyTiff(40, 30, pixels);
    const ImageRef decoded = decode(handMade);
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(samePixels(*Image::copy(PixelFormat::Grey8, 40, 30, pixels.data(), 40), *decoded));

    testing::internal::CaptureStderr();
    const Bytes ours = encode(*makePattern(PixelFormat::RGB8, 50, 40));
    std::mt19937 random(11);
    Bytes garbage(3000);
    for (uint8_t& byte : garbage) byte = uint8_t(random());
    expectRefused({}, "no bytes");
    expectRefused(garbage, "garbage");
    garbage[0] = 'I', garbage[1] = 'I', garbage[2] = 42, garbage[3] = 0;
    expectRefused(garbage, "garbage after a TIFF header");
    expectRefused(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0}, "a JPEG header");
    expectRefused(Bytes(handMade.begin(), handMade.begin() + 60), "directory cut short");
    expectRefused(Bytes(handMade.begin(), handMade.end() - 100), "pixels cut short");
    expectRefused(Bytes(ours.begin(), ours.end() - 20), "our file without its directory end");
    expectRefused(Bytes(ours.begin(), ours.begin() + ours.size() / 2), "our file cut in half");
    EXPECT_FALSE(probeTiff(garbage.data(), garbage.size(), nullptr));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(TiffBroken, HugeAndEmptyHeadersAreRefusedBeforeDecoding) {
    const Bytes huge = handMadeGreyTiff(100000, 100000, Bytes(64, 1));
    const std::optional<ImageInfo> info = probeTiff(huge.data(), huge.size(), nullptr);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 100000);
    std::string error;
    EXPECT_FALSE(decodeTiff(huge.data(), huge.size(), 200, &error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    expectRefused(handMadeGreyTiff(70000, 1, Bytes(70000, 1)), "a side over the limit");
    expectRefused(handMadeGreyTiff(0, 10, Bytes(10, 1)), "no width");
}

}  // namespace
}  // namespace hx::image

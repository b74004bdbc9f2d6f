#include "platform/image/jpeg/JpegCodec.h"

#include <gtest/gtest.h>

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <random>

#include "../TestImages.h"
#include "CodecTestSupport.h"
#include "platform/image/BitmapContext.h"
#include "platform/image/PixelConversion.h"
#include "tests/support/RequireTool.h"
#include "tests/support/RunCommand.h"

namespace hx::image {
namespace {

using namespace test;
using testsupport::runCommand;
using testsupport::shellQuoted;
using Bytes = std::vector<uint8_t>;

Bytes encode(const Image& image, double quality = 0.9, const Bytes& exif = {}) {
    Bytes out;
    std::string error;
    EXPECT_TRUE(encodeJpeg(image, quality, exif, out, &error)) << error;
    return out;
}

ImageRef decode(const Bytes& file, int maxPixelSize = 0) {
    std::string error;
    ImageRef image = decodeJpeg(file.data(), file.size(), maxPixelSize, &error);
    EXPECT_TRUE(image) << error;
    return image;
}

// Other programs' view of the file.
class JpegFiles : public ::testing::Test {
  protected:
    std::string save(const std::string& name, const Bytes& bytes) {
        const std::string path = folder.file(name);
        writeBytes(path, bytes);
        return path;
    }
    // djpeg's decoding, which uses the same settings as a full decode of ours.
    ImageRef djpeg(const std::string& path) {
        if (!testsupport::toolInstalled("djpeg")) return nullptr;
        const std::string out = path + ".pnm";
        runCommand("djpeg -pnm -outfile " + shellQuoted(out) + " " + shellQuoted(path));
        return parsePnm(readBytes(out));
    }
    std::string exiftool(const std::string& path) {
        return runCommand("exiftool -j " + shellQuoted(path) + " 2>&1").output;
    }
    void SetUp() override { HX_REQUIRE_TOOLS("djpeg", "cjpeg", "exiftool"); }
    TemporaryFolder folder;
};

TEST_F(JpegFiles, GreyIsOneComponentAndMatchesTheReferenceDecoder) {
    const ImageRef picture = makeSmoothPicture(PixelFormat::Grey8, 257, 131);
    const Bytes file = encode(*picture);
    const std::string path = save("grey.jpg", file);

    const std::optional<ImageInfo> info = probeJpeg(file.data(), file.size(), nullptr);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 257);
    EXPECT_EQ(info->height, 131);
    EXPECT_EQ(info->components, 1);
    const ImageRef decoded = decode(file);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixelFormat(), PixelFormat::Grey8);
    EXPECT_GT(psnr(*picture, *decoded), 40);
    const ImageRef reference = djpeg(path);
    ASSERT_TRUE(reference);
    EXPECT_TRUE(samePixels(*reference, *decoded));
    const std::string json = exiftool(path);
    EXPECT_NE(json.find("\"ColorComponents\": 1"), std::string::npos) << json;
    EXPECT_NE(json.find("\"ImageWidth\": 257"), std::string::npos) << json;
}

TEST_F(JpegFiles, EveryColourFormatGivesTheSameFile) {
    const int width = 301, height = 203;
    const ImageRef rgb = makeSmoothPicture(PixelFormat::RGB8, width, height);
    // Padded rows, filled with a marker that must not reach the file.
    const ImageRef bgra = makeSmoothPicture(PixelFormat::BGRA8, width, height, width * 4 + 12);
    const ImageRef rgba = makeSmoothPicture(PixelFormat::RGBA8, width, height);
    const Bytes file = encode(*rgb);
    EXPECT_EQ(encode(*bgra), file);
    EXPECT_EQ(encode(*rgba), file);

    const std::string path = save("colour.jpg", file);
    const ImageRef decoded = decode(file);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixelFormat(), PixelFormat::RGB8);
    EXPECT_GT(psnr(*rgb, *decoded), 34);
    const ImageRef reference = djpeg(path);
    ASSERT_TRUE(reference);
    EXPECT_TRUE(samePixels(*reference, *decoded));
    const std::string json = exiftool(path);
    EXPECT_NE(json.find("\"YCbCrSubSampling\": \"YCbCr4:2:0 (2 2)\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"ColorComponents\": 3"), std::string::npos) << json;
    EXPECT_NE(json.find("\"JFIFVersion\""), std::string::npos) << json;
}

TEST_F(JpegFiles, QualityMatchesTheReferenceEncoderScale) {
    const ImageRef rgb = makeSmoothPicture(PixelFormat::RGB8, 64, 48);
    const std::string source = save("source.ppm", makePnm(*rgb));
    const std::pair<double, int> settings[] = {{0.9, 90}, {0.5, 50}, {0.0, 1}, {1.0, 100}};
    for (const auto& [quality, scale] : settings) {
        SCOPED_TRACE(quality);
        const std::string reference = folder.file("reference.jpg");
        runCommand("cjpeg -baseline -quality " + std::to_string(scale) + " -outfile " +
                   shellQuoted(reference) + " " + shellQuoted(source));
        EXPECT_EQ(encode(*rgb, quality), readBytes(reference));
    }
}

const std::pair<int, int> kOddSizes[] = {{1, 1}, {17, 9}, {4033, 3}, {2, 31}};

TEST(JpegRoundTrip, OddSizesSurvive) {
    for (auto [width, height] : kOddSizes) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        const ImageRef rgb = makeSmoothPicture(PixelFormat::RGB8, width, height);
        const ImageRef decoded = decode(encode(*rgb));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->width(), width);
        EXPECT_EQ(decoded->height(), height);
        // Tiny pictures are all edges, which 4:2:0 chroma blurs; a misplaced row would do far
        // worse.
        EXPECT_GT(psnr(*rgb, *decoded), 18);
    }
}

TEST_F(JpegFiles, OddSizesDecodeLikeTheReferenceDecoder) {
    for (auto [width, height] : kOddSizes) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        const Bytes file = encode(*makeSmoothPicture(PixelFormat::RGB8, width, height));
        const ImageRef decoded = decode(file);
        ASSERT_TRUE(decoded);
        const ImageRef reference = djpeg(save("odd.jpg", file));
        ASSERT_TRUE(reference);
        EXPECT_TRUE(samePixels(*reference, *decoded));
    }
}

Bytes fileWithExif(const Bytes& exif) {
    return encode(*makeSmoothPicture(PixelFormat::BGRA8, 40, 30), 0.9, exif);
}

TEST(JpegExif, SegmentFollowsStartOfImage) {
    const Bytes exif = makeExifBlock("Halidex");
    const Bytes file = fileWithExif(exif);
    ASSERT_GT(file.size(), 12u + exif.size());
    const Bytes head(file.begin(), file.begin() + 4);
    EXPECT_EQ(head, (Bytes{0xFF, 0xD8, 0xFF, 0xE1}));
    EXPECT_EQ(size_t(file[4]) << 8 | file[5], exif.size() + 8);
    EXPECT_EQ(0, std::memcmp(file.data() + 6, "Exif\0\0", 6));
    EXPECT_TRUE(std::equal(exif.begin(), exif.end(), file.begin() + 12));
    const char jfif[] = "JFIF";
    EXPECT_EQ(std::search(file.begin(), file.end(), jfif, jfif + 4), file.end());

    EXPECT_EQ(jpegExifBlock(file.data(), file.size()), exif);
    EXPECT_TRUE(decode(file));
}

TEST_F(JpegFiles, ExiftoolReadsTheExifSegment) {
    const std::string json = exiftool(save("exif.jpg", fileWithExif(makeExifBlock("Halidex"))));
    EXPECT_NE(json.find("\"Make\": \"Halidex\""), std::string::npos) << json;
    EXPECT_EQ(json.find("Warning"), std::string::npos) << json;
}

TEST(JpegExif, BlocksUpToTheSegmentLimitAreWrittenAndLargerOnesRefused) {
    const ImageRef grey = makeSmoothPicture(PixelFormat::Grey8, 8, 8);
    const Bytes largest = makeExifBlock("Halidex", kMaxJpegExifBlockBytes - 34);
    ASSERT_EQ(largest.size(), kMaxJpegExifBlockBytes);
    const Bytes file = encode(*grey, 0.9, largest);
    EXPECT_EQ(jpegExifBlock(file.data(), file.size()), largest);

    Bytes tooLarge = largest;
    tooLarge.push_back(0);
    Bytes out = {1, 2, 3};
    std::string error;
    EXPECT_FALSE(encodeJpeg(*grey, 0.9, tooLarge, out, &error));
    EXPECT_NE(error.find("Exif"), std::string::npos) << error;
    EXPECT_EQ(out, (Bytes{1, 2, 3}));
}

TEST(JpegExif, ScanningFindsTheExifSegmentAmongOthersAndSurvivesDamage) {
    const ImageRef grey = makeSmoothPicture(PixelFormat::Grey8, 8, 8);
    const Bytes plain = encode(*grey);  // SOI, then JFIF's APP0
    EXPECT_TRUE(jpegExifBlock(plain.data(), plain.size()).empty());

    const Bytes exif = makeExifBlock("Halidex");
    auto segment = [](uint8_t marker, const Bytes& payload) {
        Bytes bytes = {0xFF, marker, uint8_t((payload.size() + 2) >> 8),
                       uint8_t(payload.size() + 2)};
        bytes.insert(bytes.end(), payload.begin(), payload.end());
        return bytes;
    };
    Bytes exifPayload = {'E', 'x', 'i', 'f', 0, 0};
    exifPayload.insert(exifPayload.end(), exif.begin(), exif.end());
    const Bytes xmp = segment(0xE1, Bytes{'h', 't', 't', 'p', ':', '/', '/'});
    // After JFIF's APP0 and an XMP APP1, with fill bytes before the marker.
    Bytes file(plain.begin(), plain.begin() + 20);
    file.insert(file.end(), xmp.begin(), xmp.end());
    file.push_back(0xFF);
    const Bytes exifSegment = segment(0xE1, exifPayload);
    file.insert(file.end(), exifSegment.begin(), exifSegment.end());
    file.insert(file.end(), plain.begin() + 20, plain.end());
    ASSERT_EQ(plain[20], 0xFF);
    EXPECT_EQ(jpegExifBlock(file.data(), file.size()), exif);
    EXPECT_TRUE(decode(file));

    // Cut inside the Exif segment, a length running past the end, or no JPEG at all.
    for (size_t cut = 0; cut < 20 + xmp.size() + exifSegment.size(); cut += 7)
        EXPECT_TRUE(jpegExifBlock(file.data(), cut).empty()) << cut;
    Bytes badLength = file;
    badLength[20 + xmp.size() + 3] = 0xFF;
    badLength[20 + xmp.size() + 4] = 0xFF;
    EXPECT_TRUE(jpegExifBlock(badLength.data(), badLength.size()).empty());
    EXPECT_TRUE(jpegExifBlock(nullptr, 0).empty());
    EXPECT_TRUE(jpegExifBlock(exif.data(), exif.size()).empty());
    // Segments after the image data are not metadata.
    Bytes afterScan = plain;
    afterScan.insert(afterScan.end() - 2, exifSegment.begin(), exifSegment.end());
    EXPECT_TRUE(jpegExifBlock(afterScan.data(), afterScan.size()).empty());
}

TEST(JpegThumbnail, SizesAreExactAndFollowTheLongSide) {
    const ImageRef large = makeSmoothPicture(PixelFormat::RGB8, 4032, 3024);
    const Bytes file = encode(*large);
    const ImageRef full = decode(file);
    for (auto [maxPixelSize, width, height] :
         {std::tuple{200, 200, 150}, {1000, 1000, 750}, {4032, 4032, 3024}}) {
        SCOPED_TRACE(maxPixelSize);
        const ImageRef thumbnail = decode(file, maxPixelSize);
        ASSERT_TRUE(thumbnail);
        EXPECT_EQ(thumbnail->pixelFormat(), PixelFormat::RGB8);
        EXPECT_EQ(thumbnail->width(), width);
        EXPECT_EQ(thumbnail->height(), height);
        // Close to the full picture averaged down the slow way.
        auto context = BitmapContext::create(PixelFormat::RGB8, width, height);
        context->drawImage(full, CGRectMake(0, 0, double(width), double(height)));
        EXPECT_GT(psnr(*context->makeImage(), *thumbnail), 32);
    }
    const ImageRef portrait =
        decode(encode(*makeSmoothPicture(PixelFormat::Grey8, 750, 1000)), 200);
    ASSERT_TRUE(portrait);
    EXPECT_EQ(portrait->pixelFormat(), PixelFormat::Grey8);
    EXPECT_EQ(portrait->width(), 150);
    EXPECT_EQ(portrait->height(), 200);
}

TEST(JpegThumbnail, SmallPicturesStayAsTheyAreAndConstantOnesStayConstant) {
    const Bytes small = encode(*makeSmoothPicture(PixelFormat::RGB8, 100, 50));
    const ImageRef thumbnail = decode(small, 200);
    ASSERT_TRUE(thumbnail);
    EXPECT_TRUE(samePixels(*decode(small), *thumbnail));

    const std::vector<uint8_t> colour = {90, 160, 200};
    const ImageRef constant = makeConstant(PixelFormat::RGB8, 1601, 1203, colour);
    const ImageRef shrunk = decode(encode(*constant), 200);
    ASSERT_TRUE(shrunk);
    EXPECT_EQ(shrunk->width(), 200);
    EXPECT_EQ(shrunk->height(), 150);
    const std::vector<uint8_t> first = pixelAt(*shrunk, 0, 0);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(first[k], colour[k], 2);
    for (int y = 0; y < shrunk->height(); ++y)
        for (int x = 0; x < shrunk->width(); ++x) ASSERT_EQ(pixelAt(*shrunk, x, y), first);
}

// ---- Decoding into the memory of an earlier picture -------------------------------------------

ImageRef decodeRecycling(const Bytes& file, ImageRef recycled, int maxPixelSize = 0) {
    std::string error;
    ImageRef image =
        decodeJpeg(file.data(), file.size(), maxPixelSize, &error, std::move(recycled));
    EXPECT_TRUE(image) << error;
    return image;
}

TEST(JpegRecycling, DecodingIntoAnEarlierPicturesMemoryGivesTheSamePixels) {
    const Bytes colour = encode(*makeSmoothPicture(PixelFormat::RGB8, 640, 480));
    // Different content of the same size, so stale pixels would show.
    const Bytes other = encode(*makeConstant(PixelFormat::RGB8, 640, 480, {200, 30, 90}));
    const Bytes grey = encode(*makeSmoothPicture(PixelFormat::Grey8, 301, 203));
    const Bytes larger = encode(*makeSmoothPicture(PixelFormat::RGB8, 800, 600));
    const ImageRef expectedColour = decode(colour);
    const ImageRef expectedOther = decode(other);
    const ImageRef expectedGrey = decode(grey);
    const ImageRef expectedLarger = decode(larger);
    const ImageRef expectedThumbnail = decode(colour, 100);

    ImageRef previous = decode(other);
    const uint8_t* address = previous->data();
    ImageRef image = decodeRecycling(colour, std::move(previous));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->data(), address) << "the memory was not reused";
    EXPECT_TRUE(samePixels(*expectedColour, *image));

    // Back and forth between pictures, and into a smaller one of another format.
    image = decodeRecycling(other, std::move(image));
    EXPECT_TRUE(samePixels(*expectedOther, *image));
    image = decodeRecycling(grey, std::move(image));
    EXPECT_EQ(image->data(), address);
    EXPECT_TRUE(samePixels(*expectedGrey, *image));
    image = decodeRecycling(colour, std::move(image));
    EXPECT_TRUE(samePixels(*expectedColour, *image));
    // Thumbnails and pictures larger than the memory come out as they would anyway.
    image = decodeRecycling(colour, std::move(image), 100);
    EXPECT_TRUE(samePixels(*expectedThumbnail, *image));
    image = decodeRecycling(larger, decode(colour));
    EXPECT_TRUE(samePixels(*expectedLarger, *image));
}

TEST(JpegRecycling, PicturesStillInUseAreLeftAlone) {
    const Bytes colour = encode(*makeSmoothPicture(PixelFormat::RGB8, 320, 240));
    const Bytes other = encode(*makeConstant(PixelFormat::RGB8, 320, 240, {10, 240, 60}));
    const ImageRef kept = decode(colour);
    const ImageRef expectedOther = decode(other);

    const ImageRef copy = decode(colour);
    ASSERT_TRUE(samePixels(*kept, *copy));
    const ImageRef held = copy;  // a second reference
    ImageRef image = decodeRecycling(other, held);
    EXPECT_NE(image->data(), copy->data());
    EXPECT_TRUE(samePixels(*expectedOther, *image));
    EXPECT_TRUE(samePixels(*kept, *copy));

    const ImageRef crop = copy->cropped(10, 10, 100, 100);
    image = decodeRecycling(other, decode(colour)->cropped(0, 0, 320, 240));
    EXPECT_TRUE(samePixels(*expectedOther, *image));
    image = decodeRecycling(other, copy);
    EXPECT_TRUE(samePixels(*expectedOther, *image));
    EXPECT_TRUE(samePixels(*kept->cropped(10, 10, 100, 100), *crop));

    // A failed decode leaves the caller without the picture it handed over, and nothing else.
    const Bytes truncated(colour.begin(), colour.begin() + colour.size() / 2);
    std::string error;
    EXPECT_FALSE(decodeJpeg(truncated.data(), truncated.size(), 0, &error, decode(colour)));
    EXPECT_FALSE(error.empty());
}

// ---- Other kinds of JPEG ----------------------------------------------------------------------

struct TestJpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// A CMYK or YCCK file the way Adobe writes them: inks inverted, APP14 marker present.
Bytes encodeCmyk(const Bytes& cmyk, int width, int height, J_COLOR_SPACE stored) {
    jpeg_compress_struct info{};
    TestJpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = [](j_common_ptr c) {
        std::longjmp(reinterpret_cast<TestJpegError*>(c->err)->jump, 1);
    };
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(error.jump) == 0) {
        jpeg_create_compress(&info);
        jpeg_mem_dest(&info, &buffer, &size);
        info.image_width = JDIMENSION(width);
        info.image_height = JDIMENSION(height);
        info.input_components = 4;
        info.in_color_space = JCS_CMYK;
        jpeg_set_defaults(&info);
        jpeg_set_colorspace(&info, stored);
        jpeg_set_quality(&info, 95, TRUE);
        jpeg_start_compress(&info, TRUE);
        while (info.next_scanline < info.image_height) {
            JSAMPROW row =
                const_cast<uint8_t*>(cmyk.data()) + size_t(width) * 4 * info.next_scanline;
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
    }
    jpeg_destroy_compress(&info);
    Bytes file(buffer, buffer + size);
    std::free(buffer);
    return file;
}

TEST(JpegKinds, CmykAndYcckDecodeToRgb) {
    // Quadrants of red, green, blue and white, in inverted inks.
    const int size = 32;
    const uint8_t inks[4][4] = {
        {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};
    const uint8_t rgb[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    Bytes cmyk;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const uint8_t* ink = inks[(y / 16) * 2 + x / 16];
            cmyk.insert(cmyk.end(), ink, ink + 4);
        }
    for (J_COLOR_SPACE stored : {JCS_CMYK, JCS_YCCK}) {
        SCOPED_TRACE(stored);
        const Bytes file = encodeCmyk(cmyk, size, size, stored);
        ASSERT_FALSE(file.empty());
        EXPECT_EQ(probeJpeg(file.data(), file.size(), nullptr)->components, 4);
        const ImageRef decoded = decode(file);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->pixelFormat(), PixelFormat::RGB8);
        for (int q = 0; q < 4; ++q) {
            const std::vector<uint8_t> centre =
                pixelAt(*decoded, (q % 2) * 16 + 8, (q / 2) * 16 + 8);
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(centre[k], rgb[q][k], 12) << q;
        }
    }
}

TEST_F(JpegFiles, ProgressiveFilesDecodeLikeTheReferenceDecoder) {
    const ImageRef rgb = makeSmoothPicture(PixelFormat::RGB8, 123, 77);
    const std::string source = save("source.ppm", makePnm(*rgb));
    const std::string path = folder.file("progressive.jpg");
    runCommand("cjpeg -progressive -outfile " + shellQuoted(path) + " " + shellQuoted(source));
    const Bytes file = readBytes(path);
    const ImageRef decoded = decode(file);
    ASSERT_TRUE(decoded);
    EXPECT_GT(psnr(*rgb, *decoded), 30);
    EXPECT_TRUE(samePixels(*djpeg(path), *decoded));
    const ImageRef thumbnail = decode(file, 40);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->width(), 40);
    EXPECT_EQ(thumbnail->height(), 25);
}

// ---- Broken input -----------------------------------------------------------------------------

void expectRefused(const Bytes& bytes, const std::string& what) {
    SCOPED_TRACE(what);
    std::string error;
    EXPECT_FALSE(decodeJpeg(bytes.data(), bytes.size(), 0, &error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(decodeJpeg(bytes.data(), bytes.size(), 64, &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(JpegFiles, BrokenFilesAreRefusedQuietly) {
    const ImageRef rgb = makeSmoothPicture(PixelFormat::RGB8, 160, 120);
    const Bytes baseline = encode(*rgb);
    const std::string source = save("source.ppm", makePnm(*rgb));
    const std::string path = folder.file("progressive.jpg");
    runCommand("cjpeg -progressive -outfile " + shellQuoted(path) + " " + shellQuoted(source));
    const Bytes progressive = readBytes(path);
    ASSERT_FALSE(progressive.empty());

    testing::internal::CaptureStderr();
    std::mt19937 random(7);
    Bytes garbage(5000);
    for (uint8_t& byte : garbage) byte = uint8_t(random());
    expectRefused({}, "no bytes");
    expectRefused({0xFF}, "one byte");
    expectRefused(garbage, "garbage");
    garbage[0] = 0xFF, garbage[1] = 0xD8, garbage[2] = 0xFF;
    expectRefused(garbage, "garbage after a start marker");
    expectRefused(Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13}, "a PNG signature");
    expectRefused(Bytes{'I', 'I', 42, 0, 8, 0, 0, 0}, "a TIFF header");
    for (const Bytes* file : {&baseline, &progressive}) {
        for (double fraction : {0.01, 0.05, 0.3, 0.6, 0.95}) {
            const Bytes cut(file->begin(), file->begin() + size_t(fraction * file->size()));
            expectRefused(cut, "cut at " + std::to_string(fraction));
        }
        // Image data damaged in the middle: a marker where entropy-coded data should be.
        Bytes damaged = *file;
        std::fill(damaged.end() - damaged.size() / 3, damaged.end() - 2, 0xFF);
        expectRefused(damaged, "damaged image data");
    }
    EXPECT_FALSE(probeJpeg(baseline.data(), 100, nullptr));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(JpegLimits, HugeAndEmptyHeadersAreRefusedBeforeDecoding) {
    const Bytes file = encode(*makeSmoothPicture(PixelFormat::Grey8, 16, 16));
    size_t sof = 0;
    for (size_t i = 2; i + 9 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == 0xC0) sof = i;
    ASSERT_NE(sof, 0u);
    auto withSize = [&](int width, int height) {
        Bytes patched = file;
        patched[sof + 5] = uint8_t(height >> 8), patched[sof + 6] = uint8_t(height);
        patched[sof + 7] = uint8_t(width >> 8), patched[sof + 8] = uint8_t(width);
        return patched;
    };
    const Bytes huge = withSize(65000, 65000);
    const std::optional<ImageInfo> info = probeJpeg(huge.data(), huge.size(), nullptr);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 65000);
    std::string error;
    EXPECT_FALSE(decodeJpeg(huge.data(), huge.size(), 200, &error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    expectRefused(withSize(0, 16), "zero width");
    expectRefused(withSize(65535, 1), "wider than libjpeg allows");
}

TEST_F(JpegFiles, EndlessProgressiveScansAreCutShort) {
    const std::string source =
        save("source.pgm", makePnm(*makeSmoothPicture(PixelFormat::Grey8, 16, 16)));
    // A DC scan and one AC scan, neither refining the other, so repeating the last is valid.
    const std::string script = folder.file("scans.txt");
    writeBytes(script, Bytes{'0', ':', '0', '-', '0', ',', '0', ',', '0', ';', '0',
                             ':', '1', '-', '6', '3', ',', '0', ',', '0', ';'});
    const std::string path = folder.file("progressive.jpg");
    runCommand("cjpeg -scans " + shellQuoted(script) + " -outfile " + shellQuoted(path) + " " +
               shellQuoted(source));
    const Bytes file = readBytes(path);
    ASSERT_TRUE(decode(file));
    // The last scan with the Huffman table written just before it.
    size_t tables = 0, lastScan = 0;
    for (size_t i = 2; i + 1 < file.size(); ++i) {
        if (file[i] == 0xFF && file[i + 1] == 0xC4) tables = i;
        if (file[i] == 0xFF && file[i + 1] == 0xDA) lastScan = i;
    }
    ASSERT_TRUE(tables != 0 && tables < lastScan);
    Bytes repeated(file.begin(), file.end() - 2);
    const Bytes scan(file.begin() + tables, file.end() - 2);
    for (int k = 0; k < 1100; ++k) repeated.insert(repeated.end(), scan.begin(), scan.end());
    repeated.insert(repeated.end(), {0xFF, 0xD9});
    std::string error;
    EXPECT_FALSE(decodeJpeg(repeated.data(), repeated.size(), 0, &error));
    EXPECT_NE(error.find("scans"), std::string::npos) << error;
    // The same file with a few repeats is fine.
    Bytes few(file.begin(), file.end() - 2);
    for (int k = 0; k < 5; ++k) few.insert(few.end(), scan.begin(), scan.end());
    few.insert(few.end(), {0xFF, 0xD9});
    EXPECT_TRUE(decode(few));
}

TEST(JpegEncode, InvalidRequestsAreRefused) {
    const ImageRef grey = makeSmoothPicture(PixelFormat::Grey8, 8, 8);
    Bytes out;
    std::string error;
    EXPECT_FALSE(encodeJpeg(*grey, std::nan(""), {}, out, &error));
    EXPECT_FALSE(error.empty());
    error.clear();
    const ImageRef tooWide = makeConstant(PixelFormat::Grey8, 65501, 1, {0});
    EXPECT_FALSE(encodeJpeg(*tooWide, 0.9, {}, out, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace hx::image

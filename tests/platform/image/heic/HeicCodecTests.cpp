#include "platform/image/heic/HeicCodec.h"

#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "../TestImages.h"
#include "platform/image/ImageLimits.h"
#include "platform/image/PixelConversion.h"
#include "platform/image/heic/HeifBoxes.h"
#include "platform/image/heic/HeifOrientation.h"
#include "platform/image/png/PngCodec.h"
#include "tests/support/RequireTool.h"
#include "tests/support/RunCommand.h"

namespace hx::image {
namespace {

using test::pixelAt;
using test::TemporaryFolder;
using testsupport::runCommand;
using Bytes = std::vector<uint8_t>;

// Smooth gradients and a soft disc: lossy coding keeps such content close to the original.
ImageRef makePhoto(int width, int height) {
    Bytes pixels(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double dx = x - width * 0.6, dy = y - height * 0.4;
            const double disc = std::exp(-(dx * dx + dy * dy) / (0.05 * width * width + 1));
            uint8_t* p = &pixels[(size_t(y) * width + x) * 3];
            p[0] = uint8_t(40 + 150.0 * x / width + 60 * disc);
            p[1] = uint8_t(60 + 120.0 * y / height + 40 * disc);
            p[2] = uint8_t(200 - 120.0 * x / width);
        }
    }
    return Image::adopt(PixelFormat::RGB8, width, height, std::move(pixels));
}

// Top-left red, top-right green, bottom-left blue, bottom-right white.
ImageRef makeQuadrants(int width, int height) {
    Bytes pixels(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            uint8_t* p = &pixels[(size_t(y) * width + x) * 3];
            p[0] = (!bottom && !right) || (bottom && right) ? 255 : 0;
            p[1] = (!bottom && right) || (bottom && right) ? 255 : 0;
            p[2] = bottom ? 255 : 0;
        }
    }
    return Image::adopt(PixelFormat::RGB8, width, height, std::move(pixels));
}

enum class Colour { Red, Green, Blue, White, Other };

Colour colourAt(const Image& image, int x, int y) {
    const Bytes p = pixelAt(image, x, y);
    auto on = [](uint8_t v) { return v > 200; };
    auto off = [](uint8_t v) { return v < 55; };
    if (on(p[0]) && off(p[1]) && off(p[2])) return Colour::Red;
    if (off(p[0]) && on(p[1]) && off(p[2])) return Colour::Green;
    if (off(p[0]) && off(p[1]) && on(p[2])) return Colour::Blue;
    if (on(p[0]) && on(p[1]) && on(p[2])) return Colour::White;
    return Colour::Other;
}

// Top-left, top-right, bottom-left, bottom-right, sampled a little inside.
std::array<Colour, 4> corners(const Image& image) {
    const int right = image.width() - 1 - image.width() / 8;
    const int bottom = image.height() - 1 - image.height() / 8;
    const int left = image.width() / 8, top = image.height() / 8;
    return {colourAt(image, left, top), colourAt(image, right, top), colourAt(image, left, bottom),
            colourAt(image, right, bottom)};
}

double meanAbsoluteError(const Image& expected, const Image& actual) {
    EXPECT_EQ(expected.width(), actual.width());
    EXPECT_EQ(expected.height(), actual.height());
    if (expected.width() != actual.width() || expected.height() != actual.height()) return 1e9;
    double sum = 0;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width() * 3; ++x)
            sum += std::abs(int(expected.row(y)[x]) - int(actual.row(y)[x]));
    return sum / (3.0 * expected.width() * expected.height());
}

Bytes encode(const Image& image, const HeicEncodeOptions& options = {}) {
    Bytes file;
    std::string error;
    EXPECT_TRUE(encodeHeic(image, options, file, &error)) << error;
    return file;
}

ImageRef decode(const Bytes& file, int maxPixelSize = 0) {
    std::string error;
    ImageRef image = decodeHeic(file.data(), file.size(), maxPixelSize, &error);
    EXPECT_TRUE(image) << error;
    return image;
}

// An Exif block made by hand: little-endian TIFF header, IFD0 with Make and Orientation 1.
Bytes makeExifBlock() {
    return {'I',  'I',  0x2A, 0,   8,   0,   0,   0,               // header, IFD0 at 8
            2,    0,                                               // two entries
            0x0F, 0x01, 2,    0,   8,   0,   0,   0, 38, 0, 0, 0,  // Make, ASCII, 8 bytes at 38
            0x12, 0x01, 3,    0,   1,   0,   0,   0, 1,  0, 0, 0,  // Orientation, SHORT, 1
            0,    0,    0,    0,                                   // no next IFD
            'H',  'a',  'l',  'i', 'd', 'e', 'x', 0};
}

// A file made with libheif directly, for the layouts our encoder never writes: a thumbnail
// (coded from `thumbnailSource`, so a test can tell it from the full image), the crop property
// libheif uses when its grid workaround is off, and libheif's own way of writing an orientation.
Bytes encodeWithLibheif(const Image& rgb, bool cropWithClap, const Image* thumbnailSource,
                        int thumbnailSize, int orientation = 1) {
    auto toHeif = [](const Image& image) {
        heif_image* out = nullptr;
        heif_image_create(image.width(), image.height(), heif_colorspace_RGB,
                          heif_chroma_interleaved_RGB, &out);
        heif_image_add_plane(out, heif_channel_interleaved, image.width(), image.height(), 8);
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(out, heif_channel_interleaved, &stride);
        for (int y = 0; y < image.height(); ++y)
            std::copy(image.row(y), image.row(y) + image.width() * 3, plane + size_t(stride) * y);
        return out;
    };
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder);
    heif_encoder_set_logging_level(encoder, 0);
    heif_encoder_set_parameter(encoder, "preset", "ultrafast");
    heif_encoder_set_lossy_quality(encoder, 90);
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->macOS_compatibility_workaround = cropWithClap ? 0 : 1;
    options->image_orientation = heif_orientation(orientation);
    heif_image* image = toHeif(rgb);
    heif_image_handle* handle = nullptr;
    EXPECT_EQ(heif_context_encode_image(context, image, encoder, options, &handle).code,
              heif_error_Ok);
    if (thumbnailSource) {
        heif_image* thumbnailImage = toHeif(*thumbnailSource);
        heif_image_handle* thumbnail = nullptr;
        EXPECT_EQ(heif_context_encode_thumbnail(context, thumbnailImage, handle, encoder, options,
                                                thumbnailSize, &thumbnail)
                      .code,
                  heif_error_Ok);
        heif_image_handle_release(thumbnail);
        heif_image_release(thumbnailImage);
    }
    Bytes file;
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* out) {
                           auto* bytes = static_cast<const uint8_t*>(data);
                           static_cast<Bytes*>(out)->insert(static_cast<Bytes*>(out)->end(), bytes,
                                                            bytes + size);
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    EXPECT_EQ(heif_context_write(context, &writer, &file).code, heif_error_Ok);
    heif_image_handle_release(handle);
    heif_image_release(image);
    heif_encoding_options_free(options);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return file;
}

TEST(HeicRoundTrip, ColourComesBackCloseAndProbeReportsTheFile) {
    const ImageRef photo = makePhoto(64, 48);
    const Bytes file = encode(*photo);
    std::string error;
    const std::optional<HeicInfo> info = probeHeic(file.data(), file.size(), &error);
    ASSERT_TRUE(info) << error;
    EXPECT_EQ(info->width, 64);
    EXPECT_EQ(info->height, 48);
    EXPECT_EQ(info->orientation, 1);
    EXPECT_TRUE(info->exifBlock.empty());

    const ImageRef decoded = decode(file);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixelFormat(), PixelFormat::RGB8);
    EXPECT_LT(meanAbsoluteError(*photo, *decoded), 2.5);

    // A low quality makes a smaller file that still looks like the picture.
    HeicEncodeOptions rough;
    rough.quality = 0.2;
    const Bytes small = encode(*photo, rough);
    EXPECT_LT(small.size(), file.size());
    EXPECT_LT(meanAbsoluteError(*photo, *decode(small)), 12);
}

TEST(HeicRoundTrip, GreyBgraAndRgbaInputsWithPaddedRows) {
    const ImageRef photo = makePhoto(40, 30);
    // Grey is written as colour: every channel comes back as the grey value.
    const ImageRef grey = convert(photo, PixelFormat::Grey8);
    const ImageRef greyDecoded = decode(encode(*grey));
    ASSERT_TRUE(greyDecoded);
    EXPECT_LT(meanAbsoluteError(*convert(grey, PixelFormat::RGB8), *greyDecoded), 2.5);

    // Premultiplied BGRA with rows longer than the pixels: half-transparent pixels come back
    // un-premultiplied, and the padding never shows.
    for (const uint8_t alpha : {uint8_t(255), uint8_t(128)}) {
        SCOPED_TRACE(int(alpha));
        const size_t rowBytes = 40 * 4 + 12;
        Bytes bgra(rowBytes * 30, 0xEE);
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 40; ++x) {
                const Bytes rgb = pixelAt(*photo, x, y);
                uint8_t* p = &bgra[rowBytes * y + x * 4];
                p[0] = premultiply(rgb[2], alpha), p[1] = premultiply(rgb[1], alpha);
                p[2] = premultiply(rgb[0], alpha), p[3] = alpha;
            }
        }
        const ImageRef image = Image::adopt(PixelFormat::BGRA8, 40, 30, bgra, rowBytes);
        EXPECT_LT(meanAbsoluteError(*photo, *decode(encode(*image))), 3);
    }
    // Straight RGBA: alpha is dropped.
    const ImageRef rgba = convert(photo, PixelFormat::RGBA8);
    EXPECT_LT(meanAbsoluteError(*photo, *decode(encode(*rgba))), 2.5);
}

TEST(HeicRoundTrip, OddAndTinySizesKeepTheirSize) {
    // The coder pads to whole blocks; the file still states, and decodes to, the exact size.
    const std::array<std::array<int, 2>, 7> sizes = {
        {{1, 1}, {2, 2}, {3, 5}, {7, 3}, {13, 1}, {33, 17}, {65, 9}}};
    for (const auto& [width, height] : sizes) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        const ImageRef image = test::makeConstant(PixelFormat::RGB8, width, height, {200, 90, 30});
        const Bytes file = encode(*image);
        const std::optional<HeicInfo> info = probeHeic(file.data(), file.size(), nullptr);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->width, width);
        EXPECT_EQ(info->height, height);
        const ImageRef decoded = decode(file);
        ASSERT_TRUE(decoded);
        EXPECT_LT(meanAbsoluteError(*image, *decoded), 4);
    }
}

TEST(HeicRoundTrip, CameraSizedPhoto) {
    // The one full-size encode.
    const ImageRef photo = makePhoto(4032, 3024);
    HeicEncodeOptions options;
    options.orientation = 6;
    const Bytes file = encode(*photo, options);
    const std::optional<HeicInfo> info = probeHeic(file.data(), file.size(), nullptr);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 4032);
    EXPECT_EQ(info->height, 3024);
    EXPECT_EQ(info->orientation, 6);
    const ImageRef full = decode(file);
    ASSERT_TRUE(full);
    EXPECT_LT(meanAbsoluteError(*photo, *full), 2.5);
    const ImageRef preview = decode(file, 1024);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->width(), 1024);
    EXPECT_EQ(preview->height(), 768);
}

class HeicOrientation : public testing::TestWithParam<int> {
  protected:
    const ImageRef stored = makeQuadrants(64, 48);
    HeicEncodeOptions options() const {
        HeicEncodeOptions o;
        o.orientation = GetParam();
        o.exifBlock = makeExifBlock();
        return o;
    }
};

TEST_P(HeicOrientation, TravelsAsTransformProperties) {
    const int orientation = GetParam();
    const Bytes file = encode(*stored, options());
    const std::optional<HeicInfo> info = probeHeic(file.data(), file.size(), nullptr);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->orientation, orientation);
    EXPECT_EQ(info->width, 64);
    EXPECT_EQ(info->height, 48);
    EXPECT_EQ(info->exifBlock, options().exifBlock);
    // Our decoder hands over the pixels as stored.
    const ImageRef decoded = decode(file);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(corners(*decoded), corners(*stored));
}

TEST_P(HeicOrientation, ReadersApplyTheTransform) {
    // libheif's own tools apply the transform the way an Exif viewer turns a JPEG.
    HX_REQUIRE_TOOLS("heif-convert", "heif-info");
    const int orientation = GetParam();
    const Bytes file = encode(*stored, options());
    TemporaryFolder folder;
    test::writeBytes(folder.file("photo.heic"), file);
    const std::string boxes =
        runCommand("heif-info -d " + folder.file("photo.heic") + " 2>&1").output;
    const std::vector<heif::TransformStep> steps = heif::transformStepsForOrientation(orientation);
    const bool rotates = !steps.empty() && steps[0].kind == heif::TransformStep::Kind::Rotation;
    const bool mirrors = !steps.empty() && steps.back().kind == heif::TransformStep::Kind::Mirror;
    EXPECT_EQ(boxes.find("Box: irot") != std::string::npos, rotates) << boxes;
    EXPECT_EQ(boxes.find("Box: imir") != std::string::npos, mirrors) << boxes;
    runCommand("heif-convert " + folder.file("photo.heic") + " " + folder.file("shown.png") +
               " 2>&1");
    std::string error;
    const ImageRef shown = readPng(folder.file("shown.png"), &error);
    ASSERT_TRUE(shown) << error;
    const ImageRef expected = heif::applySymmetry(stored, heif::displaySymmetry(orientation));
    EXPECT_EQ(shown->width(), expected->width());
    EXPECT_EQ(shown->height(), expected->height());
    EXPECT_EQ(corners(*shown), corners(*expected));
}

INSTANTIATE_TEST_SUITE_P(EveryExifValue, HeicOrientation, testing::Range(1, 9));

// The block stored as given is checked for every orientation above; here exiftool reads it.
TEST(HeicExif, ExiftoolReadsTheBlockAndTheRotation) {
    HX_REQUIRE_TOOLS("exiftool");
    HeicEncodeOptions options;
    options.orientation = 6;
    options.exifBlock = makeExifBlock();
    const Bytes file = encode(*makePhoto(32, 24), options);
    TemporaryFolder folder;
    test::writeBytes(folder.file("photo.heic"), file);
    const std::string tags =
        runCommand("exiftool -s -n -Make -Orientation -Rotation -ImageWidth -ImageHeight " +
                   folder.file("photo.heic") + " 2>&1")
            .output;
    EXPECT_NE(tags.find("Make                            : Halidex"), std::string::npos) << tags;
    // The Exif orientation stays 1; the turn lives in the file's rotation property.
    EXPECT_NE(tags.find("Orientation                     : 1"), std::string::npos) << tags;
    EXPECT_NE(tags.find("Rotation                        : 270"), std::string::npos) << tags;
    EXPECT_NE(tags.find("ImageWidth                      : 32"), std::string::npos) << tags;
    EXPECT_NE(tags.find("ImageHeight                     : 24"), std::string::npos) << tags;
}

TEST(HeicEncode, RefusesBadOptions) {
    const ImageRef photo = makePhoto(16, 16);
    Bytes file = {1, 2, 3};
    std::string error;
    HeicEncodeOptions notExif;
    notExif.exifBlock = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 0x2A, 0};
    EXPECT_FALSE(encodeHeic(*photo, notExif, file, &error));
    EXPECT_NE(error.find("TIFF header"), std::string::npos) << error;
    HeicEncodeOptions badOrientation;
    badOrientation.orientation = 9;
    EXPECT_FALSE(encodeHeic(*photo, badOrientation, file, &error));
    HeicEncodeOptions badQuality;
    badQuality.quality = std::nan("");
    EXPECT_FALSE(encodeHeic(*photo, badQuality, file, &error));
    EXPECT_EQ(file, (Bytes{1, 2, 3}));  // untouched on failure
}

TEST(HeicThumbnails, ScaledDecodesHaveExactFitWithinSizes) {
    HeicEncodeOptions options;
    options.orientation = 8;
    const Bytes file = encode(*makeQuadrants(101, 47), options);
    for (const int maxPixelSize : {1, 16, 50, 100, 101, 500}) {
        SCOPED_TRACE(maxPixelSize);
        const ImageRef image = decode(file, maxPixelSize);
        ASSERT_TRUE(image);
        const ScaledSize expected = fitWithin(101, 47, maxPixelSize);
        EXPECT_EQ(image->width(), expected.width);
        EXPECT_EQ(image->height(), expected.height);
        if (maxPixelSize >= 16) {
            EXPECT_EQ(corners(*image), corners(*makeQuadrants(101, 47)));
        }
    }
}

TEST(HeicThumbnails, AnEmbeddedThumbnailLargeEnoughIsUsed) {
    // The thumbnail is coded from a plain grey picture, so its use shows in the result.
    const ImageRef full = makeQuadrants(256, 192);
    const ImageRef grey = test::makeConstant(PixelFormat::RGB8, 256, 192, {128, 128, 128});
    const Bytes file = encodeWithLibheif(*full, false, grey.get(), 64);

    const ImageRef small = decode(file, 40);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->width(), 40);
    EXPECT_EQ(small->height(), 30);
    EXPECT_EQ(corners(*small),
              (std::array<Colour, 4>{Colour::Other, Colour::Other, Colour::Other, Colour::Other}));
    EXPECT_NEAR(pixelAt(*small, 20, 15)[1], 128, 6);

    // Too small for 100 pixels: the full picture is decoded and scaled.
    const ImageRef larger = decode(file, 100);
    ASSERT_TRUE(larger);
    EXPECT_EQ(larger->width(), 100);
    EXPECT_EQ(larger->height(), 75);
    EXPECT_EQ(corners(*larger), corners(*full));
}

TEST(HeicThumbnails, FilesOrientedByLibheifItselfReadAsStored) {
    // libheif 1.15 stores the turned size in 'ispe' and puts the transforms on the thumbnail too.
    // The thumbnail has red and green swapped, so its use shows.
    const ImageRef stored = makeQuadrants(128, 96);
    Bytes swapped(stored->data(), stored->data() + 128 * 96 * 3);
    for (size_t i = 0; i < swapped.size(); i += 3) std::swap(swapped[i], swapped[i + 1]);
    const ImageRef thumbnailSource = Image::adopt(PixelFormat::RGB8, 128, 96, swapped);
    const Bytes file = encodeWithLibheif(*stored, false, thumbnailSource.get(), 64, 6);
    const std::optional<HeicInfo> info = probeHeic(file.data(), file.size(), nullptr);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 128);
    EXPECT_EQ(info->height, 96);
    EXPECT_EQ(info->orientation, 6);
    const ImageRef full = decode(file);
    ASSERT_TRUE(full);
    EXPECT_EQ(corners(*full), corners(*stored));
    const ImageRef fromThumbnail = decode(file, 40);
    ASSERT_TRUE(fromThumbnail);
    EXPECT_EQ(fromThumbnail->width(), 40);
    EXPECT_EQ(fromThumbnail->height(), 30);
    EXPECT_EQ(corners(*fromThumbnail), corners(*thumbnailSource));
}

TEST(HeicDecode, CroppedFilesAreTurnedBackToTheirStoredOrientation) {
    // Without the grid workaround libheif pads the coded picture and crops it with 'clap', which
    // only comes off together with the transforms.
    const ImageRef stored = makeQuadrants(60, 46);
    Bytes file = encodeWithLibheif(*stored, true, nullptr, 0);
    ASSERT_TRUE(
        heif::readPrimaryItemProperties(file.data(), file.size(), nullptr)->hasCleanAperture);
    std::string error;
    ASSERT_TRUE(heif::addTransformProperties(file, heif::transformStepsForOrientation(5), &error))
        << error;
    const std::optional<HeicInfo> info = probeHeic(file.data(), file.size(), nullptr);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 60);
    EXPECT_EQ(info->height, 46);
    EXPECT_EQ(info->orientation, 5);
    const ImageRef decoded = decode(file);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width(), 60);
    EXPECT_EQ(decoded->height(), 46);
    EXPECT_EQ(corners(*decoded), corners(*stored));
}

TEST(HeicRobustness, BadInputFailsWithAMessage) {
    const Bytes file = encode(*makePhoto(48, 32));
    auto expectFailure = [](const Bytes& bytes, const char* what) {
        SCOPED_TRACE(what);
        std::string probeError, decodeError;
        EXPECT_FALSE(probeHeic(bytes.data(), bytes.size(), &probeError));
        EXPECT_FALSE(decodeHeic(bytes.data(), bytes.size(), 0, &decodeError));
        EXPECT_FALSE(probeError.empty());
        EXPECT_FALSE(decodeError.empty());
    };
    expectFailure({}, "empty");
    std::mt19937 random(3);
    Bytes garbage(4096);
    for (uint8_t& v : garbage) v = uint8_t(random());
    expectFailure(garbage, "garbage");
    Bytes png;
    ASSERT_TRUE(writePng(*makePhoto(8, 8), png));
    expectFailure(png, "a PNG file");
    expectFailure(Bytes(file.begin(), file.begin() + 40), "cut inside the header boxes");

    // A file claiming a picture beyond the decode limits is refused before any decoding.
    Bytes huge = file;
    const Bytes ispe = {'i', 's', 'p', 'e'};
    for (auto at = huge.begin();
         (at = std::search(at, huge.end(), ispe.begin(), ispe.end())) != huge.end(); ++at)
        std::fill(at + 8, at + 16, uint8_t(0x7F));
    std::string error;
    EXPECT_FALSE(decodeHeic(huge.data(), huge.size(), 0, &error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;

    // Cut anywhere or damaged anywhere: a clean failure or a picture of the stated size.
    for (size_t length = 0; length < file.size(); length += 1 + length / 8) {
        const Bytes cut(file.begin(), file.begin() + length);
        if (const ImageRef image = decodeHeic(cut.data(), cut.size(), 0, nullptr)) {
            EXPECT_EQ(image->width(), 48);
        }
    }
    for (size_t position = 0; position < file.size(); position += 7) {
        Bytes damaged = file;
        damaged[position] ^= 0xA5;
        probeHeic(damaged.data(), damaged.size(), nullptr);
        if (const ImageRef image = decodeHeic(damaged.data(), damaged.size(), 16, nullptr)) {
            EXPECT_LE(std::max(image->width(), image->height()), 16);
        }
    }
}

}  // namespace
}  // namespace hx::image

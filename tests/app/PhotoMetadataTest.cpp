// The metadata a captured photo is stored with, from plain values, and the photo files written
// with it: read back by exiftool and heif-info, as any reader of the library would.

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <fstream>
#include <map>
#include <string>

#include "app/capture/PhotoEncoding.h"
#include "app/capture/PhotoMetadata.h"
#include "platform/image/ImageTypes.h"
#include "tests/support/RequireTool.h"
#include "tests/support/RunCommand.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryFolder.h"

namespace {

using namespace hx;
using namespace hx::app;
using namespace hx::image;

// 2025-12-08 13:20:00.25 UTC, 22:20:00 in Tokyo.
constexpr double kCaptureTime = 1765200000.25;

// Exif dates are local: a zone away from UTC tells them apart from the GPS stamps.
class PhotoMetadataTest : public ::testing::Test {
  protected:
    void SetUp() override {
        environment_.set("TZ", "Asia/Tokyo");
        tzset();
    }
    void TearDown() override {
        environment_.restore();
        tzset();
    }

    static PhotoMetadataInput portraitBackPhoto() {
        PhotoMetadataInput input;
        input.photoExif = PropertyDictionary{{kCGImagePropertyExifExposureTime, 0.008},
                                             {kCGImagePropertyExifPixelXDimension, 4032},
                                             {kCGImagePropertyExifPixelYDimension, 3024}};
        input.width = 4032;  // frame 1 of a 4032 × 3024 sensor picture
        input.height = 2688;
        input.tempOrientation = 3;  // device upright
        input.model = "iPhone 11 Pro";
        input.film = 3;
        input.captureTime = kCaptureTime;
        return input;
    }

    static Location fix(double latitude, double longitude) {
        Location where;
        where.latitude = latitude;
        where.longitude = longitude;
        where.altitude = 34.5;
        where.course = 90.25;
        where.horizontalAccuracy = 5;
        where.timestamp = kCaptureTime - 3 * 3600 - 0.5;  // three hours old
        return where;
    }

    hx::testing::ScopedEnvironment environment_;
};

TEST_F(PhotoMetadataTest, CaptureOrientationCodesMapToStoredOrientations) {
    EXPECT_EQ(exifOrientationForCapture(3), 6);  // upright
    EXPECT_EQ(exifOrientationForCapture(2), 8);  // upside down
    EXPECT_EQ(exifOrientationForCapture(0), 1);  // landscape left
    EXPECT_EQ(exifOrientationForCapture(1), 3);  // landscape right
    EXPECT_EQ(exifOrientationForCapture(7), 1);
    EXPECT_EQ(exifOrientationForCapture(-1), 1);
}

TEST_F(PhotoMetadataTest, PortraitBackPhotoInFrameOne) {
    const PropertyDictionary metadata = buildPhotoMetadata(portraitBackPhoto());
    EXPECT_EQ(metadata.integer(kCGImagePropertyOrientation), 6);
    EXPECT_EQ(metadata.integer(kCGImagePropertyPixelWidth), 4032);
    EXPECT_EQ(metadata.integer(kCGImagePropertyPixelHeight), 2688);
    EXPECT_EQ(metadata.integer(kCGImagePropertyDPIWidth), 72);
    EXPECT_EQ(metadata.integer(kCGImagePropertyDPIHeight), 72);
    EXPECT_EQ(metadata.integer(kCGImagePropertyDepth), 8);
    EXPECT_EQ(metadata.string(kCGImagePropertyColorModel), "RGB");

    const PropertyDictionary exif = metadata.dictionary(kCGImagePropertyExifDictionary);
    // The stored width and height, replacing the sensor's; the photo's own entries are kept.
    EXPECT_EQ(exif.integer(kCGImagePropertyExifPixelXDimension), 4032);
    EXPECT_EQ(exif.integer(kCGImagePropertyExifPixelYDimension), 2688);
    EXPECT_EQ(exif.real(kCGImagePropertyExifExposureTime), 0.008);
    EXPECT_EQ(exif.string(kCGImagePropertyExifDateTimeOriginal), "2025:12:08 22:20:00");
    EXPECT_EQ(exif.string(kCGImagePropertyExifDateTimeDigitized), "2025:12:08 22:20:00");
    EXPECT_EQ(exif.string(kExifUserComment), "film 3 RED 200");

    const PropertyDictionary tiff = metadata.dictionary(kCGImagePropertyTIFFDictionary);
    EXPECT_EQ(tiff.integer(kCGImagePropertyTIFFOrientation), 6);
    EXPECT_EQ(tiff.string(kCGImagePropertyTIFFModel), "iPhone 11 Pro");
    EXPECT_EQ(tiff.string(kCGImagePropertyTIFFMake), "Apple");
    EXPECT_EQ(tiff.string(kCGImagePropertyTIFFSoftware), "Halidex Camera App");
    EXPECT_FALSE(metadata.contains(kCGImagePropertyGPSDictionary));
}

TEST_F(PhotoMetadataTest, ARealCameraNamesItsOwnMakerAndModel) {
    PhotoMetadataInput input = portraitBackPhoto();
    input.photoTiff = PropertyDictionary{{kCGImagePropertyTIFFMake, "Acme Optics"},
                                         {kCGImagePropertyTIFFModel, "Acme Cam 4K"}};
    PropertyDictionary tiff = buildPhotoMetadata(input).dictionary(kCGImagePropertyTIFFDictionary);
    EXPECT_EQ(tiff.string(kCGImagePropertyTIFFMake), "Acme Optics");
    EXPECT_EQ(tiff.string(kCGImagePropertyTIFFModel), "Acme Cam 4K");
    EXPECT_EQ(tiff.string(kCGImagePropertyTIFFSoftware), "Halidex Camera App");

    // A camera that knows no maker leaves the make out rather than naming the profile's.
    input.photoTiff = PropertyDictionary{{kCGImagePropertyTIFFModel, "Integrated Camera"}};
    tiff = buildPhotoMetadata(input).dictionary(kCGImagePropertyTIFFDictionary);
    EXPECT_FALSE(tiff.contains(kCGImagePropertyTIFFMake));
    EXPECT_EQ(tiff.string(kCGImagePropertyTIFFModel), "Integrated Camera");
}

TEST_F(PhotoMetadataTest, SquareFrameAndEveryOrientation) {
    PhotoMetadataInput input = portraitBackPhoto();
    input.width = input.height = 3024;
    for (auto [code, stored] : {std::pair{3, 6}, {2, 8}, {0, 1}, {1, 3}}) {
        input.tempOrientation = code;
        const PropertyDictionary metadata = buildPhotoMetadata(input);
        EXPECT_EQ(metadata.integer(kCGImagePropertyOrientation), stored) << code;
        EXPECT_EQ(metadata.dictionary(kCGImagePropertyTIFFDictionary)
                      .integer(kCGImagePropertyTIFFOrientation),
                  stored)
            << code;
        const PropertyDictionary exif = metadata.dictionary(kCGImagePropertyExifDictionary);
        EXPECT_EQ(exif.integer(kCGImagePropertyExifPixelXDimension), 3024);
        EXPECT_EQ(exif.integer(kCGImagePropertyExifPixelYDimension), 3024);
    }
}

TEST_F(PhotoMetadataTest, FilmCommentNamesEveryFilm) {
    EXPECT_EQ(filmComment(0), "film 0 PAN 100");
    EXPECT_EQ(filmComment(8), "film 8 FADE 160");
    EXPECT_EQ(filmComment(12), "film 12 PASTEL 160");
    EXPECT_EQ(filmComment(13), "film 13");
    for (int32_t film = 0; film < 13; ++film) EXPECT_FALSE(filmName(film).empty()) << film;
}

TEST_F(PhotoMetadataTest, GeotagDatesTheExifByCaptureAndTheGpsByTheFix) {
    PhotoMetadataInput input = portraitBackPhoto();
    input.location = fix(52.5163, 13.3777);
    const PropertyDictionary metadata = buildPhotoMetadata(input);
    const PropertyDictionary exif = metadata.dictionary(kCGImagePropertyExifDictionary);
    EXPECT_EQ(exif.string(kCGImagePropertyExifDateTimeOriginal), "2025:12:08 22:20:00");
    const PropertyDictionary gps = metadata.dictionary(kCGImagePropertyGPSDictionary);
    EXPECT_EQ(gps.string(kCGImagePropertyGPSTimeStamp), "10:19:59.750000");
    EXPECT_EQ(gps.string(kCGImagePropertyGPSDateStamp), "2025:12:08");
    EXPECT_EQ(gps.string(kCGImagePropertyGPSLatitudeRef), "N");
    EXPECT_EQ(gps.real(kCGImagePropertyGPSLatitude), double(float(52.5163)));
    EXPECT_EQ(gps.string(kCGImagePropertyGPSLongitudeRef), "E");
    EXPECT_EQ(gps.real(kCGImagePropertyGPSLongitude), double(float(13.3777)));
    EXPECT_EQ(gps.integer(kCGImagePropertyGPSAltitudeRef), 0);
    EXPECT_EQ(gps.real(kCGImagePropertyGPSAltitude), 34.5);
    EXPECT_EQ(gps.string(kCGImagePropertyGPSTrackRef), "T");
    EXPECT_EQ(gps.real(kCGImagePropertyGPSTrack), 90.25);
}

TEST_F(PhotoMetadataTest, GpsEdgeCases) {
    PhotoMetadataInput input = portraitBackPhoto();

    // South and west, below sea level, course unknown.
    Location where = fix(-33.8568, -151.2153);
    where.altitude = -12.0;
    where.course = -1;
    input.location = where;
    PropertyDictionary gps = buildPhotoMetadata(input).dictionary(kCGImagePropertyGPSDictionary);
    EXPECT_EQ(gps.string(kCGImagePropertyGPSLatitudeRef), "S");
    EXPECT_EQ(gps.real(kCGImagePropertyGPSLatitude), double(float(33.8568)));
    EXPECT_EQ(gps.string(kCGImagePropertyGPSLongitudeRef), "W");
    EXPECT_EQ(gps.real(kCGImagePropertyGPSLongitude), double(float(151.2153)));
    EXPECT_EQ(gps.integer(kCGImagePropertyGPSAltitudeRef), 1);
    EXPECT_EQ(gps.real(kCGImagePropertyGPSAltitude), 12.0);
    EXPECT_FALSE(gps.contains(kCGImagePropertyGPSTrackRef));
    EXPECT_FALSE(gps.contains(kCGImagePropertyGPSTrack));

    // No vertical fix: everything but the altitude; a course of exactly 0 is north.
    where = fix(10, 20);
    where.altitude = std::nan("");
    where.course = 0;
    input.location = where;
    gps = buildPhotoMetadata(input).dictionary(kCGImagePropertyGPSDictionary);
    for (const char* key : {kCGImagePropertyGPSLatitudeRef, kCGImagePropertyGPSLatitude,
                            kCGImagePropertyGPSLongitudeRef, kCGImagePropertyGPSLongitude,
                            kCGImagePropertyGPSTimeStamp, kCGImagePropertyGPSDateStamp})
        EXPECT_TRUE(gps.contains(key)) << key;
    EXPECT_FALSE(gps.contains(kCGImagePropertyGPSAltitudeRef));
    EXPECT_FALSE(gps.contains(kCGImagePropertyGPSAltitude));
    EXPECT_EQ(gps.string(kCGImagePropertyGPSTrackRef), "T");
    EXPECT_EQ(gps.real(kCGImagePropertyGPSTrack), 0.0);
}

TEST_F(PhotoMetadataTest, FileKindFollowsTheVariantAndTheSettings) {
    using film::OfflineVariant;
    EXPECT_EQ(photoFormatFor(OfflineVariant::Mono, false, false), PhotoFormat::JPEG);
    EXPECT_EQ(photoFormatFor(OfflineVariant::Mono, true, false), PhotoFormat::TIFF);
    EXPECT_EQ(photoFormatFor(OfflineVariant::MonoHEIC, false, true), PhotoFormat::HEIC);
    // Both on: a monochrome film takes the HEIC variant, which is always HEIC.
    EXPECT_EQ(photoFormatFor(OfflineVariant::MonoHEIC, true, true), PhotoFormat::HEIC);
    // Colour is never TIFF.
    EXPECT_EQ(photoFormatFor(OfflineVariant::Color, true, false), PhotoFormat::JPEG);
    EXPECT_EQ(photoFormatFor(OfflineVariant::Color, false, true), PhotoFormat::HEIC);
    EXPECT_EQ(photoFormatFor(OfflineVariant::Color, true, true), PhotoFormat::HEIC);
}

// ---- files

// exiftool's reading of a file: tag name → value as stored, numbers as numbers (the first of a
// name wins; values exiftool derives from others are left out).
std::map<std::string, std::string> exiftoolTags(const std::string& path) {
    auto result = testsupport::runCommand("exiftool -a -n -S -G1 " +
                                          testsupport::shellQuoted(path) + " 2>&1");
    std::map<std::string, std::string> tags;
    for (const std::string& line : testsupport::linesOf(result.output)) {
        size_t close = line.find("] ");
        size_t colon = line.find(": ", close);
        if (line.rfind("[", 0) != 0 || close == std::string::npos || colon == std::string::npos)
            continue;
        if (line.compare(1, close - 1, "Composite") == 0) continue;
        tags.emplace(line.substr(close + 2, colon - close - 2), line.substr(colon + 2));
    }
    return tags;
}

std::string writeFile(const hx::testsupport::TemporaryFolder& folder, const std::string& name,
                      const std::vector<uint8_t>& bytes) {
    std::string path = folder.file(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

ImageRef greyPicture(int width, int height) {
    std::vector<uint8_t> pixels(size_t(width) * size_t(height));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 7);
    return Image::adopt(PixelFormat::Grey8, width, height, std::move(pixels));
}

ImageRef colourPicture(int width, int height) {
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = (i % 4 == 3) ? 255 : uint8_t(i * 3);
    return Image::adopt(PixelFormat::BGRA8, width, height, std::move(pixels));
}

class PhotoFileTest : public PhotoMetadataTest {
  protected:
    void SetUp() override {
        PhotoMetadataTest::SetUp();
        HX_REQUIRE_TOOLS("exiftool", "heif-info");
    }
    void TearDown() override {
        overrideHevcEncoderProbe(std::nullopt);
        PhotoMetadataTest::TearDown();
    }
    hx::testsupport::TemporaryFolder folder_{"hx-photo-files"};
};

TEST_F(PhotoFileTest, JpegAndTiffCarryEveryTag) {
    PhotoMetadataInput input = portraitBackPhoto();
    input.width = 96;
    input.height = 64;
    Location where = fix(-33.8568, -151.2153);
    where.altitude = std::nan("");
    where.course = -5;
    input.location = where;
    const PropertyDictionary metadata = buildPhotoMetadata(input);
    for (PhotoFormat format : {PhotoFormat::JPEG, PhotoFormat::TIFF}) {
        SCOPED_TRACE(photoFormatName(format));
        EncodedPhoto photo = encodePhoto(greyPicture(96, 64), metadata, format);
        ASSERT_TRUE(photo.bytes);
        EXPECT_EQ(photo.format, format);
        auto tags = exiftoolTags(writeFile(folder_, "photo", *photo.bytes));
        EXPECT_EQ(tags["FileType"], format == PhotoFormat::JPEG ? "JPEG" : "TIFF");
        EXPECT_EQ(tags["ImageWidth"], "96");
        EXPECT_EQ(tags["ImageHeight"], "64");
        EXPECT_EQ(tags["Orientation"], "6");
        if (format == PhotoFormat::JPEG) {
            EXPECT_EQ(tags["ExifImageWidth"], "96");
            EXPECT_EQ(tags["ExifImageHeight"], "64");
        } else {
            // A TIFF's size is its image's own; it carries no Exif pixel dimensions.
            EXPECT_EQ(tags.count("ExifImageWidth"), 0u);
        }
        EXPECT_EQ(tags["DateTimeOriginal"], "2025:12:08 22:20:00");
        EXPECT_EQ(tags["CreateDate"], "2025:12:08 22:20:00");
        EXPECT_EQ(tags["Make"], "Apple");
        EXPECT_EQ(tags["Model"], "iPhone 11 Pro");
        EXPECT_EQ(tags["Software"], "Halidex Camera App");
        EXPECT_EQ(tags["UserComment"], "film 3 RED 200");
        EXPECT_EQ(tags["ExposureTime"], "0.008");
        EXPECT_EQ(tags["GPSLatitudeRef"], "S");
        EXPECT_NEAR(std::stod(tags["GPSLatitude"]), 33.8568, 1e-4);
        EXPECT_EQ(tags["GPSLongitudeRef"], "W");
        EXPECT_NEAR(std::stod(tags["GPSLongitude"]), 151.2153, 1e-4);
        EXPECT_EQ(tags["GPSTimeStamp"], "10:19:59.75");
        EXPECT_EQ(tags["GPSDateStamp"], "2025:12:08");
        EXPECT_EQ(tags.count("GPSAltitude"), 0u);
        EXPECT_EQ(tags.count("GPSAltitudeRef"), 0u);
        EXPECT_EQ(tags.count("GPSTrack"), 0u);
        EXPECT_EQ(tags.count("GPSTrackRef"), 0u);
    }
}

TEST_F(PhotoFileTest, HeicCarriesTheTagsAndTurnsByItsTransform) {
    PhotoMetadataInput input = portraitBackPhoto();
    input.width = 96;
    input.height = 64;
    input.film = 10;
    input.tempOrientation = 2;  // upside down: 8
    input.location = fix(52.5163, 13.3777);
    EncodedPhoto photo =
        encodePhoto(colourPicture(96, 64), buildPhotoMetadata(input), PhotoFormat::HEIC);
    if (!hevcEncoderAvailable()) {
        if (testsupport::runningUnderCI()) FAIL() << "no HEVC encoder on this machine";
        GTEST_SKIP() << "no HEVC encoder on this machine";
    }
    ASSERT_TRUE(photo.bytes);
    ASSERT_EQ(photo.format, PhotoFormat::HEIC);
    const std::string path = writeFile(folder_, "photo.heic", *photo.bytes);
    auto info = testsupport::runCommand("heif-info " + testsupport::shellQuoted(path) + " 2>&1");
    EXPECT_EQ(info.status, 0) << info.output;
    // Shown turned by a quarter: 64 wide, 96 high.
    EXPECT_NE(info.output.find("image: 64x96"), std::string::npos) << info.output;
    auto tags = exiftoolTags(path);
    EXPECT_EQ(tags["FileType"], "HEIC");
    EXPECT_EQ(tags["Make"], "Apple");
    EXPECT_EQ(tags["Software"], "Halidex Camera App");
    EXPECT_EQ(tags["UserComment"], "film 10 COOL 400");
    EXPECT_EQ(tags["ExifImageWidth"], "96");
    EXPECT_EQ(tags["ExifImageHeight"], "64");
    EXPECT_EQ(tags["DateTimeOriginal"], "2025:12:08 22:20:00");
    EXPECT_EQ(tags["GPSLatitudeRef"], "N");
    EXPECT_EQ(tags["GPSAltitude"], "34.5");
    EXPECT_EQ(tags["GPSTrackRef"], "T");
    EXPECT_NEAR(std::stod(tags["GPSTrack"]), 90.25, 1e-3);
    // A HEIC turns by its transform; the Exif inside says 1 so that no reader turns it twice.
    EXPECT_EQ(tags["Rotation"], "90");
}

TEST_F(PhotoFileTest, WithoutAnHevcEncoderHeicIsWrittenAsJpeg) {
    overrideHevcEncoderProbe(false);
    PhotoMetadataInput input = portraitBackPhoto();
    input.width = 48;
    input.height = 32;
    EncodedPhoto photo =
        encodePhoto(colourPicture(48, 32), buildPhotoMetadata(input), PhotoFormat::HEIC);
    ASSERT_TRUE(photo.bytes);
    EXPECT_EQ(photo.format, PhotoFormat::JPEG);
    ASSERT_GE(photo.bytes->size(), 2u);
    EXPECT_EQ((*photo.bytes)[0], 0xFF);
    EXPECT_EQ((*photo.bytes)[1], 0xD8);
    auto tags = exiftoolTags(writeFile(folder_, "photo.jpg", *photo.bytes));
    EXPECT_EQ(tags["Orientation"], "6");
    EXPECT_EQ(tags["UserComment"], "film 3 RED 200");
    EXPECT_EQ(tags["ImageWidth"], "48");
}

TEST_F(PhotoFileTest, NothingToEncodeGivesNoBytes) {
    EncodedPhoto photo = encodePhoto(nullptr, PropertyDictionary{}, PhotoFormat::JPEG);
    EXPECT_FALSE(photo.bytes);
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "../TestImages.h"
#include "MetadataTestFiles.h"
#include "platform/image/metadata/ImageMetadata.h"
#include "platform/image/png/PngCodec.h"
#include "platform/log/CaptureScope.h"
#include "tests/support/RequireTool.h"

namespace hx::image::metadata {
namespace {

using test::cameraProperties;
using test::TestCapture;
using test::TestLocation;

constexpr int kWidth = 24;
constexpr int kHeight = 16;

const char* extensionFor(FileKind kind) {
    switch (kind) {
        case FileKind::Jpeg:
            return ".jpg";
        case FileKind::Tiff:
            return ".tif";
        case FileKind::Png:
            return ".png";
        case FileKind::Heic:
            return ".heic";
    }
    return "";
}

double number(const std::map<std::string, std::string>& tags, const std::string& name) {
    auto found = tags.find(name);
    if (found == tags.end()) {
        ADD_FAILURE() << "exiftool does not show " << name;
        return NAN;
    }
    return std::atof(found->second.c_str());
}

class FileMetadata : public ::testing::TestWithParam<FileKind> {
  protected:
    FileKind kind() const { return GetParam(); }

    std::vector<uint8_t> blankFile() const {
        switch (kind()) {
            case FileKind::Jpeg:
                return test::makeJpegFile(kWidth, kHeight);
            case FileKind::Tiff:
                return test::makeTiffFile(kWidth, kHeight, folder_.file("blank.tif"));
            default:
                return test::makePngFile(kWidth, kHeight);
        }
    }

    // Writes the properties into a fresh file, saves it under `name` and returns its path.
    std::string writeFile(const PropertyDictionary& properties, const std::string& name = "photo") {
        std::vector<uint8_t> file = blankFile();
        std::string error;
        EXPECT_TRUE(writeMetadata(file, kind(), properties, &error)) << error;
        const std::string path = folder_.file(name + extensionFor(kind()));
        hx::image::test::writeBytes(path, file);
        return path;
    }

    PropertyDictionary readFile(const std::string& path) const {
        const std::vector<uint8_t> file = hx::image::test::readBytes(path);
        std::string error;
        auto properties = readMetadata(file.data(), file.size(), &error);
        EXPECT_TRUE(properties.has_value()) << error;
        return properties.value_or(PropertyDictionary{});
    }

    hx::image::test::TemporaryFolder folder_;
};

TEST_P(FileMetadata, CameraDictionaryReadsBack) {
    hx::log::CaptureScope log;
    const PropertyDictionary properties = cameraProperties(TestCapture{});
    const PropertyDictionary read = readFile(writeFile(properties));
    EXPECT_TRUE(test::containsAll(test::expectedAfterReading(properties, kind()), read, 1e-6));
    EXPECT_EQ("13:07:09.250000",
              read.dictionary(kCGImagePropertyGPSDictionary).string("TimeStamp"));
    EXPECT_TRUE(log.messages().empty()) << log.messages().front();
}

TEST_P(FileMetadata, ExiftoolSeesTheCameraValues) {
    HX_REQUIRE_TOOLS("exiftool");
    const auto tags = test::exiftoolTags(writeFile(cameraProperties(TestCapture{})));
    EXPECT_EQ("6", tags.at("IFD0:Orientation"));
    EXPECT_EQ("Apple", tags.at("IFD0:Make"));
    EXPECT_EQ("iPhone 12 Pro", tags.at("IFD0:Model"));
    EXPECT_EQ("Halidex Camera App", tags.at("IFD0:Software"));
    EXPECT_EQ(72, number(tags, "IFD0:XResolution"));
    EXPECT_EQ("2024:03:05 14:07:09", tags.at("ExifIFD:DateTimeOriginal"));
    EXPECT_EQ("2024:03:05 14:07:09", tags.at("ExifIFD:CreateDate"));
    EXPECT_EQ("0232", tags.at("ExifIFD:ExifVersion"));
    EXPECT_EQ("64", tags.at("ExifIFD:ISO"));
    EXPECT_NEAR(1.0 / 120.0, number(tags, "ExifIFD:ExposureTime"), 1e-12);
    if (kind() != FileKind::Tiff) {
        EXPECT_EQ("2688", tags.at("ExifIFD:ExifImageWidth"));
        EXPECT_EQ("4032", tags.at("ExifIFD:ExifImageHeight"));
    }
    EXPECT_EQ("2 2 0 0", tags.at("GPS:GPSVersionID"));
    EXPECT_EQ("N", tags.at("GPS:GPSLatitudeRef"));
    EXPECT_NEAR(double(TestLocation{}.latitude), number(tags, "GPS:GPSLatitude"), 1e-9);
    EXPECT_NEAR(double(TestLocation{}.longitude), number(tags, "Composite:GPSLongitude"), 1e-9);
    EXPECT_EQ(35.5, number(tags, "Composite:GPSAltitude"));
    EXPECT_EQ("2024:03:05 13:07:09.25Z", tags.at("Composite:GPSDateTime"));
    EXPECT_EQ("T", tags.at("GPS:GPSTrackRef"));
    EXPECT_EQ(271.25, number(tags, "GPS:GPSTrack"));
}

TestCapture southernWesternBelowSeaLevelUpsideDown() {
    TestCapture capture;
    capture.orientation = 8;
    capture.location->latitude = -34.603722f;
    capture.location->longitude = -58.381592f;
    capture.location->altitude = -12.25f;
    return capture;
}

TEST_P(FileMetadata, SouthernWesternBelowSeaLevelUpsideDown) {
    const std::string path = writeFile(cameraProperties(southernWesternBelowSeaLevelUpsideDown()));
    EXPECT_EQ(8, readFile(path).integer(kCGImagePropertyOrientation));
}

TEST_P(FileMetadata, ExiftoolSeesSouthernWesternBelowSeaLevelUpsideDown) {
    HX_REQUIRE_TOOLS("exiftool");
    const TestCapture capture = southernWesternBelowSeaLevelUpsideDown();
    const std::string path = writeFile(cameraProperties(capture));
    const auto tags = test::exiftoolTags(path);
    EXPECT_EQ("8", tags.at("IFD0:Orientation"));
    EXPECT_NEAR(double(capture.location->latitude), number(tags, "Composite:GPSLatitude"), 1e-9);
    EXPECT_NEAR(double(capture.location->longitude), number(tags, "Composite:GPSLongitude"), 1e-9);
    EXPECT_EQ("1", tags.at("GPS:GPSAltitudeRef"));
    EXPECT_EQ(-12.25, number(tags, "Composite:GPSAltitude"));
}

TestCapture withoutAltitudeAndCourse() {
    TestCapture capture;
    capture.location->altitude.reset();
    capture.location->course = -1;
    return capture;
}

TEST_P(FileMetadata, UnknownAltitudeAndCourseAreLeftOut) {
    const std::string path = writeFile(cameraProperties(withoutAltitudeAndCourse()));
    const PropertyDictionary gps = readFile(path).dictionary(kCGImagePropertyGPSDictionary);
    EXPECT_TRUE(gps.contains("Latitude"));
    for (const char* key : {"Altitude", "AltitudeRef", "Track", "TrackRef"})
        EXPECT_FALSE(gps.contains(key)) << key;
}

TEST_P(FileMetadata, ExiftoolSeesNoUnknownAltitudeOrCourse) {
    HX_REQUIRE_TOOLS("exiftool");
    const std::string path = writeFile(cameraProperties(withoutAltitudeAndCourse()));
    const auto tags = test::exiftoolTags(path);
    EXPECT_TRUE(tags.count("GPS:GPSLatitude"));
    for (const char* tag :
         {"GPS:GPSAltitude", "GPS:GPSAltitudeRef", "GPS:GPSTrack", "GPS:GPSTrackRef"})
        EXPECT_FALSE(tags.count(tag)) << tag;
}

TEST_P(FileMetadata, ExiftoolValidatesTheFile) {
    HX_REQUIRE_TOOLS("exiftool");
    TestCapture southWest;
    southWest.orientation = 8;
    southWest.location->latitude = -1.5f;
    southWest.location->longitude = -0.25f;
    southWest.location->altitude = -3.0f;
    TestCapture withoutLocation;
    withoutLocation.location.reset();
    std::vector<std::string> paths;
    for (const TestCapture& capture : {TestCapture{}, southWest, withoutLocation})
        paths.push_back(
            writeFile(cameraProperties(capture), "validated" + std::to_string(paths.size())));
    const auto reports = test::exiftoolValidate(paths);
    for (const std::string& path : paths) {
        ASSERT_TRUE(reports.count(path)) << "exiftool did not check " << path;
        const test::ValidationReport& report = reports.at(path);
        EXPECT_EQ("OK", report.result) << path;
        for (const std::string& warning : report.warnings) ADD_FAILURE() << path << ": " << warning;
    }
}

TEST_P(FileMetadata, WritingAgainReplacesTheMetadataAndKeepsThePixels) {
    const std::vector<uint8_t> blank = blankFile();
    std::vector<uint8_t> file = blank;
    std::string error;
    ASSERT_TRUE(writeMetadata(file, kind(), cameraProperties(TestCapture{}), &error)) << error;
    TestCapture second;
    second.orientation = 3;
    second.model = "iPad Pro";
    second.location.reset();
    ASSERT_TRUE(writeMetadata(file, kind(), cameraProperties(second), &error)) << error;

    const auto read = readMetadata(file.data(), file.size(), &error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(3, read->integer(kCGImagePropertyOrientation));
    EXPECT_EQ("iPad Pro", read->dictionary(kCGImagePropertyTIFFDictionary).string("Model"));
    EXPECT_FALSE(read->contains(kCGImagePropertyGPSDictionary));

    switch (kind()) {
        case FileKind::Jpeg: {
            // Everything from the start of the scan on is the untouched compressed image.
            const uint8_t startOfScan[2] = {0xff, 0xda};
            auto scanIn = [&](const std::vector<uint8_t>& bytes) {
                return std::vector<uint8_t>(
                    std::search(bytes.begin(), bytes.end(), startOfScan, startOfScan + 2),
                    bytes.end());
            };
            EXPECT_EQ(scanIn(blank), scanIn(file));
            break;
        }
        case FileKind::Png: {
            ImageRef original = readPng(blank.data(), blank.size(), &error);
            ImageRef written = readPng(file.data(), file.size(), &error);
            ASSERT_TRUE(written) << error;
            EXPECT_TRUE(hx::image::test::samePixels(*original, *written));
            break;
        }
        default: {
            // The uncompressed strip appears unchanged in the new file.
            const std::vector<uint8_t> strip = test::testPixels(kWidth, kHeight);
            ASSERT_NE(blank.end(),
                      std::search(blank.begin(), blank.end(), strip.begin(), strip.end()));
            EXPECT_NE(file.end(),
                      std::search(file.begin(), file.end(), strip.begin(), strip.end()));
            break;
        }
    }
}

TEST_P(FileMetadata, FileWithoutMetadataReadsAsEmptyOrResolutionOnly) {
    const std::vector<uint8_t> blank = blankFile();
    std::string error;
    const auto read = readMetadata(blank.data(), blank.size(), &error);
    ASSERT_TRUE(read) << error;
    EXPECT_FALSE(read->contains(kCGImagePropertyExifDictionary));
    EXPECT_FALSE(read->contains(kCGImagePropertyGPSDictionary));
    EXPECT_FALSE(read->contains(kCGImagePropertyOrientation));
}

TEST_P(FileMetadata, DamagedFilesFailCleanly) {
    hx::log::CaptureScope log;  // exiv2 warns about the damage; keep it out of the output
    std::vector<uint8_t> good = blankFile();
    std::string error;
    ASSERT_TRUE(writeMetadata(good, kind(), cameraProperties(TestCapture{}), &error));
    const size_t step = std::max<size_t>(1, good.size() / 97);
    for (size_t size = 0; size < good.size(); size += step) {
        std::vector<uint8_t> truncated(good.begin(), good.begin() + size);
        std::optional<PropertyDictionary> read;
        EXPECT_NO_THROW(read = readMetadata(truncated.data(), truncated.size(), &error));
        if (!read) {
            EXPECT_FALSE(error.empty()) << size;
        }
        const std::vector<uint8_t> before = truncated;
        bool written = true;
        EXPECT_NO_THROW(written = writeMetadata(truncated, kind(), PropertyDictionary{}, &error));
        if (!written) {
            EXPECT_EQ(before, truncated) << "a failed write leaves the bytes alone";
        }
    }
    // Bytes flipped all through the metadata.
    for (size_t position = 0; position < std::min<size_t>(good.size(), 1500); position += 3) {
        std::vector<uint8_t> damaged = good;
        damaged[position] ^= 0x5a;
        EXPECT_NO_THROW(readMetadata(damaged.data(), damaged.size(), &error)) << position;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, FileMetadata,
                         ::testing::Values(FileKind::Jpeg, FileKind::Tiff, FileKind::Png),
                         [](const ::testing::TestParamInfo<FileKind>& info) {
                             return std::string(info.param == FileKind::Jpeg   ? "Jpeg"
                                                : info.param == FileKind::Tiff ? "Tiff"
                                                                               : "Png");
                         });

TEST(FileMetadataInput, RefusesWhatItCannotWrite) {
    std::string error;
    std::vector<uint8_t> garbage(256);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 7 + 3);
    const std::vector<uint8_t> garbageBefore = garbage;
    EXPECT_FALSE(writeMetadata(garbage, FileKind::Jpeg, PropertyDictionary{}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(garbageBefore, garbage);

    std::vector<uint8_t> jpeg = test::makeJpegFile(8, 8);
    const std::vector<uint8_t> jpegBefore = jpeg;
    error.clear();
    EXPECT_FALSE(writeMetadata(jpeg, FileKind::Tiff, PropertyDictionary{}, &error))
        << "the kind must match the data";
    EXPECT_NE(std::string::npos, error.find("TIFF")) << error;
    EXPECT_FALSE(writeMetadata(jpeg, FileKind::Heic, PropertyDictionary{}, &error));
    EXPECT_EQ(jpegBefore, jpeg);

    std::vector<uint8_t> empty;
    EXPECT_FALSE(writeMetadata(empty, FileKind::Png, PropertyDictionary{}, nullptr));
}

TEST(FileMetadataInput, ReadingRejectsOtherData) {
    std::string error;
    const std::vector<uint8_t> garbage(300, 0x42);
    EXPECT_FALSE(readMetadata(garbage.data(), garbage.size(), &error));
    EXPECT_NE(std::string::npos, error.find("not a JPEG, TIFF or PNG")) << error;
    error.clear();
    EXPECT_FALSE(readMetadata(nullptr, 0, &error));
    EXPECT_FALSE(error.empty());
    // A GIF header: a format exiv2 knows but this module does not handle.
    const std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0};
    EXPECT_FALSE(readMetadata(gif.data(), gif.size(), nullptr));
}

}  // namespace
}  // namespace hx::image::metadata

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

#include "MetadataTestFiles.h"
#include "platform/image/metadata/ExifValues.h"
#include "platform/image/metadata/ImageMetadata.h"
#include "platform/log/CaptureScope.h"

namespace hx::image::metadata {
namespace {

using test::cameraProperties;
using test::containsAll;
using test::expectedAfterReading;
using test::TestCapture;
using test::TestLocation;

PropertyDictionary decode(const std::vector<uint8_t>& block) {
    std::string error;
    auto properties = decodeExifBlock(block.data(), block.size(), &error);
    EXPECT_TRUE(properties.has_value()) << error;
    return properties.value_or(PropertyDictionary{});
}

PropertyDictionary roundTrip(const PropertyDictionary& properties, FileKind kind = FileKind::Jpeg,
                             std::optional<int> orientationOverride = std::nullopt) {
    const std::vector<uint8_t> block = encodeExifBlock(properties, kind, orientationOverride);
    EXPECT_FALSE(block.empty());
    return decode(block);
}

TEST(ExifBlock, CameraDictionaryRoundTrips) {
    const PropertyDictionary properties = cameraProperties(TestCapture{});
    const std::vector<uint8_t> block = encodeExifBlock(properties, FileKind::Jpeg);
    ASSERT_GE(block.size(), 8u);
    EXPECT_EQ(0, std::memcmp(block.data(), "II*\0", 4)) << "little-endian TIFF header first";

    const PropertyDictionary read = decode(block);
    EXPECT_TRUE(containsAll(expectedAfterReading(properties, FileKind::Jpeg), read, 1e-6));
    // Types as the platform gives them.
    const PropertyDictionary exif = read.dictionary(kCGImagePropertyExifDictionary);
    EXPECT_EQ(PropertyValue("0232"), *exif.find(kCGImagePropertyExifVersion));
    EXPECT_EQ(PropertyValue("0100"), *exif.find(kCGImagePropertyExifFlashPixVersion));
    EXPECT_EQ(PropertyValue(PropertyValue::List{64}), *exif.find("ISOSpeedRatings"));
    EXPECT_TRUE(exif.find(kCGImagePropertyExifPixelXDimension)->isInteger());
    EXPECT_TRUE(exif.find(kCGImagePropertyExifExposureTime)->isReal());
    EXPECT_DOUBLE_EQ(1.0 / 120.0, *exif.real(kCGImagePropertyExifExposureTime));
    EXPECT_EQ(1, exif.integer(kCGImagePropertyExifColorSpace));
}

TEST(ExifBlock, GpsValuesComeBackWithinRationalPrecision) {
    TestCapture capture;
    capture.location = TestLocation{};
    capture.location->latitude = -33.856784f;
    capture.location->longitude = -151.215297f;
    capture.location->altitude = -4.75f;
    capture.location->timeStamp = "23:59:59.999999";
    const PropertyDictionary gps =
        roundTrip(cameraProperties(capture)).dictionary(kCGImagePropertyGPSDictionary);
    EXPECT_EQ("S", gps.string(kCGImagePropertyGPSLatitudeRef));
    EXPECT_EQ("W", gps.string(kCGImagePropertyGPSLongitudeRef));
    EXPECT_NEAR(double(33.856784f), *gps.real(kCGImagePropertyGPSLatitude), 1e-9);
    EXPECT_NEAR(double(151.215297f), *gps.real(kCGImagePropertyGPSLongitude), 1e-9);
    EXPECT_EQ(1, gps.integer(kCGImagePropertyGPSAltitudeRef));
    EXPECT_NEAR(4.75, *gps.real(kCGImagePropertyGPSAltitude), 1e-9);
    EXPECT_EQ("23:59:59.999999", gps.string(kCGImagePropertyGPSTimeStamp));
    EXPECT_EQ(PropertyValue(PropertyValue::List{2, 2, 0, 0}), *gps.find("GPSVersion"));
}

TEST(ExifBlock, CoordinatesRoundingUpToAWholeMinuteCarry) {
    const PropertyDictionary properties{
        {kCGImagePropertyGPSDictionary,
         PropertyDictionary{{"Latitude", 45.99999999999},
                            {"Longitude", 7.0 + 59.9999999999 / 60}}}};
    const PropertyDictionary gps = roundTrip(properties).dictionary(kCGImagePropertyGPSDictionary);
    EXPECT_NEAR(46.0, *gps.real("Latitude"), 1e-9);
    EXPECT_NEAR(8.0, *gps.real("Longitude"), 1e-9);
    EXPECT_EQ("N", gps.string("LatitudeRef")) << "the letter follows from the sign when not given";
}

TEST(ExifBlock, GpsTimeStampsAreNormalisedOrDropped) {
    const std::pair<const char*, const char*> cases[] = {
        {"00:00:00.000000", "00:00:00.000000"},
        {"7:5:9", "07:05:09.000000"},
        {"12:30:15.5", "12:30:15.500000"},
        {"noon", nullptr},
        {"12:61:00", nullptr},
    };
    for (const auto& [given, expected] : cases) {
        const PropertyDictionary properties{
            {kCGImagePropertyGPSDictionary,
             PropertyDictionary{{"Latitude", 1.5}, {"TimeStamp", given}}}};
        const PropertyDictionary gps =
            roundTrip(properties).dictionary(kCGImagePropertyGPSDictionary);
        if (expected == nullptr) {
            EXPECT_FALSE(gps.contains("TimeStamp")) << given;
        } else {
            EXPECT_EQ(expected, gps.string("TimeStamp")) << given;
        }
    }
}

TEST(ExifBlock, OrientationOverrideReplacesEveryOrientation) {
    const PropertyDictionary properties = cameraProperties(TestCapture{});
    const PropertyDictionary read = roundTrip(properties, FileKind::Heic, 1);
    EXPECT_EQ(1, read.integer(kCGImagePropertyOrientation));
    EXPECT_EQ(1, read.dictionary(kCGImagePropertyTIFFDictionary).integer("Orientation"));
    EXPECT_EQ(6, roundTrip(properties, FileKind::Heic).integer(kCGImagePropertyOrientation));
}

TEST(ExifBlock, TopLevelOrientationAndResolutionWinOverTheTiffDictionary) {
    const PropertyDictionary properties{
        {kCGImagePropertyOrientation, 8},
        {kCGImagePropertyDPIWidth, 300},
        {kCGImagePropertyDPIHeight, 150.5},
        {kCGImagePropertyTIFFDictionary,
         PropertyDictionary{{"Orientation", 3}, {"XResolution", 96}, {"YResolution", 96}}}};
    const PropertyDictionary read = roundTrip(properties);
    EXPECT_EQ(8, read.integer(kCGImagePropertyOrientation));
    EXPECT_EQ(300.0, read.real(kCGImagePropertyDPIWidth));
    EXPECT_EQ(150.5, read.real(kCGImagePropertyDPIHeight));
    EXPECT_EQ(2, read.dictionary(kCGImagePropertyTIFFDictionary).integer("ResolutionUnit"));

    const PropertyDictionary tiffOnly{
        {kCGImagePropertyTIFFDictionary, PropertyDictionary{{"Orientation", 3}}}};
    EXPECT_EQ(3, roundTrip(tiffOnly).integer(kCGImagePropertyOrientation));
    EXPECT_FALSE(roundTrip(PropertyDictionary{{kCGImagePropertyOrientation, 9}})
                     .contains(kCGImagePropertyOrientation))
        << "not an Exif orientation";
}

TEST(ExifBlock, EmptyDictionaryStillGetsWhatEveryCameraFileCarries) {
    const PropertyDictionary read = roundTrip(PropertyDictionary{}, FileKind::Jpeg);
    EXPECT_TRUE(containsAll(
        PropertyDictionary{
            {kCGImagePropertyDPIWidth, 72},
            {kCGImagePropertyDPIHeight, 72},
            {kCGImagePropertyTIFFDictionary,
             PropertyDictionary{{"ResolutionUnit", 2}, {"YCbCrPositioning", 1}}},
            {kCGImagePropertyExifDictionary,
             PropertyDictionary{{"ExifVersion", "0232"},
                                {"FlashPixVersion", "0100"},
                                {"ColorSpace", 1},
                                {"ComponentsConfiguration", PropertyValue::List{1, 2, 3, 0}}}}},
        read));
    EXPECT_FALSE(read.contains(kCGImagePropertyGPSDictionary));
}

TEST(ExifBlock, KindDecidesTheFormatSpecificTags) {
    const PropertyDictionary properties = cameraProperties(TestCapture{});
    const PropertyDictionary heic = roundTrip(properties, FileKind::Heic);
    EXPECT_FALSE(heic.dictionary(kCGImagePropertyTIFFDictionary).contains("YCbCrPositioning"));
    EXPECT_FALSE(
        heic.dictionary(kCGImagePropertyExifDictionary).contains("ComponentsConfiguration"));
    EXPECT_TRUE(heic.dictionary(kCGImagePropertyExifDictionary).contains("PixelXDimension"));

    const PropertyDictionary tiff = roundTrip(properties, FileKind::Tiff);
    EXPECT_FALSE(tiff.dictionary(kCGImagePropertyExifDictionary).contains("PixelXDimension"));
    EXPECT_EQ("GPS", tiff.dictionary(kCGImagePropertyGPSDictionary).string("ProcessingMethod"));
}

TEST(ExifBlock, ExifKeysKnownToExifSurviveAndInventedOnesAreDropped) {
    hx::log::CaptureScope log;
    const PropertyDictionary exif{
        {"LensMake", "Apple"},
        {"BodySerialNumber", "C39XK0001"},
        {"LensSpecification", PropertyValue::List{1.54, 6.0, 1.6, 2.4}},
        {"SubjectArea", PropertyValue::List{2015, 1511, 2217, 1330}},
        {"ExposureBiasValue", -0.6666666666666666},
        {"OffsetTimeOriginal", "+02:00"},
        {"UserComment", "taken on a bridge"},
        {"SceneType", 1},
        {"ExifVersion", PropertyValue::List{2, 3, 1}},
        {"FlashPixVersion", PropertyValue::List{1, 0}},
        {"NotATag", 5},
        {"FNumber", "not a number"},
    };
    const PropertyDictionary tiff{{"Artist", "A. Photographer"},
                                  {"Copyright", "2024"},
                                  {"ImageDescription", "a bridge"},
                                  {"ImageWidth", 99},
                                  {"Bogus", "x"}};
    const PropertyDictionary gps{
        {"Latitude", 1.0}, {"SpeedRef", "K"}, {"Speed", 3.5}, {"NotAGpsTag", 1}};
    const PropertyDictionary read =
        roundTrip(PropertyDictionary{{kCGImagePropertyExifDictionary, exif},
                                     {kCGImagePropertyTIFFDictionary, tiff},
                                     {kCGImagePropertyGPSDictionary, gps}});

    PropertyDictionary expectedExif = exif;
    for (const char* key : {"NotATag", "FNumber", "ExifVersion", "FlashPixVersion"})
        expectedExif.remove(key);
    expectedExif.set("ExifVersion", "0231");
    expectedExif.set("FlashPixVersion", "0100");
    const PropertyDictionary readExif = read.dictionary(kCGImagePropertyExifDictionary);
    EXPECT_TRUE(containsAll(expectedExif, readExif, 1e-9));
    EXPECT_FALSE(readExif.contains("NotATag"));
    EXPECT_FALSE(readExif.contains("FNumber")) << "a text cannot be stored as a rational";

    const PropertyDictionary readTiff = read.dictionary(kCGImagePropertyTIFFDictionary);
    EXPECT_TRUE(containsAll(
        PropertyDictionary{
            {"Artist", "A. Photographer"}, {"Copyright", "2024"}, {"ImageDescription", "a bridge"}},
        readTiff));
    EXPECT_FALSE(readTiff.contains("ImageWidth")) << "the image size is the codec's";
    EXPECT_FALSE(readTiff.contains("Bogus"));

    const PropertyDictionary readGps = read.dictionary(kCGImagePropertyGPSDictionary);
    EXPECT_TRUE(containsAll(PropertyDictionary{{"SpeedRef", "K"}, {"Speed", 3.5}}, readGps));
    EXPECT_FALSE(readGps.contains("NotAGpsTag"));
    EXPECT_TRUE(log.messages().empty()) << log.messages().front();
}

TEST(ExifBlock, CommentsKeepTextBeyondAscii) {
    const std::string text = "Br\u00fccke \u00fcber den Fluss \u6a4b";
    const PropertyDictionary properties{
        {kCGImagePropertyExifDictionary, PropertyDictionary{{"UserComment", text}}}};
    EXPECT_EQ(
        text,
        roundTrip(properties).dictionary(kCGImagePropertyExifDictionary).string("UserComment"));
}

TEST(ExifBlock, InvalidVersionFieldsFallBackToTheDefaults) {
    const PropertyDictionary exif =
        roundTrip(
            PropertyDictionary{{kCGImagePropertyExifDictionary,
                                PropertyDictionary{{"ExifVersion", "2.3"}, {"ColorSpace", 2}}}})
            .dictionary(kCGImagePropertyExifDictionary);
    EXPECT_EQ("0232", exif.string("ExifVersion"));
    EXPECT_EQ(1, exif.integer("ColorSpace")) << "only sRGB and uncalibrated are valid";
}

TEST(ExifBlock, DecodingAcceptsTheJpegPrefixAndRejectsOtherData) {
    std::vector<uint8_t> block = encodeExifBlock(cameraProperties(TestCapture{}), FileKind::Jpeg);
    std::vector<uint8_t> prefixed(6 + block.size());
    std::memcpy(prefixed.data(), "Exif\0\0", 6);
    std::copy(block.begin(), block.end(), prefixed.begin() + 6);
    EXPECT_EQ(6, decode(prefixed).integer(kCGImagePropertyOrientation));

    std::string error;
    const std::vector<uint8_t> garbage(64, 0x5a);
    EXPECT_FALSE(decodeExifBlock(garbage.data(), garbage.size(), &error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(decodeExifBlock(nullptr, 0, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(decodeExifBlock(block.data(), 0, nullptr));
}

TEST(ExifBlock, DamagedBlocksNeverThrow) {
    hx::log::CaptureScope log;  // exiv2 warns about the damage; keep it out of the output
    const std::vector<uint8_t> block =
        encodeExifBlock(cameraProperties(TestCapture{}), FileKind::Jpeg);
    for (size_t size = 0; size < block.size(); size += 3) {
        std::string error;
        EXPECT_NO_THROW(decodeExifBlock(block.data(), size, &error)) << size;
    }
    for (size_t position = 0; position < block.size(); ++position) {
        std::vector<uint8_t> damaged = block;
        damaged[position] ^= 0xa5;
        std::string error;
        std::optional<PropertyDictionary> read;
        EXPECT_NO_THROW(read = decodeExifBlock(damaged.data(), damaged.size(), &error));
        if (!read) {
            EXPECT_FALSE(error.empty()) << position;
        }
    }
}

TEST(ExifBlock, Exiv2WarningsGoToTheLog) {
    hx::log::CaptureScope log;
    // IFD0 with one entry whose data lies beyond the end of the block.
    const std::vector<uint8_t> block = {'I',  'I',  42, 0, 8,  0, 0, 0,  // header
                                        1,    0,                         // one entry
                                        0x0f, 0x01, 2,  0, 64, 0, 0, 0,  // Make, 64 chars
                                        0x00, 0x10, 0,  0,               // at offset 4096
                                        0,    0,    0,  0};              // no next IFD
    std::string error;
    decodeExifBlock(block.data(), block.size(), &error);
    const std::vector<std::string> messages = log.messages();
    ASSERT_FALSE(messages.empty());
    for (const std::string& message : messages) {
        EXPECT_EQ(0u, message.rfind("exiv2: ", 0)) << message;
        EXPECT_NE('\n', message.back());
    }
}

TEST(ExifBlock, UsableFromSeveralThreadsAtOnce) {
    const PropertyDictionary properties = cameraProperties(TestCapture{});
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i) {
                const std::vector<uint8_t> block = encodeExifBlock(properties, FileKind::Jpeg);
                auto read = decodeExifBlock(block.data(), block.size(), nullptr);
                if (!read || read->integer(kCGImagePropertyOrientation) != 6) ++failures;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(0, failures.load());
}

TEST(RationalApproximation, FindsTheSimpleFractionsCamerasUse) {
    using Fraction = std::pair<int64_t, int64_t>;
    const int64_t limit = 0xffffffffLL;
    EXPECT_EQ(Fraction(1, 120), detail::approximateRational(1.0 / 120.0, limit));
    EXPECT_EQ(Fraction(9, 5), detail::approximateRational(1.8, limit));
    EXPECT_EQ(Fraction(1, 2), detail::approximateRational(0.5, limit));
    EXPECT_EQ(Fraction(0, 1), detail::approximateRational(0.0, limit));
    EXPECT_EQ(Fraction(-2, 3), detail::approximateRational(-2.0 / 3.0, 0x7fffffff));
    EXPECT_EQ(Fraction(72, 1), detail::approximateRational(72.0, limit));
    const auto tiny = detail::approximateRational(1e-12, limit);
    ASSERT_TRUE(tiny);
    EXPECT_LE(tiny->second, limit);
    EXPECT_FALSE(detail::approximateRational(5e9, limit)) << "does not fit";
    EXPECT_FALSE(detail::approximateRational(std::nan(""), limit));
    EXPECT_FALSE(detail::approximateRational(INFINITY, limit));
    const auto pi = detail::approximateRational(M_PI, limit);
    ASSERT_TRUE(pi);
    EXPECT_NEAR(M_PI, double(pi->first) / double(pi->second), M_PI * 1e-12);
}

}  // namespace
}  // namespace hx::image::metadata

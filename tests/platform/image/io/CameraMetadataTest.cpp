// Photos written through image destinations with the camera's whole metadata dictionary, read
// back by our own image source and by independent tools (exiftool, heif-info, tiffinfo).

#include <gtest/gtest.h>

#include <cmath>

#include "../TestImages.h"
#include "platform/image/ImageTypes.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/image/io/ImageSource.h"
#include "tests/support/RunCommand.h"

namespace {

using namespace hx::image;
using hx::testsupport::runCommand;
using test::TemporaryFolder;

struct Shot {
    int orientation = 6;
    double latitude = 52.5163, longitude = 13.3777, altitude = 34.5, course = 90.25;
    bool geotag = true;
};

// The dictionary the camera builds for a picture of `width` × `height`.
PropertyDictionary cameraProperties(int width, int height, const Shot& shot) {
    PropertyDictionary exif{
        {kCGImagePropertyExifPixelXDimension, height},
        {kCGImagePropertyExifPixelYDimension, width},
        {kCGImagePropertyExifDateTimeOriginal, "2026:12:07 14:03:27"},
        {kCGImagePropertyExifDateTimeDigitized, "2026:12:07 14:03:27"},
        {kCGImagePropertyExifExposureTime, 0.008},
        {kCGImagePropertyExifFNumber, 1.8},
        {kCGImagePropertyExifISOSpeedRatings, PropertyValue::List{PropertyValue(64)}},
        {"LensMake", "Halidex"},
    };
    PropertyDictionary tiff{
        {kCGImagePropertyTIFFOrientation, shot.orientation},
        {kCGImagePropertyTIFFModel, "iPhone 15 Pro"},
        {kCGImagePropertyTIFFMake, "Apple"},
        {kCGImagePropertyTIFFSoftware, "Halidex Camera App"},
    };
    PropertyDictionary properties{
        {kCGImagePropertyOrientation, shot.orientation},
        {kCGImagePropertyPixelWidth, width},
        {kCGImagePropertyPixelHeight, height},
        {kCGImagePropertyDPIWidth, 72},
        {kCGImagePropertyDPIHeight, 72},
        {kCGImagePropertyDepth, 8},
        {kCGImagePropertyColorModel, "RGB"},
        {kCGImagePropertyExifDictionary, exif},
        {kCGImagePropertyTIFFDictionary, tiff},
    };
    if (shot.geotag) {
        PropertyDictionary gps{
            {kCGImagePropertyGPSLatitudeRef, shot.latitude < 0 ? "S" : "N"},
            {kCGImagePropertyGPSLatitude, float(std::fabs(shot.latitude))},
            {kCGImagePropertyGPSLongitudeRef, shot.longitude < 0 ? "W" : "E"},
            {kCGImagePropertyGPSLongitude, float(std::fabs(shot.longitude))},
            {kCGImagePropertyGPSTimeStamp, "13:03:27.250000"},
            {kCGImagePropertyGPSDateStamp, "2026:12:07"},
        };
        if (!std::isnan(shot.altitude)) {
            gps.set(kCGImagePropertyGPSAltitudeRef, shot.altitude < 0 ? 1 : 0);
            gps.set(kCGImagePropertyGPSAltitude, float(std::fabs(shot.altitude)));
        }
        if (shot.course >= 0) {
            gps.set(kCGImagePropertyGPSTrackRef, "T");
            gps.set(kCGImagePropertyGPSTrack, float(shot.course));
        }
        properties.set(kCGImagePropertyGPSDictionary, gps);
    }
    return properties;
}

// exiftool's value of one tag ("-n": numbers as numbers, no units), or "" when absent.
std::string exiftool(const std::string& path, const std::string& tag) {
    std::string value = runCommand("exiftool -s3 -n -" + tag + " '" + path + "' 2>&1").output;
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    return value;
}

ImageRef picture(PixelFormat format, int width, int height) {
    return test::makePattern(format, width, height, 0, true);
}

bool write(const std::string& path, const std::string& type, const ImageRef& image,
           const PropertyDictionary& properties) {
    auto destination = ImageDestination::createWithURL(path, type, 1);
    if (!destination) return false;
    destination->addImage(image, properties);
    return destination->finalize();
}

class CameraMetadata : public ::testing::Test {
  protected:
    TemporaryFolder folder;
};

TEST_F(CameraMetadata, GreyJpegCarriesEveryTagForExiftool) {
    const std::string path = folder.file("grey.jpg");
    ASSERT_TRUE(write(path, kUTTypeJPEG, picture(PixelFormat::Grey8, 96, 64),
                      cameraProperties(96, 64, {})));
    EXPECT_EQ(exiftool(path, "Orientation"), "6");
    EXPECT_EQ(exiftool(path, "Make"), "Apple");
    EXPECT_EQ(exiftool(path, "Model"), "iPhone 15 Pro");
    EXPECT_EQ(exiftool(path, "Software"), "Halidex Camera App");
    EXPECT_EQ(exiftool(path, "DateTimeOriginal"), "2026:12:07 14:03:27");
    EXPECT_EQ(exiftool(path, "CreateDate"), "2026:12:07 14:03:27");
    EXPECT_EQ(exiftool(path, "ExifImageWidth"), "64");
    EXPECT_EQ(exiftool(path, "ExifImageHeight"), "96");
    EXPECT_EQ(exiftool(path, "GPSLatitudeRef"), "N");
    EXPECT_NEAR(std::stod(exiftool(path, "GPSLatitude")), 52.5163, 1e-4);
    EXPECT_EQ(exiftool(path, "GPSLongitudeRef"), "E");
    EXPECT_EQ(exiftool(path, "GPSAltitudeRef"), "0");
    EXPECT_NEAR(std::stod(exiftool(path, "GPSAltitude")), 34.5, 1e-3);
    EXPECT_EQ(exiftool(path, "GPSDateStamp"), "2026:12:07");
    EXPECT_EQ(exiftool(path, "GPSTrackRef"), "T");
    EXPECT_NEAR(std::stod(exiftool(path, "GPSTrack")), 90.25, 1e-3);
    EXPECT_EQ(exiftool(path, "LensMake"), "Halidex");
    EXPECT_EQ(exiftool(path, "ColorComponents"), "1");

    auto source = ImageSource::createWithURL(path);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->type(), kUTTypeJPEG);
    PropertyDictionary back = source->copyPropertiesAtIndex(0);
    EXPECT_EQ(back.integer(kCGImagePropertyOrientation), 6);
    EXPECT_EQ(back.integer(kCGImagePropertyPixelWidth), 96);
    EXPECT_EQ(back.string(kCGImagePropertyColorModel), "Gray");
    EXPECT_EQ(back.dictionary(kCGImagePropertyTIFFDictionary).string(kCGImagePropertyTIFFMake),
              "Apple");
    EXPECT_EQ(back.dictionary(kCGImagePropertyExifDictionary)
                  .integer(kCGImagePropertyExifPixelXDimension),
              64);
}

TEST_F(CameraMetadata, SouthernWesternBelowSeaLevelWithoutCourse) {
    Shot shot;
    shot.orientation = 8;
    shot.latitude = -33.8568;
    shot.longitude = -70.6483;
    shot.altitude = -12.0;
    shot.course = -1;
    const std::string path = folder.file("south.jpg");
    ASSERT_TRUE(write(path, kUTTypeJPEG, picture(PixelFormat::BGRA8, 64, 48),
                      cameraProperties(64, 48, shot)));
    EXPECT_EQ(exiftool(path, "Orientation"), "8");
    EXPECT_EQ(exiftool(path, "GPSLatitudeRef"), "S");
    EXPECT_EQ(exiftool(path, "GPSLongitudeRef"), "W");
    EXPECT_EQ(exiftool(path, "GPSAltitudeRef"), "1");
    // exiftool signs the altitude by its reference.
    EXPECT_NEAR(std::stod(exiftool(path, "GPSAltitude")), -12.0, 1e-3);
    EXPECT_EQ(exiftool(path, "GPSTrack"), "");
    EXPECT_EQ(exiftool(path, "GPSTrackRef"), "");
    // Our reader gives the magnitudes back with their references.
    PropertyDictionary gps = ImageSource::createWithURL(path)->copyPropertiesAtIndex(0).dictionary(
        kCGImagePropertyGPSDictionary);
    EXPECT_EQ(gps.string(kCGImagePropertyGPSLatitudeRef), "S");
    EXPECT_NEAR(gps.real(kCGImagePropertyGPSLatitude).value_or(0), 33.8568, 1e-4);
    EXPECT_NEAR(gps.real(kCGImagePropertyGPSLongitude).value_or(0), 70.6483, 1e-4);
    EXPECT_FALSE(gps.contains(kCGImagePropertyGPSTrack));
}

TEST_F(CameraMetadata, NoAltitudeAndNoGeotag) {
    Shot noAltitude;
    noAltitude.altitude = std::nan("");
    const std::string path = folder.file("noalt.jpg");
    ASSERT_TRUE(write(path, kUTTypeJPEG, picture(PixelFormat::RGB8, 32, 32),
                      cameraProperties(32, 32, noAltitude)));
    EXPECT_EQ(exiftool(path, "GPSAltitude"), "");
    EXPECT_EQ(exiftool(path, "GPSLatitudeRef"), "N");

    Shot none;
    none.geotag = false;
    const std::string plain = folder.file("plain.jpg");
    ASSERT_TRUE(write(plain, kUTTypeJPEG, picture(PixelFormat::RGB8, 32, 32),
                      cameraProperties(32, 32, none)));
    EXPECT_EQ(exiftool(plain, "GPSLatitude"), "");
    EXPECT_EQ(exiftool(plain, "Make"), "Apple");
}

TEST_F(CameraMetadata, GreyTiffForTiffinfoAndExiftool) {
    const std::string path = folder.file("grey.tif");
    ASSERT_TRUE(write(path, kUTTypeTIFF, picture(PixelFormat::Grey8, 40, 30),
                      cameraProperties(40, 30, {})));
    std::string info = runCommand("tiffinfo '" + path + "' 2>&1").output;
    EXPECT_NE(info.find("Image Width: 40 Image Length: 30"), std::string::npos) << info;
    EXPECT_NE(info.find("Bits/Sample: 8"), std::string::npos) << info;
    EXPECT_NE(info.find("min-is-black"), std::string::npos) << info;
    EXPECT_EQ(exiftool(path, "Orientation"), "6");
    EXPECT_EQ(exiftool(path, "Make"), "Apple");
    EXPECT_EQ(exiftool(path, "DateTimeOriginal"), "2026:12:07 14:03:27");
    EXPECT_EQ(exiftool(path, "GPSLatitudeRef"), "N");
    auto source = ImageSource::createWithURL(path);
    ASSERT_TRUE(source);
    auto image = source->createImageAtIndex(0);
    ASSERT_TRUE(image);
    EXPECT_TRUE(test::samePixels(*picture(PixelFormat::Grey8, 40, 30), *image));
}

TEST_F(CameraMetadata, ColourHeicTurnsThroughItsTransform) {
    const std::string path = folder.file("colour.heic");
    ASSERT_TRUE(write(path, kUTTypeHEIC, picture(PixelFormat::BGRA8, 64, 48),
                      cameraProperties(64, 48, {})));
    std::string info = runCommand("heif-info '" + path + "' 2>&1").output;
    // heif-info reports the picture as displayed: the quarter turn of orientation 6 applied.
    EXPECT_NE(info.find("48x64"), std::string::npos) << info;
    EXPECT_NE(info.find("Exif"), std::string::npos) << info;
    // Readers apply the transform; the Exif inside says 1 so nobody turns it twice.
    EXPECT_EQ(exiftool(path, "Orientation"), "1");
    EXPECT_EQ(exiftool(path, "Make"), "Apple");
    EXPECT_EQ(exiftool(path, "GPSLatitudeRef"), "N");
    auto source = ImageSource::createWithURL(path);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->type(), kUTTypeHEIC);
    PropertyDictionary back = source->copyPropertiesAtIndex(0);
    EXPECT_EQ(back.integer(kCGImagePropertyOrientation), 6);
    EXPECT_EQ(back.integer(kCGImagePropertyPixelWidth), 64);
    EXPECT_EQ(back.integer(kCGImagePropertyPixelHeight), 48);
    auto image = source->createImageAtIndex(0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 64);
}

TEST_F(CameraMetadata, ValidatorFindsNothingToWarnAbout) {
    for (const auto& [name, type] :
         {std::pair{"v.jpg", kUTTypeJPEG}, std::pair{"v.tif", kUTTypeTIFF}}) {
        const std::string path = folder.file(name);
        ASSERT_TRUE(
            write(path, type, picture(PixelFormat::RGB8, 48, 32), cameraProperties(48, 32, {})));
        std::string report =
            runCommand("exiftool -validate -warning -a '" + path + "' 2>&1").output;
        EXPECT_NE(report.find("Validate                        : OK"), std::string::npos)
            << name << "\n"
            << report;
    }
}

TEST_F(CameraMetadata, JpegFromSourceKeepsItsBytesAndTakesTheNewMetadata) {
    // The camera compresses first, then writes image 0 of that JPEG with the metadata.
    std::vector<uint8_t> compressed;
    auto first = ImageDestination::createWithData(&compressed, kUTTypeJPEG, 1);
    first->addImage(picture(PixelFormat::RGB8, 64, 48),
                    {{kCGImageDestinationLossyCompressionQuality, 0.9}});
    ASSERT_TRUE(first->finalize());
    auto source = ImageSource::createWithData(compressed);
    ASSERT_TRUE(source);
    std::vector<uint8_t> final;
    auto destination = ImageDestination::createWithData(&final, source->type(), 1);
    destination->addImageFromSource(*source, 0, cameraProperties(64, 48, {}));
    ASSERT_TRUE(destination->finalize());
    auto again = ImageSource::createWithData(final);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->copyPropertiesAtIndex(0).integer(kCGImagePropertyOrientation), 6);
    auto a = source->createImageAtIndex(0), b = again->createImageAtIndex(0);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(test::samePixels(*a, *b)) << "the pixels must not be compressed twice";
}

TEST_F(CameraMetadata, BadInputFailsCleanly) {
    EXPECT_FALSE(ImageSource::createWithData(std::vector<uint8_t>{}));
    EXPECT_FALSE(ImageSource::createWithData(std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_FALSE(ImageSource::createWithURL(folder.file("missing.jpg")));
    // A known type that is cut short: a source, but no image and no properties.
    std::vector<uint8_t> jpeg;
    auto d = ImageDestination::createWithData(&jpeg, kUTTypeJPEG, 1);
    d->addImage(picture(PixelFormat::RGB8, 64, 48), {});
    ASSERT_TRUE(d->finalize());
    jpeg.resize(jpeg.size() / 2);
    auto truncated = ImageSource::createWithData(jpeg);
    ASSERT_TRUE(truncated);
    EXPECT_FALSE(truncated->createImageAtIndex(0));

    EXPECT_FALSE(ImageDestination::createWithData(&jpeg, "public.gif", 1));
    EXPECT_FALSE(ImageDestination::createWithData(&jpeg, kUTTypeJPEG, 2));
    std::vector<uint8_t> untouched{9, 9};
    auto empty = ImageDestination::createWithData(&untouched, kUTTypePNG, 1);
    EXPECT_FALSE(empty->finalize());  // nothing added
    EXPECT_EQ(untouched, (std::vector<uint8_t>{9, 9}));
    auto file = ImageDestination::createWithURL(folder.file("no/such/dir/x.png"), kUTTypePNG, 1);
    file->addImage(picture(PixelFormat::RGB8, 8, 8), {});
    EXPECT_FALSE(file->finalize());
}

TEST_F(CameraMetadata, ThumbnailsFitTheirSize) {
    for (const auto& [name, type] :
         {std::pair{"t.jpg", kUTTypeJPEG}, std::pair{"t.tif", kUTTypeTIFF},
          std::pair{"t.png", kUTTypePNG}, std::pair{"t.heic", kUTTypeHEIC}}) {
        const std::string path = folder.file(name);
        ASSERT_TRUE(write(path, type, picture(PixelFormat::RGB8, 400, 300), {}));
        auto thumbnail = ImageSource::createWithURL(path)->createThumbnailAtIndex(0, 100);
        ASSERT_TRUE(thumbnail) << name;
        EXPECT_EQ(thumbnail->width(), 100) << name;
        EXPECT_EQ(thumbnail->height(), 75) << name;
    }
}

}  // namespace

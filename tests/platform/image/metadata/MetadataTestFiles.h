#pragma once
// Files and dictionaries for the metadata tests: small images written directly with libjpeg,
// libtiff and libpng, the dictionary the camera writes for a photo, and exiftool as an
// independent reader of what ends up in the files.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/image/PropertyDictionary.h"
#include "platform/image/metadata/ImageMetadata.h"

namespace hx::image::metadata::test {

// The RGB rows, without padding, of every image made below.
std::vector<uint8_t> testPixels(int width, int height);
// A baseline RGB JPEG with no metadata segments.
std::vector<uint8_t> makeJpegFile(int width, int height);
// An uncompressed RGB TIFF at 72 dpi, written through `scratchPath`.
std::vector<uint8_t> makeTiffFile(int width, int height, const std::string& scratchPath);
// An RGB PNG (pixels from hx::image::test::makePattern).
std::vector<uint8_t> makePngFile(int width, int height);

struct TestLocation {
    float latitude = 48.85837f;
    float longitude = 2.294481f;
    std::optional<float> altitude = 35.5f;
    float course = 271.25f;  // negative when unknown
    std::string timeStamp = "13:07:09.250000";
    std::string dateStamp = "2024:03:05";
};

struct TestCapture {
    int pixelWidth = 4032;
    int pixelHeight = 2688;
    int orientation = 6;
    std::string model = "iPhone 12 Pro";
    std::string date = "2024:03:05 14:07:09";
    std::optional<TestLocation> location = TestLocation{};
};

// The dictionary the camera builds for a photo: top level, {TIFF}, {Exif} (the capture's own
// Exif entries plus dimensions and dates) and {GPS} when a location is given.
PropertyDictionary cameraProperties(const TestCapture& capture);

// Every entry of `expected` is in `actual` with the same value, reals within `tolerance`.
// Entries the writer adds on its own (versions, colour space) may be there besides.
::testing::AssertionResult containsAll(const PropertyDictionary& expected,
                                       const PropertyDictionary& actual, double tolerance = 1e-9);

// What reading gives back of the camera's dictionary: no top-level entries that are not Exif
// tags (the codec reports those), and no Exif dimensions in a TIFF file.
PropertyDictionary expectedAfterReading(PropertyDictionary properties, FileKind kind);

// Every tag exiftool reads from the file, as "Group:Tag" (family 1 groups) to its numeric
// value as text.
std::map<std::string, std::string> exiftoolTags(const std::string& path);
// What `exiftool -validate -warning` reports for each file: the Validate result and each
// warning line. One exiftool run checks all the files.
struct ValidationReport {
    std::string result;
    std::vector<std::string> warnings;
};
std::map<std::string, ValidationReport> exiftoolValidate(const std::vector<std::string>& paths);

}  // namespace hx::image::metadata::test

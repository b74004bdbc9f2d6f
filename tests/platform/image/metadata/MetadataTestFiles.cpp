#include "MetadataTestFiles.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <tiffio.h>

#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "../TestImages.h"
#include "platform/image/png/PngCodec.h"
#include "tests/support/RunCommand.h"

namespace hx::image::metadata::test {
namespace {

using hx::testsupport::runCommand;
using hx::testsupport::shellQuoted;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

}  // namespace

std::vector<uint8_t> testPixels(int width, int height) {
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        const size_t pixel = i / 3;
        const int x = int(pixel % size_t(width)), y = int(pixel / size_t(width));
        pixels[i] = static_cast<uint8_t>((x * 37 + y * 11 + int(i % 3) * 80) & 255);
    }
    return pixels;
}

std::vector<uint8_t> makeJpegFile(int width, int height) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    info.write_JFIF_header = FALSE;
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> pixels = testPixels(width, height);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {pixels.data() + size_t(info.next_scanline) * size_t(width) * 3};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> file(buffer, buffer + size);
    std::free(buffer);
    return file;
}

std::vector<uint8_t> makeTiffFile(int width, int height, const std::string& scratchPath) {
    TIFF* tiff = TIFFOpen(scratchPath.c_str(), "w");
    if (tiff == nullptr) throw std::runtime_error("cannot create " + scratchPath);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(height));
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 72.0f);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 72.0f);
    std::vector<uint8_t> pixels = testPixels(width, height);
    for (int y = 0; y < height; ++y)
        TIFFWriteScanline(tiff, pixels.data() + size_t(y) * size_t(width) * 3, uint32_t(y), 0);
    TIFFClose(tiff);
    return hx::image::test::readBytes(scratchPath);
}

std::vector<uint8_t> makePngFile(int width, int height) {
    std::vector<uint8_t> file;
    if (!writePng(*hx::image::test::makePattern(PixelFormat::RGB8, width, height), file))
        throw std::runtime_error("cannot encode a PNG");
    return file;
}

PropertyDictionary cameraProperties(const TestCapture& capture) {
    // What the capture itself reports, copied into the Exif dictionary.
    PropertyDictionary exif{
        {"ExposureTime", 1.0 / 120.0},
        {"FNumber", 1.6},
        {"ISOSpeedRatings", PropertyValue::List{64}},
        {"FocalLength", 4.2},
        {"FocalLenIn35mmFilm", 26},
        {"LensModel", "back camera 4.2mm f/1.6"},
        {"ExposureBiasValue", -0.5},
        {"Flash", 16},
        {"MeteringMode", 5},
        {"WhiteBalance", 0},
        {"SubsecTimeOriginal", "250"},
    };
    exif.set(kCGImagePropertyExifPixelXDimension, capture.pixelHeight);
    exif.set(kCGImagePropertyExifPixelYDimension, capture.pixelWidth);
    exif.set(kCGImagePropertyExifDateTimeOriginal, capture.date);
    exif.set(kCGImagePropertyExifDateTimeDigitized, capture.date);

    PropertyDictionary tiff{
        {kCGImagePropertyTIFFOrientation, capture.orientation},
        {kCGImagePropertyTIFFModel, capture.model},
        {kCGImagePropertyTIFFMake, "Apple"},
        {kCGImagePropertyTIFFSoftware, "Halidex Camera App"},
    };

    PropertyDictionary properties{
        {kCGImagePropertyOrientation, capture.orientation},
        {kCGImagePropertyPixelWidth, capture.pixelWidth},
        {kCGImagePropertyPixelHeight, capture.pixelHeight},
        {kCGImagePropertyDPIWidth, 72},
        {kCGImagePropertyDPIHeight, 72},
        {kCGImagePropertyDepth, 8},
        {kCGImagePropertyColorModel, kCGImagePropertyColorModelRGB},
        {kCGImagePropertyExifDictionary, exif},
        {kCGImagePropertyTIFFDictionary, tiff},
    };
    if (const auto& l = capture.location) {
        PropertyDictionary gps{
            {kCGImagePropertyGPSLatitudeRef, l->latitude < 0 ? "S" : "N"},
            {kCGImagePropertyGPSLatitude, std::fabs(l->latitude)},
            {kCGImagePropertyGPSLongitudeRef, l->longitude < 0 ? "W" : "E"},
            {kCGImagePropertyGPSLongitude, std::fabs(l->longitude)},
            {kCGImagePropertyGPSTimeStamp, l->timeStamp},
            {kCGImagePropertyGPSDateStamp, l->dateStamp},
        };
        if (l->altitude) {
            gps.set(kCGImagePropertyGPSAltitudeRef, *l->altitude < 0 ? 1 : 0);
            gps.set(kCGImagePropertyGPSAltitude, std::fabs(*l->altitude));
        }
        if (l->course >= 0) {
            gps.set(kCGImagePropertyGPSTrackRef, "T");
            gps.set(kCGImagePropertyGPSTrack, l->course);
        }
        properties.set(kCGImagePropertyGPSDictionary, gps);
    }
    return properties;
}

::testing::AssertionResult containsAll(const PropertyDictionary& expected,
                                       const PropertyDictionary& actual, double tolerance) {
    for (const auto& [key, value] : expected) {
        const PropertyValue* found = actual.find(key);
        if (found == nullptr) return ::testing::AssertionFailure() << key << " is missing";
        if (value.isDictionary()) {
            if (!found->isDictionary())
                return ::testing::AssertionFailure() << key << " is not a dictionary";
            auto nested = containsAll(*value.dictionary(), *found->dictionary(), tolerance);
            if (!nested) return ::testing::AssertionFailure() << key << ": " << nested.message();
        } else if (value.isReal() || found->isReal()) {
            if (!found->real() || std::fabs(*found->real() - *value.real()) > tolerance)
                return ::testing::AssertionFailure()
                       << key << " is " << found->description() << ", not " << value.description();
        } else if (!(*found == value)) {
            return ::testing::AssertionFailure()
                   << key << " is " << found->description() << ", not " << value.description();
        }
    }
    return ::testing::AssertionSuccess();
}

PropertyDictionary expectedAfterReading(PropertyDictionary properties, FileKind kind) {
    for (const char* key : {kCGImagePropertyPixelWidth, kCGImagePropertyPixelHeight,
                            kCGImagePropertyDepth, kCGImagePropertyColorModel})
        properties.remove(key);
    if (kind == FileKind::Tiff) {
        PropertyDictionary exif = properties.dictionary(kCGImagePropertyExifDictionary);
        exif.remove(kCGImagePropertyExifPixelXDimension);
        exif.remove(kCGImagePropertyExifPixelYDimension);
        properties.set(kCGImagePropertyExifDictionary, exif);
    }
    return properties;
}

std::map<std::string, std::string> exiftoolTags(const std::string& path) {
    std::map<std::string, std::string> tags;
    for (const std::string& line :
         lines(runCommand("exiftool -args -n -G1 -a " + shellQuoted(path)).output)) {
        // "-Group:Tag=value"
        const size_t equals = line.find('=');
        if (line.empty() || line[0] != '-' || equals == std::string::npos) continue;
        tags[line.substr(1, equals - 1)] = line.substr(equals + 1);
    }
    return tags;
}

std::map<std::string, ValidationReport> exiftoolValidate(const std::vector<std::string>& paths) {
    std::string command = "exiftool -validate -warning -a -s -G1";
    for (const std::string& path : paths) command += " " + shellQuoted(path);
    std::map<std::string, ValidationReport> reports;
    // With one file exiftool prints no "======== path" header.
    ValidationReport* report = paths.size() == 1 ? &reports[paths.front()] : nullptr;
    for (const std::string& line : lines(runCommand(command + " 2>&1").output)) {
        if (line.rfind("======== ", 0) == 0) {
            report = &reports[line.substr(9)];
            continue;
        }
        const size_t colon = line.find(':');
        if (report == nullptr || colon == std::string::npos) continue;
        const size_t name = line.find("Validate");
        if (name != std::string::npos && name < colon) {
            report->result = line.substr(line.find_first_not_of(' ', colon + 1));
        } else {
            report->warnings.push_back(line);
        }
    }
    return reports;
}

}  // namespace hx::image::metadata::test

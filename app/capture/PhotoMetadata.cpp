// The metadata of a captured photo.

#include "app/capture/PhotoMetadata.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "core/film/FilmTable.h"
#include "platform/image/ImageTypes.h"

namespace hx::app {

using namespace hx::image;

namespace {

// The names the film pictures (buttons and picker titles) show, by film index.
constexpr std::array<const char*, film::kFilmCount> kFilmNames = {
    "PAN 100",  "FLAT 400", "SOFT 125", "RED 200",  "IR 800",    "GRIT 3200", "DUSK 50",
    "GLOW 400", "FADE 160", "WARM 200", "COOL 400", "VIVID 100", "PASTEL 160"};

std::string formatTime(double seconds, const char* format, bool utc) {
    std::time_t whole = std::time_t(std::floor(seconds));
    std::tm parts{};
    if (utc)
        gmtime_r(&whole, &parts);
    else
        localtime_r(&whole, &parts);
    char text[64];
    size_t length = std::strftime(text, sizeof text, format, &parts);
    return std::string(text, length);
}

}  // namespace

int exifOrientationForCapture(int64_t tempOrientation) {
    switch (tempOrientation) {
        case 1:
            return 3;
        case 2:
            return 8;
        case 3:
            return 6;
        default:
            return 1;
    }
}

std::string filmName(int32_t film) {
    return film::isFilm(film) ? kFilmNames[size_t(film)] : "";
}

std::string filmComment(int32_t film) {
    std::string name = filmName(film);
    std::string comment = "film " + std::to_string(film);
    return name.empty() ? comment : comment + " " + name;
}

std::string exifDateText(double secondsSince1970) {
    return formatTime(secondsSince1970, "%Y:%m:%d %H:%M:%S", false);
}

std::string gpsTimeText(double secondsSince1970) {
    double whole = std::floor(secondsSince1970);
    long micros = std::lround((secondsSince1970 - whole) * 1e6);
    if (micros >= 1000000) {
        whole += 1;
        micros -= 1000000;
    }
    char fraction[32];
    std::snprintf(fraction, sizeof fraction, ".%06ld", micros);
    return formatTime(whole, "%H:%M:%S", true) + fraction;
}

std::string gpsDateText(double secondsSince1970) {
    return formatTime(secondsSince1970, "%Y:%m:%d", true);
}

PropertyDictionary buildPhotoMetadata(const PhotoMetadataInput& input) {
    const int orientation = exifOrientationForCapture(input.tempOrientation);

    // The photo's own Exif entries first; the stored picture's size and the dates replace
    // theirs. The pixel dimensions are the stored width and height: the orientation alone says
    // how a reader turns the picture.
    PropertyDictionary exif = input.photoExif;
    exif.set(kCGImagePropertyExifPixelXDimension, input.width);
    exif.set(kCGImagePropertyExifPixelYDimension, input.height);
    // The dates are when the photo was taken; a fix can be much older than that.
    const std::string date = exifDateText(input.captureTime);
    exif.set(kCGImagePropertyExifDateTimeOriginal, date);
    exif.set(kCGImagePropertyExifDateTimeDigitized, date);
    exif.set(kExifUserComment, filmComment(input.film));

    PropertyDictionary tiff;
    tiff.set(kCGImagePropertyTIFFOrientation, orientation);
    if (auto cameraModel = input.photoTiff.string(kCGImagePropertyTIFFModel)) {
        tiff.set(kCGImagePropertyTIFFModel, *cameraModel);
        if (auto cameraMake = input.photoTiff.string(kCGImagePropertyTIFFMake))
            tiff.set(kCGImagePropertyTIFFMake, *cameraMake);
    } else {
        tiff.set(kCGImagePropertyTIFFModel, input.model);
        tiff.set(kCGImagePropertyTIFFMake, kPhotoMake);
    }
    tiff.set(kCGImagePropertyTIFFSoftware, kPhotoSoftware);

    PropertyDictionary metadata;
    metadata.set(kCGImagePropertyOrientation, orientation);
    metadata.set(kCGImagePropertyPixelWidth, input.width);
    metadata.set(kCGImagePropertyPixelHeight, input.height);
    metadata.set(kCGImagePropertyDPIWidth, 72);
    metadata.set(kCGImagePropertyDPIHeight, 72);
    metadata.set(kCGImagePropertyDepth, 8);
    metadata.set(kCGImagePropertyColorModel, kCGImagePropertyColorModelRGB);
    metadata.set(kCGImagePropertyExifDictionary, exif);
    metadata.set(kCGImagePropertyTIFFDictionary, tiff);

    if (input.location) {
        const Location& where = *input.location;
        PropertyDictionary gps;
        gps.set(kCGImagePropertyGPSLatitudeRef, where.latitude < 0 ? "S" : "N");
        gps.set(kCGImagePropertyGPSLatitude, float(std::fabs(where.latitude)));
        gps.set(kCGImagePropertyGPSLongitudeRef, where.longitude < 0 ? "W" : "E");
        gps.set(kCGImagePropertyGPSLongitude, float(std::fabs(where.longitude)));
        if (where.hasAltitude()) {
            gps.set(kCGImagePropertyGPSAltitudeRef, where.altitude < 0 ? 1 : 0);
            gps.set(kCGImagePropertyGPSAltitude, float(std::fabs(where.altitude)));
        }
        gps.set(kCGImagePropertyGPSTimeStamp, gpsTimeText(where.timestamp));
        gps.set(kCGImagePropertyGPSDateStamp, gpsDateText(where.timestamp));
        if (where.course >= 0) {
            gps.set(kCGImagePropertyGPSTrackRef, "T");
            gps.set(kCGImagePropertyGPSTrack, float(where.course));
        }
        metadata.set(kCGImagePropertyGPSDictionary, gps);
    }
    return metadata;
}

const char* photoFormatName(PhotoFormat format) {
    switch (format) {
        case PhotoFormat::TIFF:
            return "TIFF";
        case PhotoFormat::HEIC:
            return "HEIC";
        case PhotoFormat::JPEG:
            break;
    }
    return "JPEG";
}

const char* photoFormatType(PhotoFormat format) {
    switch (format) {
        case PhotoFormat::TIFF:
            return kUTTypeTIFF;
        case PhotoFormat::HEIC:
            return kUTTypeHEIC;
        case PhotoFormat::JPEG:
            break;
    }
    return kUTTypeJPEG;
}

PhotoFormat photoFormatFor(film::OfflineVariant variant, bool tiff, bool heic) {
    switch (variant) {
        case film::OfflineVariant::Mono:
            return tiff ? PhotoFormat::TIFF : PhotoFormat::JPEG;
        case film::OfflineVariant::MonoHEIC:
            return PhotoFormat::HEIC;
        case film::OfflineVariant::Color:
            break;
    }
    return heic ? PhotoFormat::HEIC : PhotoFormat::JPEG;
}

}  // namespace hx::app

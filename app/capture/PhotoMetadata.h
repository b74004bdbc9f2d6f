#pragma once
// The metadata a captured photo is stored with: orientation, size, dates, camera model, software
// name, the film that made it and, when geotagging applies, the GPS position. Built from plain
// values so that it does not depend on the camera screen.

#include <cstdint>
#include <optional>
#include <string>

#include "core/film/FilmRenderer.h"
#include "platform/image/PropertyDictionary.h"
#include "platform/location/Location.h"

namespace hx::app {

inline constexpr const char* kPhotoMake = "Apple";
inline constexpr const char* kPhotoSoftware = "Halidex Camera App";
inline constexpr const char* kExifUserComment = "UserComment";

// The stored image orientation for the capture orientation code kept by the rotation
// (3 device upright, 2 upside down, 0 landscape left, 1 landscape right).
int exifOrientationForCapture(int64_t tempOrientation);

// The name a film's picture shows ("PAN 100"); empty outside the film table.
std::string filmName(int32_t film);
// "film N NAME", the comment a photo records its film with.
std::string filmComment(int32_t film);

// "yyyy:MM:dd HH:mm:ss" in the local time zone.
std::string exifDateText(double secondsSince1970);
// "HH:mm:ss.SSSSSS" and "yyyy:MM:dd" in UTC.
std::string gpsTimeText(double secondsSince1970);
std::string gpsDateText(double secondsSince1970);

struct PhotoMetadataInput {
    image::PropertyDictionary photoExif;  // the captured photo's own Exif entries
    int width = 0, height = 0;            // the stored picture
    int64_t tempOrientation = 3;
    std::string model;  // the device's model name
    // The captured photo's own TIFF entries: a real camera names its maker and model there,
    // and those replace the device's.
    image::PropertyDictionary photoTiff;
    int32_t film = 0;
    double captureTime = 0;  // seconds since 1970, when the shutter was pressed
    // The position when geotagging applies (on, and a fix received); nothing otherwise.
    std::optional<Location> location;
};

// The top-level dictionary with its Exif, TIFF and (with a location) GPS dictionaries.
image::PropertyDictionary buildPhotoMetadata(const PhotoMetadataInput& input);

// The file kinds a photo is stored as.
enum class PhotoFormat { JPEG, TIFF, HEIC };
const char* photoFormatName(PhotoFormat format);
const char* photoFormatType(PhotoFormat format);

// The kind a photo of that processing variant is stored as: monochrome TIFF when asked for,
// else JPEG; monochrome HEIC always HEIC; colour HEIC when asked for, else JPEG (colour is never
// stored as TIFF).
PhotoFormat photoFormatFor(film::OfflineVariant variant, bool tiff, bool heic);

}  // namespace hx::app

#pragma once
// The {GPS} dictionary and the GPS IFD. Coordinates are non-negative degrees in the dictionary
// with their reference letters, and degrees, minutes and seconds in the file; the time stamp is
// "HH:mm:ss.SSSSSS" text in the dictionary and hours, minutes and seconds in the file.

#include <exiv2/exif.hpp>

#include "platform/image/PropertyDictionary.h"

namespace hx::image::metadata::detail {

// Adds the GPS IFD entries for `gps`, with GPSVersionID 2.2.0.0, when it holds any GPS tag.
void addGpsTags(const PropertyDictionary& gps, Exiv2::ExifData& exif);

// The {GPS} dictionary of the GPS IFD entries in `exif`, read from data in `byteOrder`; empty
// when there are none.
PropertyDictionary gpsProperties(const Exiv2::ExifData& exif, Exiv2::ByteOrder byteOrder);

}  // namespace hx::image::metadata::detail

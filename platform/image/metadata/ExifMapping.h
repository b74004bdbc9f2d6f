#pragma once
// Property dictionaries to exiv2 Exif data and back; shared by the Exif block and file paths.

#include <exiv2/exif.hpp>
#include <exiv2/tags.hpp>

#include <optional>

#include "platform/image/PropertyDictionary.h"
#include "platform/image/metadata/ImageMetadata.h"

namespace hx::image::metadata::detail {

// IFD0, Exif IFD and GPS IFD entries for the properties, with the tags a camera file of `kind`
// is expected to carry added where the properties lack them.
Exiv2::ExifData exifDataForProperties(const PropertyDictionary& properties, FileKind kind,
                                      std::optional<int> orientationOverride);

// The {TIFF}, {Exif} and {GPS} dictionaries with the top-level Orientation and DPI, from Exif
// data read in `byteOrder`.
PropertyDictionary propertiesForExifData(const Exiv2::ExifData& exif, Exiv2::ByteOrder byteOrder);

// Replaces the entry of `tag`, or adds one.
void setTag(Exiv2::ExifData& exif, const Exiv2::TagInfo& tag, const Exiv2::Value& value);

}  // namespace hx::image::metadata::detail

#pragma once
// Exif, TIFF and GPS metadata of image files, in the property-dictionary form (top-level
// Orientation and DPI, the {Exif}, {TIFF} and {GPS} dictionaries), through exiv2.
//
// Writing maps each dictionary key to the Exif tag of the same name (the {GPS} keys without
// their "GPS" prefix) and stores it with the tag's own Exif type; keys that name no Exif tag are
// dropped. Besides the given values, every file gets what a camera file is expected to carry:
// ExifVersion, FlashpixVersion, ColorSpace and the resolution tags, and for JPEG also
// YCbCrPositioning and ComponentsConfiguration. GPS coordinates are written as degrees, minutes
// and seconds with their reference letters, the time stamp as hours, minutes and seconds.
//
// Reading gives integers for integer tags, reals for rational tags, text for ASCII tags and
// version fields ("0232"), and lists for tags that hold several values (ISOSpeedRatings,
// LensSpecification); latitude and longitude come back as non-negative degrees and the GPS time
// stamp as "HH:mm:ss.SSSSSS" text.
//
// Failures are reported by the result (empty, nullopt, false) with a message in `error` when
// one is given; nothing throws. Warnings exiv2 itself prints go to the system log.
//
// Threads: every function may be called from any thread, at the same time as the others; calls
// share no state apart from the one-time setup of exiv2, which is done under a lock.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/image/PropertyDictionary.h"

namespace hx::image::metadata {

enum class FileKind { Jpeg, Tiff, Png, Heic };

// Exif block for the properties: the payload of a JPEG APP1 Exif segment after its
// "Exif\0\0" prefix, starting with a little-endian TIFF header. `orientationOverride` replaces
// the orientation written (HEIC stores its orientation in the container and writes 1). Empty
// when the block cannot be built.
std::vector<uint8_t> encodeExifBlock(const PropertyDictionary& properties, FileKind kind,
                                     std::optional<int> orientationOverride = std::nullopt);

// Properties found in an Exif block (a leading "Exif\0\0" is skipped): {Exif}, {TIFF}, {GPS}
// and the top-level Orientation and DPIWidth/DPIHeight.
std::optional<PropertyDictionary> decodeExifBlock(const uint8_t* data, size_t size,
                                                  std::string* error);

// Writes the properties into an already encoded JPEG, TIFF or PNG file held in `file`,
// replacing its Exif metadata (other metadata such as an ICC profile is kept). In a TIFF file
// the tags that describe the image data, resolution included, stay as the encoder wrote them.
// False with *error on failure; `file` is then unchanged.
bool writeMetadata(std::vector<uint8_t>& file, FileKind kind, const PropertyDictionary& properties,
                   std::string* error);

// Metadata of a JPEG, TIFF or PNG file: the same dictionaries as decodeExifBlock; an empty
// dictionary when it has none, nullopt when the bytes are not a readable file of those kinds.
std::optional<PropertyDictionary> readMetadata(const uint8_t* file, size_t size,
                                               std::string* error);

}  // namespace hx::image::metadata

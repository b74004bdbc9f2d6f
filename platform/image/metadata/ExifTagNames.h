#pragma once
// Which Exif tag a dictionary key stands for, and back. The keys of the {TIFF} and {Exif}
// dictionaries are the tag names of IFD0 and the Exif IFD, those of {GPS} the GPS tag names
// without their "GPS" prefix; a few keys keep the spelling the platform gives them
// ("FlashPixVersion", "SubsecTimeOriginal", "GPSVersion", ...). Tags are looked up in exiv2's
// own tag tables, so every tag it knows is carried.

#include <exiv2/tags.hpp>

#include <string>

namespace hx::image::metadata::detail {

enum class ExifGroup { Image, Photo, Gps };

// The tag of `group` that `key` names, or null when there is none or the tag is one the
// dictionaries never carry (pointers to other IFDs, the layout of the image data, the maker
// note, embedded ICC, XMP or IPTC blocks).
const Exiv2::TagInfo* tagForKey(ExifGroup group, const std::string& key);

// The group of an exiv2 group name ("Image", "Photo", "GPSInfo"); false for other groups.
bool groupForName(const std::string& groupName, ExifGroup* group);

// The dictionary key of a tag that tagForKey() accepts; empty for any other tag, including tags
// exiv2 does not know by name.
std::string keyForTag(ExifGroup group, uint16_t tag);

// The table entry of a tag that tagForKey() accepts, else null.
const Exiv2::TagInfo* carriedTag(ExifGroup group, uint16_t tag);

}  // namespace hx::image::metadata::detail

#pragma once
// Exif in PNG files as an eXIf chunk. exiv2 0.27 would store it hex-encoded in a
// "Raw profile type exif" text chunk, which most readers ignore and validators flag; the eXIf
// chunk is the standard place.

#include <cstdint>
#include <string>
#include <vector>

namespace hx::image::metadata::detail {

// Puts `exifBlock` (TIFF header first) into an eXIf chunk right after IHDR, removing any
// earlier eXIf chunk and "Raw profile type exif" text chunk. False with *error when `file` is
// not a well-formed PNG file; it is then unchanged.
bool replacePngExif(std::vector<uint8_t>& file, const std::vector<uint8_t>& exifBlock,
                    std::string* error);

}  // namespace hx::image::metadata::detail

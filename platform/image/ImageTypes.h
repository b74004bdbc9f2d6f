#pragma once
// Type identifiers of the image file formats, and recognising a format from its first bytes.

#include <cstddef>
#include <cstdint>
#include <string>

namespace hx::image {

inline constexpr const char* kUTTypeJPEG = "public.jpeg";
inline constexpr const char* kUTTypeTIFF = "public.tiff";
inline constexpr const char* kUTTypeHEIC = "public.heic";
inline constexpr const char* kUTTypePNG = "public.png";

// The type of the file whose bytes start at `data`, or an empty string for none we read.
std::string typeOfData(const uint8_t* data, size_t size);

// The type for a file name's extension (".jpg", ".jpeg", ".tif", ".tiff", ".heic", ".heif",
// ".png", any case), or an empty string.
std::string typeForPath(const std::string& path);

bool isSupportedType(const std::string& type);

}  // namespace hx::image

#pragma once
// What the library records about an image file when it comes in: its type, stored pixel size,
// orientation and the date it was taken.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hx::photos {

struct ImageFileInfo {
    std::string typeIdentifier;  // "public.jpeg", ...
    int pixelWidth = 0;          // as stored, before orientation
    int pixelHeight = 0;
    int orientation = 1;
    std::optional<double> dateTaken;  // seconds since 1970, from Exif DateTimeOriginal
};

// Nothing when the bytes are not a readable JPEG, PNG, TIFF or HEIC file. The bytes are shared,
// not copied.
std::optional<ImageFileInfo> inspectImageFile(std::shared_ptr<const std::vector<uint8_t>> bytes);

// Exif dates ("2026:12:07 14:03:27") carry no zone; like the camera that wrote them, they are
// read as local time.
std::optional<double> parseExifDate(const std::string& text);

// "jpg", "png", "tiff", "heic"; "dat" for anything else.
std::string extensionForType(const std::string& typeIdentifier);

}  // namespace hx::photos

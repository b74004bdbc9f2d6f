#pragma once
// Plain pieces of the photo browser: the display orientation of an Exif orientation, the file
// names and writes of shared copies, and the copy of a photo without its location.
//
// Threads: every function may be called from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/drawing/UIImage.h"

namespace hx::app {

// A file name safe in any folder: letters, digits, '.', '-' and '_' kept, every other byte '_',
// no leading dot, at most 100 bytes with the extension kept. An empty or unusable name becomes
// "photo" with `fallbackExtension` (".jpg").
std::string sanitizedFileName(std::string_view name, std::string_view fallbackExtension);

// Writes the bytes into a file of `folder` that did not exist before: `name`, else "stem-2.ext",
// "stem-3.ext", ... (made with O_EXCL, so a stale file of the same name is never reused or
// overwritten). The folder is made when missing. The bytes are flushed and the file's size
// checked. The path, or nothing with `error`; a failed write leaves no file behind.
std::optional<std::string> writeNewFile(const std::string& folder, const std::string& name,
                                        const std::vector<uint8_t>& bytes,
                                        std::string* error = nullptr);

// Whether the JPEG, TIFF or PNG file carries a GPS position.
bool hasLocation(const std::vector<uint8_t>& file);
// The same file without its GPS metadata; the compressed pixels are kept byte for byte. Nothing,
// with `error`, for a file whose metadata cannot be rewritten (HEIC, a damaged file).
std::optional<std::vector<uint8_t>> withoutLocation(const std::vector<uint8_t>& file,
                                                    std::string* error = nullptr);

// Where shared copies are written: the camera's own temporary folder.
std::string shareFolder();

}  // namespace hx::app

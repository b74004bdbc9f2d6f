#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace hx::image {

// The image layer's names for the shared whole-file reader and atomic writer of
// platform/paths/FileAccess.h.

// Reads a whole file. False, with a message in `error` when given, if it cannot be opened or read
// or is larger than `maxBytes`.
bool readFileContents(const std::string& path, std::vector<uint8_t>& contents, std::string* error,
                      size_t maxBytes = size_t{1} << 31);

// Writes `size` bytes to a temporary file beside `path`, flushes it to disk and renames it over
// `path`, so readers see either the old file or the complete new one and a failure never leaves
// a torn file behind.
bool writeFileAtomically(const std::string& path, const uint8_t* bytes, size_t size,
                         std::string* error);

}  // namespace hx::image

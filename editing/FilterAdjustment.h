#pragma once
// The adjustment data written with every edit: the application's identifier as the format,
// version "1.0", and the grid row as a keyed archive (a binary property list) whose root object
// is a number.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/photos/editing/AdjustmentData.h"

namespace hx::editing {

inline constexpr const char* kAdjustmentFormatIdentifier = "org.halidex.camera";
inline constexpr const char* kAdjustmentFormatVersion = "1.0";

// A keyed archive of `row` as a 32-bit integer: {"$archiver": "NSKeyedArchiver",
// "$version": 100000, "$top": {"root": UID 1}, "$objects": ["$null", row]}, as a binary
// property list. Empty when the list cannot be written.
std::vector<uint8_t> archiveFilterRow(int32_t row);
// The row a keyed archive holds; nothing when the bytes are not such an archive of an integer.
std::optional<int32_t> unarchiveFilterRow(const std::vector<uint8_t>& bytes);

std::shared_ptr<const photos::AdjustmentData> makeAdjustmentData(int32_t row);

}  // namespace hx::editing

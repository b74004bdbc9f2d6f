#pragma once
// File names read back from the library's database are data like any other: a damaged or
// tampered row may hold a path that climbs out of the library or names any file on the machine.
// Whatever turns such a name into a path to read or write goes through these first.
//
// Threads: any thread.

#include <optional>
#include <string>

namespace hx::photos {

// The name when it is a plain file name: not empty, not "." or "..", without a folder separator
// or a NUL. Nullopt for anything else, which the caller treats as damage. (Other characters,
// control characters included, are legal in file names; whoever prints them escapes them.)
std::optional<std::string> safeBaseName(const std::string& stored);

// `path` with links and "." / ".." resolved, when it lies inside `folder` (itself resolved);
// nullopt when it lies elsewhere or cannot be resolved. The file need not exist.
std::optional<std::string> resolveInsideFolder(const std::string& folder, const std::string& path);

}  // namespace hx::photos

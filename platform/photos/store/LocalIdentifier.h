#pragma once
// Local identifiers of library objects: a random UUID in upper-case hex followed by a suffix
// naming the kind of object ("/L0/001" for assets, "/L0/040" for albums).

#include <string>

namespace hx::photos {

inline constexpr const char* kAssetIdentifierSuffix = "/L0/001";
inline constexpr const char* kAlbumIdentifierSuffix = "/L0/040";

// A new random version-4 UUID, "XXXXXXXX-XXXX-4XXX-YXXX-XXXXXXXXXXXX". Thread-safe.
std::string makeUUID();

// The UUID part of a local identifier: everything before the first '/'.
std::string uuidOfLocalIdentifier(const std::string& identifier);

}  // namespace hx::photos

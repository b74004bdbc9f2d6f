#pragma once
// The library database's schema, versioned by PRAGMA user_version. Each version has one upgrade
// step from the version before it, run in its own transaction together with the new version
// number, so a crash mid-upgrade leaves the previous version intact.

#include <string>

namespace hx::photos {

class Database;

inline constexpr int kLibrarySchemaVersion = 1;

// Brings the database up to kLibrarySchemaVersion. False, with the reason in `error`, when the
// database was written by a newer program or an upgrade step fails.
bool upgradeLibrarySchema(Database& db, std::string* error);

}  // namespace hx::photos

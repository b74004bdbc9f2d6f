#pragma once
// The library database's schema, versioned by PRAGMA user_version. Each version has one upgrade
// step from the version before it, run in its own transaction together with the new version
// number, so a crash mid-upgrade leaves the previous version intact. Before an existing library
// is upgraded, a copy of it is kept beside it.
//
// Version 1: assets, albums, album membership.
// Version 2: edits (adjustment data and the rendered file), a revision and modification date per
//            asset, the original file name, the change log that other processes read to learn
//            what changed, the assets of a limited-access selection, and a date index that
//            orders ties too.
// Version 3: the size and a hash of each original, recorded when it is saved, so that a file
//            moved or renamed by hand can be found again by its content; the original's path
//            inside the library folder when it was found away from where its name puts it.

#include <string>

namespace hx::photos {

class Database;

inline constexpr int kLibrarySchemaVersion = 3;

// Brings the database up to kLibrarySchemaVersion. Before upgrading a database that already has
// a schema, copies it to `backupFolder`/library-v<N>-backup.sqlite unless that copy exists (an
// empty folder skips the copy). False, with the reason in `error`, when the database was written
// by a newer program or an upgrade step fails.
// `newer`, when given, is set when the database was written by a newer version.
bool upgradeLibrarySchema(Database& db, const std::string& backupFolder, std::string* error,
                          bool* newer = nullptr);

}  // namespace hx::photos

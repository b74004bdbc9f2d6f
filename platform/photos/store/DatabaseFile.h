#pragma once
// The library's database file itself, before SQLite opens it: what is wrong with one that
// exists, and making a new one.

#include <optional>
#include <string>

namespace hx::photos {

inline constexpr const char* kDatabaseFileName = "library.sqlite";

// What is wrong with an existing database file, in words; nothing when it looks like a
// database. SQLite would take an empty file for a new, empty database.
std::optional<std::string> databaseFileDamage(const std::string& path);

// Makes <folder>/library.sqlite with the current schema under a temporary name, then renames it
// into place, so that a file at the real name is never half made. False, with the reason.
bool createDatabase(const std::string& folder, std::string* error);

}  // namespace hx::photos

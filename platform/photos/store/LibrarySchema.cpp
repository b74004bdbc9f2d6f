#include "platform/photos/store/LibrarySchema.h"

#include <filesystem>
#include <optional>

#include "platform/log/Log.h"
#include "platform/photos/store/Database.h"

namespace hx::photos {
namespace {

bool upgradeToVersion1(Database& db) {
    return db.execute(R"sql(
        CREATE TABLE assets (
            local_identifier TEXT PRIMARY KEY NOT NULL,
            media_type INTEGER NOT NULL,
            creation_date REAL NOT NULL,
            pixel_width INTEGER NOT NULL,
            pixel_height INTEGER NOT NULL,
            orientation INTEGER NOT NULL,
            file_name TEXT NOT NULL,
            original_type_identifier TEXT NOT NULL,
            added_date REAL NOT NULL
        );
        CREATE INDEX assets_by_creation_date ON assets(creation_date);
        CREATE TABLE albums (
            local_identifier TEXT PRIMARY KEY NOT NULL,
            title TEXT NOT NULL,
            creation_date REAL NOT NULL
        );
        CREATE TABLE album_assets (
            album TEXT NOT NULL REFERENCES albums(local_identifier) ON DELETE CASCADE,
            asset TEXT NOT NULL REFERENCES assets(local_identifier) ON DELETE CASCADE,
            position INTEGER NOT NULL,
            PRIMARY KEY (album, asset)
        );
        CREATE INDEX album_assets_by_asset ON album_assets(asset);
    )sql");
}

bool upgradeToVersion2(Database& db) {
    return db.execute(R"sql(
        ALTER TABLE assets ADD COLUMN revision INTEGER NOT NULL DEFAULT 0;
        ALTER TABLE assets ADD COLUMN modification_date REAL NOT NULL DEFAULT 0;
        ALTER TABLE assets ADD COLUMN original_filename TEXT NOT NULL DEFAULT '';
        UPDATE assets SET modification_date = added_date, original_filename = file_name;
        -- Listing by date reads the index in order, ties included, without sorting.
        DROP INDEX assets_by_creation_date;
        CREATE INDEX assets_by_creation_date_and_identifier
            ON assets(creation_date, local_identifier);
        CREATE TABLE adjustments (
            asset TEXT PRIMARY KEY NOT NULL
                REFERENCES assets(local_identifier) ON DELETE CASCADE,
            format_identifier TEXT NOT NULL,
            format_version TEXT NOT NULL,
            data BLOB NOT NULL,
            rendered_file_name TEXT NOT NULL,
            rendered_type_identifier TEXT NOT NULL,
            pixel_width INTEGER NOT NULL,
            pixel_height INTEGER NOT NULL,
            orientation INTEGER NOT NULL,
            adjusted_date REAL NOT NULL
        );
        CREATE TABLE transactions (
            id INTEGER PRIMARY KEY AUTOINCREMENT,
            committed_date REAL NOT NULL,
            origin TEXT NOT NULL
        );
        CREATE TABLE change_log (
            transaction_id INTEGER NOT NULL REFERENCES transactions(id) ON DELETE CASCADE,
            kind INTEGER NOT NULL,
            object TEXT NOT NULL
        );
        CREATE INDEX change_log_by_transaction ON change_log(transaction_id);
        CREATE TABLE limited_selection (
            asset TEXT PRIMARY KEY NOT NULL
                REFERENCES assets(local_identifier) ON DELETE CASCADE
        );
    )sql");
}

bool upgradeToVersion3(Database& db) {
    // Originals saved before know neither size nor hash (-1 and empty).
    return db.execute(R"sql(
        ALTER TABLE assets ADD COLUMN file_size INTEGER NOT NULL DEFAULT -1;
        ALTER TABLE assets ADD COLUMN content_hash TEXT NOT NULL DEFAULT '';
        ALTER TABLE assets ADD COLUMN original_path TEXT NOT NULL DEFAULT '';
    )sql");
}

// Index i upgrades from version i to version i + 1.
using UpgradeStep = bool (*)(Database&);
constexpr UpgradeStep kUpgradeSteps[] = {upgradeToVersion1, upgradeToVersion2, upgradeToVersion3};
static_assert(std::size(kUpgradeSteps) == kLibrarySchemaVersion);

std::string newerVersionMessage(int64_t version) {
    return "the photo library was written by a newer version (schema " + std::to_string(version) +
           "); this program reads up to " + std::to_string(kLibrarySchemaVersion);
}

std::string sqlString(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

// A consistent copy of the whole database (WAL included) in one file.
void keepBackup(Database& db, const std::string& folder, int64_t version) {
    std::string path = folder + "/library-v" + std::to_string(version) + "-backup.sqlite";
    std::error_code ignored;
    if (std::filesystem::exists(path, ignored)) return;
    if (!db.execute("VACUUM INTO " + sqlString(path))) {
        hxLog("photo library: cannot keep a copy of schema %s before upgrading",
              std::to_string(version).c_str());
    }
}

}  // namespace

bool upgradeLibrarySchema(Database& db, const std::string& backupFolder, std::string* error,
                          bool* newer) {
    auto fail = [&](std::string message) {
        if (error) *error = std::move(message);
        return false;
    };
    std::optional<int64_t> version = db.queryInteger("PRAGMA user_version");
    if (!version) return fail("cannot read the photo library's schema version");
    if (*version > kLibrarySchemaVersion) {
        if (newer) *newer = true;
        return fail(newerVersionMessage(*version));
    }
    if (*version > 0 && *version < kLibrarySchemaVersion && !backupFolder.empty()) {
        keepBackup(db, backupFolder, *version);
    }

    for (int64_t from = *version; from < kLibrarySchemaVersion; ++from) {
        Transaction transaction(db);
        if (!transaction.begun()) return fail("cannot begin upgrading the photo library");
        // Another process may have upgraded while this one waited for the write lock.
        std::optional<int64_t> current = db.queryInteger("PRAGMA user_version");
        if (!current) return fail("cannot read the photo library's schema version");
        if (*current > kLibrarySchemaVersion) {
            if (newer) *newer = true;
            return fail(newerVersionMessage(*current));
        }
        if (*current > from) {
            from = *current - 1;
            continue;
        }
        int64_t to = from + 1;
        if (!kUpgradeSteps[from](db) ||
            !db.execute("PRAGMA user_version = " + std::to_string(to)) || !transaction.commit()) {
            return fail("cannot upgrade the photo library to schema " + std::to_string(to) + ": " +
                        db.lastError());
        }
    }
    return true;
}

}  // namespace hx::photos

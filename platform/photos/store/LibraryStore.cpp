#include "platform/photos/store/LibraryStore.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "platform/log/Log.h"
#include "platform/paths/Paths.h"
#include "platform/photos/store/Database.h"
#include "platform/photos/store/LibrarySchema.h"
#include "platform/photos/store/LocalIdentifier.h"
#include "platform/photos/store/StoreAttempt.h"

namespace hx::photos {
namespace {

constexpr const char* kDatabaseName = "library.sqlite";
constexpr int kBusyTimeoutMilliseconds = 5000;
constexpr double kChangeLogDays = 7;

constexpr const char* kAssetColumns =
    "a.local_identifier, a.media_type, a.creation_date, a.pixel_width, a.pixel_height, "
    "a.orientation, a.file_name, a.original_type_identifier, a.added_date, a.modification_date, "
    "a.revision, a.original_filename, a.rowid";
constexpr const char* kAssetTables = " FROM assets a";
// Edits are few next to assets, so they are read in one go and matched up, rather than looked
// up row by row.
constexpr const char* kAdjustmentQuery =
    "SELECT asset, format_identifier, format_version, data, rendered_file_name, "
    "rendered_type_identifier, pixel_width, pixel_height, orientation, adjusted_date "
    "FROM adjustments";
constexpr const char* kAlbumColumns =
    "SELECT l.local_identifier, l.title, l.creation_date, "
    "(SELECT COUNT(*) FROM album_assets c WHERE c.album = l.local_identifier), l.rowid "
    "FROM albums l";

const char* orderWord(SortOrder order) {
    return order == SortOrder::Ascending ? "ASC" : "DESC";
}

AssetRecord readAsset(const Statement& row, bool withAlbumPosition) {
    AssetRecord r;
    r.localIdentifier = row.text(0);
    r.mediaType = MediaType(row.integer(1));
    r.creationDate = row.real(2);
    r.pixelWidth = int(row.integer(3));
    r.pixelHeight = int(row.integer(4));
    r.orientation = int(row.integer(5));
    r.fileName = row.text(6);
    r.originalTypeIdentifier = row.text(7);
    r.addedDate = row.real(8);
    r.modificationDate = row.real(9);
    r.revision = row.integer(10);
    r.originalFilename = row.text(11);
    r.addedOrder = row.integer(12);
    if (withAlbumPosition) r.albumPosition = row.integer(13);
    return r;
}

AdjustmentRecord readAdjustment(const Statement& row) {
    AdjustmentRecord j;
    j.formatIdentifier = row.text(1);
    j.formatVersion = row.text(2);
    j.data = row.blob(3);
    j.renderedFileName = row.text(4);
    j.renderedTypeIdentifier = row.text(5);
    j.pixelWidth = int(row.integer(6));
    j.pixelHeight = int(row.integer(7));
    j.orientation = int(row.integer(8));
    j.adjustedDate = row.real(9);
    return j;
}

std::string makeOrigin() {
    return std::to_string(::getpid()) + "-" + makeUUID().substr(0, 8);
}

}  // namespace

double currentDate() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::string LibraryStore::defaultFolder() {
    return paths::dataDirectory() + "/library";
}

std::unique_ptr<LibraryStore> LibraryStore::open(const std::string& requestedFolder,
                                                 std::string* error) {
    auto fail = [&](std::string message) -> std::unique_ptr<LibraryStore> {
        if (error) *error = std::move(message);
        return nullptr;
    };
    std::string folder = requestedFolder.empty() ? defaultFolder() : requestedFolder;
    std::string message;
    if (!paths::ensureDirectory(folder, &message) ||
        !paths::ensureDirectory(folder + "/" + LibraryFiles::kOriginalsFolder, &message)) {
        hxLog("photo library: cannot create %s: %s", folder.c_str(), message.c_str());
        return fail("cannot create the photo library folder " + folder + ": " + message);
    }
    std::string path = folder + "/" + kDatabaseName;
    auto db = Database::open(path, error);
    if (!db) return nullptr;
    db->setBusyTimeout(kBusyTimeoutMilliseconds);

    std::optional<std::string> check = db->queryText("PRAGMA quick_check");
    if (check != "ok") {
        std::string reason = check ? *check : db->lastError();
        // A statement that failed outright has already been logged.
        if (check) hxLog("photo library: %s is damaged: %s", path.c_str(), reason.c_str());
        return fail("the photo library database " + path + " is damaged: " + reason);
    }
    if (db->queryText("PRAGMA journal_mode = WAL") != "wal" ||
        !db->execute("PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON")) {
        return fail("cannot configure the photo library database " + path + ": " + db->lastError());
    }
    if (!upgradeLibrarySchema(*db, folder, error)) {
        if (error) hxLog("photo library: %s", error->c_str());
        return nullptr;
    }
    std::unique_ptr<LibraryStore> store(new LibraryStore(std::move(folder), std::move(db)));
    store->pruneChangeLog();
    return store;
}

LibraryStore::LibraryStore(std::string folder, std::unique_ptr<Database> db)
    : folder_(std::move(folder)), files_(folder_), origin_(makeOrigin()), db_(std::move(db)) {}

LibraryStore::~LibraryStore() = default;

std::string LibraryStore::databasePath() const {
    return folder_ + "/" + kDatabaseName;
}

bool LibraryStore::retrying(const char* what, const std::function<Attempt()>& attempt) {
    return retryWhileBusy(what, attempt);
}

void LibraryStore::pruneChangeLog() {
    std::lock_guard lock(mutex_);
    double cutoff = currentDate() - kChangeLogDays * 24 * 3600;
    retrying("pruning the change log", [&] {
        auto prune = db_->prepare("DELETE FROM transactions WHERE committed_date < ?");
        return attemptResult(*db_, prune && prune->bind(1, cutoff) && prune->run());
    });
}

std::vector<AssetRecord> LibraryStore::selectAssets(const std::string& sql,
                                                    const std::vector<std::string>& parameters,
                                                    const std::vector<std::string>* identifiers,
                                                    bool withAlbumPosition, bool* ok) {
    std::vector<AssetRecord> records;
    bool answered = retrying("reading assets", [&] {
        records.clear();
        auto query = db_->prepare(sql);
        auto edits = db_->prepare(kAdjustmentQuery);
        // One read transaction, so that assets and edits are one consistent snapshot.
        if (!query || !edits || !db_->execute("BEGIN")) return failedAttempt(*db_);
        auto read = [&]() {
            for (size_t i = 0; i < parameters.size(); ++i) {
                if (!query->bind(int(i) + 1, parameters[i])) return false;
            }
            auto readRows = [&] {
                Statement::Step step;
                while ((step = query->step()) == Statement::Step::Row) {
                    records.push_back(readAsset(*query, withAlbumPosition));
                }
                return step == Statement::Step::Done;
            };
            if (!identifiers) return readRows();
            // The identifier is the statement's last parameter.
            int last = int(parameters.size()) + 1;
            std::unordered_set<std::string> seen;
            for (const std::string& identifier : *identifiers) {
                if (!seen.insert(identifier).second) continue;
                if (!query->reset() || !query->bind(last, identifier)) return false;
                for (size_t i = 0; i < parameters.size(); ++i) {
                    if (!query->bind(int(i) + 1, parameters[i])) return false;
                }
                if (!readRows()) return false;
            }
            return true;
        };
        bool good = read();
        if (good && !records.empty()) {
            std::unordered_map<std::string, AdjustmentRecord> byAsset;
            Statement::Step step;
            while ((step = edits->step()) == Statement::Step::Row) {
                byAsset.emplace(edits->text(0), readAdjustment(*edits));
            }
            good = step == Statement::Step::Done;
            for (AssetRecord& record : records) {
                if (byAsset.empty()) break;
                auto found = byAsset.find(record.localIdentifier);
                if (found != byAsset.end()) record.adjustment = std::move(found->second);
            }
        }
        Attempt result = attemptResult(*db_, good);
        db_->execute(good ? "COMMIT" : "ROLLBACK");
        return result;
    });
    if (!answered) records.clear();
    if (ok) *ok = answered;
    return records;
}

std::vector<AssetRecord> LibraryStore::queryAssets(const AssetQuery& q, bool* ok) {
    std::lock_guard lock(mutex_);
    bool album = q.scope == AssetQuery::Scope::Album;
    std::string sql =
        std::string("SELECT ") + kAssetColumns + (album ? ", m.position" : "") + kAssetTables;
    std::vector<std::string> parameters;
    if (album) {
        sql += " JOIN album_assets m ON m.asset = a.local_identifier AND m.album = ?";
        parameters.push_back(q.album);
    }
    sql += " WHERE 1";
    if (q.mediaType) sql += " AND a.media_type = " + std::to_string(int(*q.mediaType));
    if (q.limitedSelectionOnly) {
        sql += " AND a.local_identifier IN (SELECT asset FROM limited_selection)";
    }
    std::string direction = orderWord(q.direction);

    if (q.scope == AssetQuery::Scope::Identifiers) {
        sql += " AND a.local_identifier = ?";
        std::vector<AssetRecord> records = selectAssets(sql, parameters, &q.identifiers, false, ok);
        if (q.order == AssetOrder::CreationDate) {
            bool ascending = q.direction == SortOrder::Ascending;
            std::stable_sort(records.begin(), records.end(),
                             [&](const AssetRecord& x, const AssetRecord& y) {
                                 auto kx = std::tie(x.creationDate, x.localIdentifier);
                                 auto ky = std::tie(y.creationDate, y.localIdentifier);
                                 return ascending ? kx < ky : ky < kx;
                             });
        } else if (q.direction == SortOrder::Descending) {
            std::reverse(records.begin(), records.end());
        }
        return records;
    }

    if (q.order == AssetOrder::CreationDate) {
        sql += " ORDER BY a.creation_date " + direction + ", a.local_identifier " + direction;
    } else if (album) {
        sql += " ORDER BY m.position " + direction;
    } else {
        sql += " ORDER BY a.rowid " + direction;
    }
    return selectAssets(sql, parameters, nullptr, album, ok);
}

std::vector<AlbumRecord> LibraryStore::selectAlbums(const std::string& sql,
                                                    const std::vector<std::string>& parameters,
                                                    bool* ok) {
    std::vector<AlbumRecord> records;
    bool answered = retrying("reading albums", [&] {
        records.clear();
        auto query = db_->prepare(sql);
        if (!query) return failedAttempt(*db_);
        for (size_t i = 0; i < parameters.size(); ++i) {
            if (!query->bind(int(i) + 1, parameters[i])) return failedAttempt(*db_);
        }
        for (;;) {
            Statement::Step step = query->step();
            if (step == Statement::Step::Done) return Attempt::Done;
            if (step == Statement::Step::Error) return failedAttempt(*db_);
            records.push_back({query->text(0), query->text(1), query->real(2), query->integer(3),
                               query->integer(4)});
        }
    });
    if (!answered) records.clear();
    if (ok) *ok = answered;
    return records;
}

std::vector<AlbumRecord> LibraryStore::queryAlbums(const AlbumQuery& q, bool* ok) {
    std::lock_guard lock(mutex_);
    std::string sql = kAlbumColumns;
    std::vector<std::string> parameters;
    sql += " WHERE 1";
    if (q.title) {
        sql += " AND l.title = ?";
        parameters.push_back(*q.title);
    }
    if (q.containingAsset) {
        sql += " AND l.local_identifier IN (SELECT album FROM album_assets WHERE asset = ?)";
        parameters.push_back(*q.containingAsset);
    }
    if (q.identifiers) {
        if (q.identifiers->empty()) {
            if (ok) *ok = true;
            return {};
        }
        sql += " AND l.local_identifier IN (";
        for (size_t i = 0; i < q.identifiers->size(); ++i) {
            sql += i ? ", ?" : "?";
            parameters.push_back((*q.identifiers)[i]);
        }
        sql += ")";
    }
    std::string direction = orderWord(q.direction);
    switch (q.order) {
        case AlbumOrder::Created:
            sql += " ORDER BY l.rowid " + direction;
            break;
        case AlbumOrder::CreationDate:
            sql += " ORDER BY l.creation_date " + direction + ", l.rowid " + direction;
            break;
        case AlbumOrder::Title:
            sql += " ORDER BY l.title " + direction + ", l.rowid " + direction;
            break;
    }
    return selectAlbums(sql, parameters, ok);
}

std::vector<AssetRecord> LibraryStore::assets(SortOrder order) {
    AssetQuery query;
    query.order = AssetOrder::CreationDate;
    query.direction = order;
    return queryAssets(query);
}

std::vector<AssetRecord> LibraryStore::assetsInAlbum(const std::string& album, SortOrder order) {
    AssetQuery query;
    query.scope = AssetQuery::Scope::Album;
    query.album = album;
    query.order = AssetOrder::CreationDate;
    query.direction = order;
    return queryAssets(query);
}

std::vector<AssetRecord> LibraryStore::assetsWithIdentifiers(
    const std::vector<std::string>& identifiers) {
    AssetQuery query;
    query.scope = AssetQuery::Scope::Identifiers;
    query.identifiers = identifiers;
    return queryAssets(query);
}

std::optional<AssetRecord> LibraryStore::asset(const std::string& identifier) {
    auto records = assetsWithIdentifiers({identifier});
    if (records.empty()) return std::nullopt;
    return std::move(records.front());
}

std::vector<AlbumRecord> LibraryStore::allAlbums() {
    return queryAlbums({});
}

std::vector<AlbumRecord> LibraryStore::albumsWithTitle(const std::string& title) {
    AlbumQuery query;
    query.title = title;
    return queryAlbums(query);
}

std::vector<AlbumRecord> LibraryStore::albumsContaining(const std::string& asset) {
    AlbumQuery query;
    query.containingAsset = asset;
    return queryAlbums(query);
}

int64_t LibraryStore::countAssets(bool limitedSelectionOnly) {
    std::lock_guard lock(mutex_);
    int64_t count = 0;
    retrying("counting assets", [&] {
        auto value =
            db_->queryInteger(limitedSelectionOnly ? "SELECT COUNT(*) FROM limited_selection"
                                                   : "SELECT COUNT(*) FROM assets");
        if (value) count = *value;
        return attemptResult(*db_, value.has_value());
    });
    return count;
}

std::optional<std::string> LibraryStore::originalPath(const std::string& identifier) {
    auto record = asset(identifier);
    if (!record) return std::nullopt;
    return originalPath(*record);
}

std::string LibraryStore::originalPath(const AssetRecord& asset) const {
    return files_.originalPath(asset.fileName);
}

std::optional<std::string> LibraryStore::renderedPath(const AssetRecord& asset) const {
    if (!asset.adjustment) return std::nullopt;
    return files_.renderPath(asset.adjustment->renderedFileName);
}

int64_t LibraryStore::latestTransaction() {
    std::lock_guard lock(mutex_);
    int64_t latest = 0;
    retrying("reading the change log", [&] {
        auto value = db_->queryInteger("SELECT COALESCE(MAX(id), 0) FROM transactions");
        if (value) latest = *value;
        return attemptResult(*db_, value.has_value());
    });
    return latest;
}

int64_t LibraryStore::earliestTransaction() {
    std::lock_guard lock(mutex_);
    int64_t earliest = 0;
    retrying("reading the change log", [&] {
        auto value = db_->queryInteger("SELECT COALESCE(MIN(id), 0) FROM transactions");
        if (value) earliest = *value;
        return attemptResult(*db_, value.has_value());
    });
    return earliest;
}

std::vector<TransactionRecord> LibraryStore::transactionsAfter(int64_t transaction, size_t limit) {
    std::lock_guard lock(mutex_);
    std::vector<TransactionRecord> records;
    bool answered = retrying("reading the change log", [&] {
        records.clear();
        auto query = db_->prepare(
            "SELECT t.id, t.committed_date, t.origin, c.kind, c.object FROM "
            "(SELECT id, committed_date, origin FROM transactions WHERE id > ? ORDER BY id "
            "LIMIT ?) t LEFT JOIN change_log c ON c.transaction_id = t.id ORDER BY t.id, c.rowid");
        if (!query || !query->bind(1, transaction) || !query->bind(2, int64_t(limit))) {
            return failedAttempt(*db_);
        }
        for (;;) {
            Statement::Step step = query->step();
            if (step == Statement::Step::Done) return Attempt::Done;
            if (step == Statement::Step::Error) return failedAttempt(*db_);
            int64_t id = query->integer(0);
            if (records.empty() || records.back().id != id) {
                records.push_back({id, query->real(1), query->text(2), {}});
            }
            if (!query->isNull(3)) {
                records.back().changes.push_back({ChangeKind(query->integer(3)), query->text(4)});
            }
        }
    });
    if (!answered) records.clear();
    return records;
}

std::optional<std::string> LibraryStore::createAsset(const std::vector<uint8_t>& bytes,
                                                     const std::vector<std::string>& albums,
                                                     std::string* error) {
    ChangeBatch batch;
    std::string identifier = makeUUID() + kAssetIdentifierSuffix;
    batch.newAssets.push_back(
        {identifier, std::make_shared<const std::vector<uint8_t>>(bytes), {}});
    for (const std::string& album : albums) {
        batch.albumChanges.push_back({album, std::nullopt, {identifier}, {}});
    }
    CommitOutcome outcome = commit(batch);
    if (!outcome.committed) {
        if (error) *error = outcome.message;
        return std::nullopt;
    }
    return identifier;
}

std::optional<std::string> LibraryStore::createAlbum(const std::string& title, std::string* error) {
    ChangeBatch batch;
    std::string identifier = makeUUID() + kAlbumIdentifierSuffix;
    batch.newAlbums.push_back({identifier, title});
    CommitOutcome outcome = commit(batch);
    if (!outcome.committed) {
        if (error) *error = outcome.message;
        return std::nullopt;
    }
    return identifier;
}

bool LibraryStore::addAssets(const std::string& album, const std::vector<std::string>& assets,
                             std::string* error) {
    ChangeBatch batch;
    batch.albumChanges.push_back({album, std::nullopt, assets, {}});
    CommitOutcome outcome = commit(batch);
    if (!outcome.committed && error) *error = outcome.message;
    return outcome.committed;
}

}  // namespace hx::photos

#include "platform/photos/store/LibraryStore.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "platform/log/Log.h"
#include "platform/paths/Paths.h"
#include "platform/photos/store/Database.h"
#include "platform/photos/store/DatabaseFile.h"
#include "platform/photos/store/LibraryLock.h"
#include "platform/photos/store/LibrarySchema.h"
#include "platform/photos/store/LocalIdentifier.h"
#include "platform/photos/store/StoreAttempt.h"

namespace hx::photos {
namespace {

constexpr int kBusyTimeoutMilliseconds = 5000;
constexpr double kChangeLogDays = 7;
// How long an open waits for another process's open, a writer for a check to end.
constexpr double kLockSeconds = 60;
constexpr double kCloseLockSeconds = 10;
// How long an open may spend sweeping files an interrupted writer left.
constexpr double kOpenSweepSeconds = 0.5;

constexpr const char* kAssetColumns =
    "a.local_identifier, a.media_type, a.creation_date, a.pixel_width, a.pixel_height, "
    "a.orientation, a.file_name, a.original_type_identifier, a.added_date, a.modification_date, "
    "a.revision, a.original_filename, a.rowid, a.file_size, a.content_hash, a.original_path";
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
    r.fileSize = row.integer(13);
    r.contentHash = row.text(14);
    r.relocatedPath = row.text(15);
    if (withAlbumPosition) r.albumPosition = row.integer(16);
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

std::string damagedMessage(const std::string& path, const std::string& damage) {
    return "the photo library database " + path + " is damaged: " + damage +
           " (halidex-library check --repair rebuilds it from the originals)";
}

bool prepareFolder(const std::string& folder, std::string* error) {
    std::string message;
    if (!paths::ensureDirectory(folder, &message) ||
        !paths::ensureDirectory(folder + "/" + LibraryFiles::kOriginalsFolder, &message)) {
        hxLog("photo library: cannot create %s: %s", folder.c_str(), message.c_str());
        if (error) *error = "cannot create the photo library folder " + folder + ": " + message;
        return false;
    }
    return true;
}

// Whether originals/ holds a file (a temporary one aside).
bool holdsOriginals(const std::string& folder) {
    std::error_code error;
    std::filesystem::recursive_directory_iterator it(folder + "/" + LibraryFiles::kOriginalsFolder,
                                                     error);
    for (; !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_regular_file(error) && !LibraryFiles::isTemporaryName(it->path().filename())) {
            return true;
        }
    }
    return false;
}

}  // namespace

double currentDate() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::string LibraryStore::defaultFolder() {
    return paths::dataDirectory() + "/library";
}

std::unique_ptr<LibraryStore> LibraryStore::open(const std::string& folder, std::string* error) {
    return open(folder, OpenOptions{}, error);
}

std::unique_ptr<LibraryStore> LibraryStore::open(const std::string& requestedFolder,
                                                 const OpenOptions& options, std::string* error,
                                                 OpenFailure* failureOut) {
    auto fail = [&](OpenFailure failure, std::string message) -> std::unique_ptr<LibraryStore> {
        if (error) *error = std::move(message);
        if (failureOut) *failureOut = failure;
        return nullptr;
    };
    if (failureOut) *failureOut = OpenFailure::None;
    std::string folder = requestedFolder.empty() ? defaultFolder() : requestedFolder;
    std::string message;
    if (!prepareFolder(folder, &message)) return fail(OpenFailure::Folder, message);
    auto lock = LibraryLock::open(folder, &message);
    if (!lock) return fail(OpenFailure::Folder, message);
    // Another process creating or upgrading the database is waited for.
    if (!lock->lockOpening(kLockSeconds)) {
        return fail(OpenFailure::Busy,
                    "another program kept the photo library " + folder + " locked for too long");
    }
    std::string path = folder + "/" + kDatabaseFileName;
    std::error_code ignored;
    if (std::filesystem::exists(path, ignored)) {
        if (auto damage = databaseFileDamage(path)) {
            hxLog("photo library: %s is damaged: %s", path.c_str(), damage->c_str());
            return fail(OpenFailure::Damaged, damagedMessage(path, *damage));
        }
    } else {
        if (holdsOriginals(folder)) {
            std::string damage = "it is missing while originals lie in the folder";
            hxLog("photo library: %s is damaged: %s", path.c_str(), damage.c_str());
            return fail(OpenFailure::Damaged, damagedMessage(path, damage));
        }
        if (!createDatabase(folder, &message)) return fail(OpenFailure::Other, message);
    }
    auto db = Database::open(path, &message);
    if (!db) return fail(OpenFailure::Damaged, message);
    db->setBusyTimeout(kBusyTimeoutMilliseconds);

    std::optional<std::string> check = db->queryText("PRAGMA quick_check");
    if (check != "ok") {
        std::string reason = check ? *check : db->lastError();
        // A statement that failed outright has already been logged.
        if (check) hxLog("photo library: %s is damaged: %s", path.c_str(), reason.c_str());
        return fail(OpenFailure::Damaged, damagedMessage(path, reason));
    }
    if (db->queryText("PRAGMA journal_mode = WAL") != "wal" ||
        !db->execute("PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON")) {
        return fail(OpenFailure::Other,
                    "cannot configure the photo library database " + path + ": " + db->lastError());
    }
    bool newer = false;
    if (!upgradeLibrarySchema(*db, folder, &message, &newer)) {
        hxLog("photo library: %s", message.c_str());
        return fail(newer ? OpenFailure::Newer : OpenFailure::Other, message);
    }
    if (!lock->connect()) {
        return fail(OpenFailure::Busy, "cannot join the photo library " + folder);
    }
    LibraryLock* held = lock.get();
    std::unique_ptr<LibraryStore> store(
        new LibraryStore(std::move(folder), options.cameraFolder, std::move(db), std::move(lock)));
    store->pruneChangeLog();
    // Only when no writer has files in flight; otherwise the next open sweeps.
    if (options.sweep && held->lockMaintenance(0)) {
        store->maintainer_ = std::this_thread::get_id();
        CheckOptions sweep;
        sweep.removeFiles = true;
        sweep.seconds = kOpenSweepSeconds;
        LibraryCheckReport report;
        store->checkLocked(sweep, &report, nullptr);
        store->maintainer_.reset();
        held->unlockMaintenance();
        if (!report.removedFiles.empty()) {
            hxLog("photo library: removed %s files an interrupted writer left in %s",
                  std::to_string(report.removedFiles.size()).c_str(), store->folder_.c_str());
        }
    }
    held->unlockOpening();
    return store;
}

LibraryStore::LibraryStore(std::string folder, std::string cameraFolder,
                           std::unique_ptr<Database> db, std::unique_ptr<LibraryLock> lock)
    : folder_(std::move(folder)),
      files_(folder_, cameraFolder, LibraryFiles::rememberCameraFolder(folder_, cameraFolder)),
      origin_(makeOrigin()),
      db_(std::move(db)),
      lock_(std::move(lock)) {}

LibraryStore::~LibraryStore() {
    checkpointIfLast();
    db_.reset();
    lock_.reset();  // releases every range
}

void LibraryStore::checkpointIfLast() {
    std::lock_guard lock(mutex_);
    if (!lock_ || !db_) return;
    // Closings take turns on the opening range, so that of two stores closing at once the
    // second sees that it is the last; no store opens meanwhile.
    if (!lock_->lockOpening(kCloseLockSeconds)) return;
    if (lock_->isLastConnection()) {
        // The log's content goes into library.sqlite and the log is emptied, so the database
        // file alone holds the library.
        db_->execute("PRAGMA wal_checkpoint(TRUNCATE)");
        lock_->connect();  // back to shared: the store stays open
    }
    lock_->unlockOpening();
}

bool LibraryStore::beginWriting(std::string* error) {
    std::unique_lock lock(writersMutex_);
    // A check by another thread of this store is waited for; its own repairs go ahead.
    writersChanged_.wait(
        lock, [&] { return !maintainer_ || *maintainer_ == std::this_thread::get_id(); });
    if (maintainer_ || writers_ > 0 || !lock_ || lock_->lockWriting(kLockSeconds)) {
        ++writers_;
        return true;
    }
    std::string message = "the photo library " + folder_ + " is being checked; try again later";
    hxLog("photo library: %s", message.c_str());
    if (error) *error = message;
    return false;
}

void LibraryStore::endWriting() {
    std::lock_guard lock(writersMutex_);
    if (--writers_ == 0 && !maintainer_ && lock_) lock_->unlockMaintenance();
    writersChanged_.notify_all();
}

std::string LibraryStore::databasePath() const {
    return folder_ + "/" + kDatabaseFileName;
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
    return files_.originalPath(asset.fileName, asset.relocatedPath);
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

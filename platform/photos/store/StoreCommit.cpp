// LibraryStore::commit: one change batch, files first, then one database transaction.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>

#include "platform/log/Log.h"
#include "platform/photos/store/Database.h"
#include "platform/photos/store/ImageFileInfo.h"
#include "platform/photos/store/LibraryStore.h"
#include "platform/photos/store/LocalIdentifier.h"
#include "platform/photos/store/OriginalNames.h"

namespace hx::photos {
namespace {

struct PreparedAsset {
    const NewAsset* request;
    ImageFileInfo info;
    std::string fileName;
    std::string path;
    std::string storedPath;  // what the row records of where the file lies; empty: by its name
};

struct PreparedEdit {
    const AssetEdit* request;
    ImageFileInfo info;
    std::string fileName;
    std::string path;
};

// Why an attempt at the transaction stopped; Busy attempts are run again.
struct Stop {
    Attempt attempt = Attempt::Failed;
    CommitFailure failure = CommitFailure::Storage;
    std::string message;
};

class BatchWriter {
  public:
    BatchWriter(Database& db, const LibraryFiles& files, const std::string& origin)
        : db_(db), files_(files), origin_(origin) {}

    // Runs the batch's statements inside an open transaction. Files that stop being named are
    // collected in `staleFiles`; the change log entries in `log`.
    bool apply(const ChangeBatch& batch, const std::vector<PreparedAsset>& assets,
               const std::vector<PreparedEdit>& edits, int64_t* transaction);

    const Stop& stop() const { return stop_; }
    const std::vector<std::string>& staleFiles() const { return staleFiles_; }

  private:
    bool fail(CommitFailure failure, std::string message);
    bool storageFailure(const std::string& what);
    bool exists(const char* table, const std::string& identifier);
    bool requireAsset(const std::string& identifier);
    std::optional<std::string> renderedFileOf(const std::string& asset);
    bool bumpRevision(const std::string& asset, double now);
    bool log(ChangeKind kind, const std::string& object);

    bool insertAlbum(const NewAlbum& album, double now);
    bool insertAsset(const PreparedAsset& asset, bool select, double now);
    bool changeAlbum(const AlbumChange& change);
    bool applyEdit(const PreparedEdit& edit, double now);
    bool revert(const std::string& asset, double now);
    bool remove(const std::string& asset);

    Database& db_;
    const LibraryFiles& files_;
    const std::string& origin_;
    Stop stop_;
    std::vector<std::string> staleFiles_;
    std::vector<LoggedChange> log_;
    std::set<std::pair<int, std::string>> logged_;
};

bool BatchWriter::fail(CommitFailure failure, std::string message) {
    stop_ = {Attempt::Failed, failure, std::move(message)};
    return false;
}

bool BatchWriter::storageFailure(const std::string& what) {
    stop_ = {failedAttempt(db_), CommitFailure::Storage, what + ": " + db_.lastError()};
    return false;
}

bool BatchWriter::exists(const char* table, const std::string& identifier) {
    auto query = db_.prepare(std::string("SELECT 1 FROM ") + table + " WHERE local_identifier = ?");
    if (!query || !query->bind(1, identifier)) return false;
    return query->step() == Statement::Step::Row;
}

bool BatchWriter::requireAsset(const std::string& identifier) {
    if (exists("assets", identifier)) return true;
    if (db_.lastErrorIsBusy()) return storageFailure("cannot look up " + identifier);
    return fail(CommitFailure::NotFound, "no asset with identifier " + identifier);
}

std::optional<std::string> BatchWriter::renderedFileOf(const std::string& asset) {
    auto query = db_.prepare("SELECT rendered_file_name FROM adjustments WHERE asset = ?");
    if (!query || !query->bind(1, asset) || query->step() != Statement::Step::Row) {
        return std::nullopt;
    }
    return query->text(0);
}

bool BatchWriter::bumpRevision(const std::string& asset, double now) {
    auto update = db_.prepare(
        "UPDATE assets SET revision = revision + 1, modification_date = ? "
        "WHERE local_identifier = ?");
    if (!update || !update->bind(1, now) || !update->bind(2, asset) || !update->run()) {
        return storageFailure("cannot update " + asset);
    }
    return log(ChangeKind::Updated, asset);
}

bool BatchWriter::log(ChangeKind kind, const std::string& object) {
    if (logged_.insert({int(kind), object}).second) log_.push_back({kind, object});
    return true;
}

bool BatchWriter::insertAlbum(const NewAlbum& album, double now) {
    auto insert =
        db_.prepare("INSERT INTO albums (local_identifier, title, creation_date) VALUES (?, ?, ?)");
    if (!insert || !insert->bind(1, album.localIdentifier) || !insert->bind(2, album.title) ||
        !insert->bind(3, now) || !insert->run()) {
        return storageFailure("cannot create the album " + album.localIdentifier);
    }
    return log(ChangeKind::Inserted, album.localIdentifier);
}

bool BatchWriter::insertAsset(const PreparedAsset& asset, bool select, double now) {
    const NewAsset& request = *asset.request;
    auto insert = db_.prepare(
        "INSERT INTO assets (local_identifier, media_type, creation_date, pixel_width, "
        "pixel_height, orientation, file_name, original_type_identifier, added_date, "
        "modification_date, revision, original_filename, file_size, content_hash, "
        "original_path) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0, ?, ?, ?, ?)");
    std::string originalFilename =
        request.originalFilename.empty() ? asset.fileName : request.originalFilename;
    if (!insert || !insert->bind(1, request.localIdentifier) ||
        !insert->bind(2, int64_t(MediaType::Image)) ||
        !insert->bind(3, asset.info.dateTaken.value_or(now)) ||
        !insert->bind(4, int64_t(asset.info.pixelWidth)) ||
        !insert->bind(5, int64_t(asset.info.pixelHeight)) ||
        !insert->bind(6, int64_t(asset.info.orientation)) || !insert->bind(7, asset.fileName) ||
        !insert->bind(8, asset.info.typeIdentifier) || !insert->bind(9, now) ||
        !insert->bind(10, now) || !insert->bind(11, originalFilename) ||
        !insert->bind(12, int64_t(request.bytes->size())) ||
        !insert->bind(13, LibraryFiles::contentHash(*request.bytes)) ||
        !insert->bind(14, asset.storedPath) || !insert->run()) {
        return storageFailure("cannot add the asset " + request.localIdentifier);
    }
    if (select) {
        auto selectAsset = db_.prepare("INSERT INTO limited_selection (asset) VALUES (?)");
        if (!selectAsset || !selectAsset->bind(1, request.localIdentifier) || !selectAsset->run()) {
            return storageFailure("cannot select the asset " + request.localIdentifier);
        }
    }
    return log(ChangeKind::Inserted, request.localIdentifier);
}

bool BatchWriter::changeAlbum(const AlbumChange& change) {
    if (!exists("albums", change.album)) {
        if (db_.lastErrorIsBusy()) return storageFailure("cannot look up " + change.album);
        return fail(CommitFailure::NotFound, "no album with identifier " + change.album);
    }
    if (change.title) {
        auto rename = db_.prepare("UPDATE albums SET title = ? WHERE local_identifier = ?");
        if (!rename || !rename->bind(1, *change.title) || !rename->bind(2, change.album) ||
            !rename->run()) {
            return storageFailure("cannot rename the album " + change.album);
        }
        log(ChangeKind::Updated, change.album);
    }
    auto removeMember = db_.prepare("DELETE FROM album_assets WHERE album = ? AND asset = ?");
    if (!removeMember) return storageFailure("cannot change the album " + change.album);
    for (const std::string& asset : change.removedAssets) {
        if (!removeMember->reset() || !removeMember->bind(1, change.album) ||
            !removeMember->bind(2, asset) || !removeMember->run()) {
            return storageFailure("cannot remove " + asset + " from the album " + change.album);
        }
        if (db_.changes() > 0) {
            log(ChangeKind::MembershipChanged, change.album);
            log(ChangeKind::MembershipChanged, asset);
        }
    }
    auto addMember = db_.prepare(
        "INSERT OR IGNORE INTO album_assets (album, asset, position) "
        "VALUES (?1, ?2, (SELECT COALESCE(MAX(position) + 1, 0) FROM album_assets "
        "WHERE album = ?1))");
    if (!addMember) return storageFailure("cannot change the album " + change.album);
    for (const std::string& asset : change.addedAssets) {
        if (!requireAsset(asset)) return false;
        if (!addMember->reset() || !addMember->bind(1, change.album) ||
            !addMember->bind(2, asset) || !addMember->run()) {
            return storageFailure("cannot add " + asset + " to the album " + change.album);
        }
        if (db_.changes() > 0) {
            log(ChangeKind::MembershipChanged, change.album);
            log(ChangeKind::MembershipChanged, asset);
        }
    }
    return true;
}

bool BatchWriter::applyEdit(const PreparedEdit& edit, double now) {
    const AssetEdit& request = *edit.request;
    if (!requireAsset(request.asset)) return false;
    if (auto previous = renderedFileOf(request.asset)) {
        staleFiles_.push_back(files_.renderPath(*previous));
    }
    auto upsert = db_.prepare(
        "INSERT OR REPLACE INTO adjustments (asset, format_identifier, format_version, data, "
        "rendered_file_name, rendered_type_identifier, pixel_width, pixel_height, orientation, "
        "adjusted_date) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    if (!upsert || !upsert->bind(1, request.asset) || !upsert->bind(2, request.formatIdentifier) ||
        !upsert->bind(3, request.formatVersion) || !upsert->bind(4, request.data) ||
        !upsert->bind(5, edit.fileName) || !upsert->bind(6, edit.info.typeIdentifier) ||
        !upsert->bind(7, int64_t(edit.info.pixelWidth)) ||
        !upsert->bind(8, int64_t(edit.info.pixelHeight)) ||
        !upsert->bind(9, int64_t(edit.info.orientation)) || !upsert->bind(10, now) ||
        !upsert->run()) {
        return storageFailure("cannot record the edit of " + request.asset);
    }
    return bumpRevision(request.asset, now);
}

bool BatchWriter::revert(const std::string& asset, double now) {
    if (!requireAsset(asset)) return false;
    auto previous = renderedFileOf(asset);
    if (!previous) return true;  // nothing to revert
    staleFiles_.push_back(files_.renderPath(*previous));
    auto erase = db_.prepare("DELETE FROM adjustments WHERE asset = ?");
    if (!erase || !erase->bind(1, asset) || !erase->run()) {
        return storageFailure("cannot revert " + asset);
    }
    return bumpRevision(asset, now);
}

bool BatchWriter::remove(const std::string& asset) {
    auto query =
        db_.prepare("SELECT file_name, original_path FROM assets WHERE local_identifier = ?");
    if (!query || !query->bind(1, asset)) return storageFailure("cannot look up " + asset);
    Statement::Step step = query->step();
    if (step == Statement::Step::Error) return storageFailure("cannot look up " + asset);
    if (step == Statement::Step::Done) {
        return fail(CommitFailure::NotFound, "no asset with identifier " + asset);
    }
    staleFiles_.push_back(files_.originalPath(query->text(0), query->text(1)));
    if (auto rendered = renderedFileOf(asset)) staleFiles_.push_back(files_.renderPath(*rendered));
    auto albums = db_.prepare("SELECT album FROM album_assets WHERE asset = ?");
    if (!albums || !albums->bind(1, asset)) return storageFailure("cannot look up " + asset);
    while (albums->step() == Statement::Step::Row) {
        log(ChangeKind::MembershipChanged, albums->text(0));
    }
    auto erase = db_.prepare("DELETE FROM assets WHERE local_identifier = ?");
    if (!erase || !erase->bind(1, asset) || !erase->run()) {
        return storageFailure("cannot delete " + asset);
    }
    return log(ChangeKind::Deleted, asset);
}

bool BatchWriter::apply(const ChangeBatch& batch, const std::vector<PreparedAsset>& assets,
                        const std::vector<PreparedEdit>& edits, int64_t* transaction) {
    stop_ = {};
    staleFiles_.clear();
    log_.clear();
    logged_.clear();
    double now = currentDate();
    for (const NewAlbum& album : batch.newAlbums) {
        if (!insertAlbum(album, now)) return false;
    }
    for (const PreparedAsset& asset : assets) {
        if (!insertAsset(asset, batch.selectNewAssets, now)) return false;
    }
    for (const AlbumChange& change : batch.albumChanges) {
        if (!changeAlbum(change)) return false;
    }
    for (const PreparedEdit& edit : edits) {
        if (!applyEdit(edit, now)) return false;
    }
    for (const std::string& asset : batch.reverts) {
        if (!revert(asset, now)) return false;
    }
    for (const std::string& asset : batch.deletions) {
        if (!remove(asset)) return false;
    }

    auto record = db_.prepare("INSERT INTO transactions (committed_date, origin) VALUES (?, ?)");
    if (!record || !record->bind(1, now) || !record->bind(2, origin_) || !record->run()) {
        return storageFailure("cannot record the change");
    }
    *transaction = db_.lastInsertRowid();
    auto entry =
        db_.prepare("INSERT INTO change_log (transaction_id, kind, object) VALUES (?, ?, ?)");
    if (!entry) return storageFailure("cannot record the change");
    for (const LoggedChange& change : log_) {
        if (!entry->reset() || !entry->bind(1, *transaction) ||
            !entry->bind(2, int64_t(change.kind)) || !entry->bind(3, change.object) ||
            !entry->run()) {
            return storageFailure("cannot record the change");
        }
    }
    return true;
}

CommitOutcome failure(CommitFailure kind, std::string message) {
    CommitOutcome outcome;
    outcome.failure = kind;
    outcome.message = std::move(message);
    return outcome;
}

}  // namespace

CommitOutcome LibraryStore::commit(const ChangeBatch& batch) {
    if (batch.empty()) {
        CommitOutcome nothing;
        nothing.committed = true;  // with no transaction number: nothing to tell anyone
        return nothing;
    }

    // Every incoming picture is read before anything is written.
    std::vector<PreparedAsset> assets;
    for (const NewAsset& request : batch.newAssets) {
        auto info = inspectImageFile(request.bytes);
        if (!info) {
            return failure(CommitFailure::InvalidResource,
                           "the data for " + request.localIdentifier +
                               " is not an image this library can store");
        }
        std::string fileName = uuidOfLocalIdentifier(request.localIdentifier) + "." +
                               extensionForType(info->typeIdentifier);
        assets.push_back({&request, *info, fileName, files_.originalPath(fileName), {}});
    }
    std::vector<PreparedEdit> edits;
    for (const AssetEdit& request : batch.edits) {
        auto info = inspectImageFile(request.renderedBytes);
        if (!info) {
            return failure(CommitFailure::InvalidResource,
                           "the rendered content for " + request.asset + " is not an image");
        }
        std::string fileName = uuidOfLocalIdentifier(request.asset) + "-" +
                               makeUUID().substr(0, 8) + "." +
                               extensionForType(info->typeIdentifier);
        edits.push_back({&request, *info, fileName, files_.renderPath(fileName)});
    }

    // From the first file until the transaction has committed or failed, a sweep of files no
    // row names waits (see LibraryLock.h).
    std::string message;
    if (!beginWriting(&message)) return failure(CommitFailure::Storage, message);
    struct WritingScope {
        LibraryStore* store;
        ~WritingScope() { store->endWriting(); }
    } writing{this};

    // The files are in place, flushed, before the transaction that names them.
    std::optional<PendingFiles> pending;
    std::vector<std::string> written;
    auto removeWritten = [&] {
        for (const std::string& path : written) files_.remove(path);
    };
    for (PreparedAsset& asset : assets) {
        if (!files_.cameraFolder().empty()) {
            // Into the camera folder under a readable name, recorded as pending until the
            // change commits.
            if (!pending) pending.emplace(folder_, origin_);
            double date = asset.info.dateTaken.value_or(currentDate());
            auto path = files_.writeToCameraFolder(
                date,
                originalNamesFor(keptName(asset.request->originalFilename), date,
                                 extensionForType(asset.info.typeIdentifier)),
                *asset.request->bytes, *pending, &message);
            if (!path) {
                removeWritten();
                return failure(CommitFailure::Storage, message);
            }
            asset.path = *path;
            asset.fileName = std::filesystem::path(*path).filename().string();
            asset.storedPath = *path;
        } else if (!files_.write(asset.path, *asset.request->bytes, &message)) {
            removeWritten();
            return failure(CommitFailure::Storage, message);
        }
        written.push_back(asset.path);
    }
    for (const PreparedEdit& edit : edits) {
        if (!files_.write(edit.path, *edit.request->renderedBytes, &message)) {
            removeWritten();
            return failure(CommitFailure::Storage, message);
        }
        written.push_back(edit.path);
    }

    std::lock_guard lock(mutex_);
    BatchWriter writer(*db_, files_, origin_);
    int64_t transaction = 0;
    bool committed = retrying("saving a change", [&] {
        Transaction sqlTransaction(*db_);
        if (!sqlTransaction.begun()) return failedAttempt(*db_);
        if (!writer.apply(batch, assets, edits, &transaction)) return writer.stop().attempt;
        return attemptResult(*db_, sqlTransaction.commit());
    });
    if (!committed) {
        removeWritten();
        const Stop& stop = writer.stop();
        if (!stop.message.empty()) return failure(stop.failure, stop.message);
        return failure(CommitFailure::Storage, "cannot save the change: " + db_->lastError());
    }
    for (const std::string& path : writer.staleFiles()) files_.remove(path);
    CommitOutcome outcome;
    outcome.committed = true;
    outcome.transaction = transaction;
    return outcome;
}

std::optional<std::string> LibraryStore::findOrCreateAlbum(const std::string& title, bool* created,
                                                           std::string* error) {
    std::lock_guard lock(mutex_);
    ChangeBatch batch;
    batch.newAlbums.push_back({makeUUID() + kAlbumIdentifierSuffix, title});
    BatchWriter writer(*db_, files_, origin_);
    std::optional<std::string> found;
    bool made = false;
    bool done = retrying("finding or making an album", [&] {
        found.reset();
        made = false;
        // The write lock is taken before the look-up, so a second process asking for the same
        // title waits and then finds this one's album.
        Transaction sqlTransaction(*db_);
        if (!sqlTransaction.begun()) return failedAttempt(*db_);
        auto query = db_->prepare(
            "SELECT local_identifier FROM albums WHERE title = ? ORDER BY rowid DESC LIMIT 1");
        if (!query || !query->bind(1, title)) return failedAttempt(*db_);
        Statement::Step step = query->step();
        if (step == Statement::Step::Error) return failedAttempt(*db_);
        if (step == Statement::Step::Row) {
            found = query->text(0);
            return attemptResult(*db_, sqlTransaction.commit());
        }
        int64_t transaction = 0;
        if (!writer.apply(batch, {}, {}, &transaction)) return writer.stop().attempt;
        if (!sqlTransaction.commit()) return failedAttempt(*db_);
        found = batch.newAlbums.front().localIdentifier;
        made = true;
        return Attempt::Done;
    });
    if (!done) {
        std::string message = writer.stop().message.empty()
                                  ? "cannot find or make the album: " + db_->lastError()
                                  : writer.stop().message;
        if (error) *error = message;
        return std::nullopt;
    }
    if (created) *created = made;
    return found;
}

}  // namespace hx::photos

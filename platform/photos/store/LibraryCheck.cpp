// LibraryStore::check and LibraryStore::rebuild: the rows against the files, and a new database
// made from the originals when the old one is lost.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "platform/image/FileIO.h"
#include "platform/log/Log.h"
#include "platform/photos/store/Database.h"
#include "platform/photos/store/DatabaseFile.h"
#include "platform/photos/store/ImageFileInfo.h"
#include "platform/photos/store/LibraryLock.h"
#include "platform/photos/store/LibraryStore.h"
#include "platform/photos/store/LocalIdentifier.h"

namespace hx::photos {
namespace {

namespace fs = std::filesystem;

constexpr double kCheckLockSeconds = 30;

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" in upper-case hex, as makeUUID writes them.
bool isUUID(const std::string& text) {
    if (text.size() != 36) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        char c = text[i];
        if (dash ? c != '-'
                 : !(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

// Where a damaged database goes: library.sqlite.damaged-YYYYMMDD-HHMMSS, a number added when
// that name is taken.
std::string asideName(const std::string& path) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string base = path + ".damaged-" + stamp;
    std::string name = base;
    std::error_code ignored;
    for (int n = 2; fs::exists(name, ignored); ++n) name = base + "-" + std::to_string(n);
    return name;
}

}  // namespace

bool LibraryStore::check(const CheckOptions& options, LibraryCheckReport* report,
                         std::string* error) {
    if (!lock_) return false;
    // This store's own writers finish first; later ones wait for the check.
    {
        std::unique_lock lock(writersMutex_);
        writersChanged_.wait(lock, [&] { return writers_ == 0 && !maintainer_; });
        maintainer_ = std::this_thread::get_id();
    }
    auto release = [&] {
        std::lock_guard lock(writersMutex_);
        maintainer_.reset();
        writersChanged_.notify_all();
    };
    // No other store opens (and sweeps) meanwhile, and no writer has files in flight.
    if (!lock_->lockOpening(kCheckLockSeconds)) {
        release();
        if (error) *error = "another program keeps the photo library " + folder_ + " locked";
        return false;
    }
    if (!lock_->lockMaintenance(kCheckLockSeconds)) {
        lock_->unlockOpening();
        release();
        if (error) *error = "a program keeps writing to the photo library " + folder_;
        return false;
    }
    bool checked = checkLocked(options, report, error);
    lock_->unlockMaintenance();
    lock_->unlockOpening();
    release();
    return checked;
}

bool LibraryStore::checkLocked(const CheckOptions& options, LibraryCheckReport* report,
                               std::string* error) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(options.seconds));
    auto late = [&] { return options.seconds > 0 && Clock::now() >= deadline; };

    // The files the rows name, by path, and whose they are.
    struct Original {
        std::string asset;
        int64_t size = -1;
        std::string hash;
    };
    std::unordered_map<std::string, Original> originals;
    std::unordered_map<std::string, std::string> renders;
    {
        std::lock_guard lock(mutex_);
        bool read = retrying("reading the file names", [&] {
            originals.clear();
            renders.clear();
            auto assets = db_->prepare(
                "SELECT local_identifier, file_name, original_path, file_size, content_hash "
                "FROM assets");
            auto edits = db_->prepare("SELECT asset, rendered_file_name FROM adjustments");
            if (!assets || !edits || !db_->execute("BEGIN")) return failedAttempt(*db_);
            Statement::Step step;
            while ((step = assets->step()) == Statement::Step::Row) {
                originals.emplace(files_.originalPath(assets->text(1), assets->text(2)),
                                  Original{assets->text(0), assets->integer(3), assets->text(4)});
            }
            bool good = step == Statement::Step::Done;
            while (good && (step = edits->step()) == Statement::Step::Row) {
                renders.emplace(files_.renderPath(edits->text(1)), edits->text(0));
            }
            good = good && step == Statement::Step::Done;
            Attempt result = attemptResult(*db_, good);
            db_->execute(good ? "COMMIT" : "ROLLBACK");
            return result;
        });
        if (!read) {
            if (error) *error = "cannot read the photo library: " + db_->lastError();
            return false;
        }
    }

    // One walk of originals/ and renders/: what is there, temporary files, and files no row
    // names (stray originals kept with their size, as they may be missing ones moved).
    struct Stray {
        std::string path;
        int64_t size;  // -1: not a plain file
        bool own;      // in the library's own folder (else the camera folder, the user's)
    };
    std::unordered_set<std::string> present;
    std::vector<Stray> strayOriginals;
    bool walked = true;
    std::error_code ignoredWalk;
    // The camera folder is the user's: its files no row names are never reported or removed,
    // only looked at as missing originals moved by hand.
    const std::string& camera = files_.cameraFolder();
    for (const char* area : {LibraryFiles::kOriginalsFolder, LibraryFiles::kRendersFolder,
                             static_cast<const char*>(nullptr)}) {
        if (!area && camera.empty()) continue;
        bool originalsArea = area != LibraryFiles::kRendersFolder;
        std::error_code walkError;
        fs::recursive_directory_iterator it(area ? folder_ + "/" + area : camera, walkError);
        for (; !walkError && it != fs::recursive_directory_iterator(); it.increment(walkError)) {
            if (late()) {
                walked = false;
                break;
            }
            std::error_code typeError;
            bool link = it->is_symlink(typeError);
            if (!link && it->is_directory(typeError)) continue;
            std::string path = it->path().string();
            if (LibraryFiles::isTemporaryName(it->path().filename().string())) {
                // The camera folder's temporary files are known from the pending records.
                if (area) report->temporaryFiles.push_back(path);
                continue;
            }
            if (originalsArea ? originals.count(path) : renders.count(path)) {
                present.insert(path);
            } else if (originalsArea) {
                bool plain = !link && it->is_regular_file(typeError);
                strayOriginals.push_back(
                    {path, plain ? int64_t(it->file_size(typeError)) : -1, area != nullptr});
            } else {
                report->unnamedFiles.push_back(path);
            }
        }
    }

    // Rows whose file the walk did not meet. Missing originals whose size and hash are known
    // are looked for among the stray files: renamed or moved by hand.
    std::unordered_multimap<int64_t, size_t> missingBySize;
    std::vector<LibraryCheckReport::MissingFile> missing;
    std::vector<std::string> missingHashes;
    // A file outside the folders walked (in a camera folder this store was not told of) is
    // looked for itself.
    auto walkedOver = [&](const std::string& path) {
        for (const std::string& root : {folder_ + "/" + LibraryFiles::kOriginalsFolder,
                                        folder_ + "/" + LibraryFiles::kRendersFolder, camera}) {
            if (!root.empty() && path.compare(0, root.size() + 1, root + "/") == 0) return true;
        }
        return false;
    };
    if (walked) {
        for (const auto& [path, original] : originals) {
            if (present.count(path)) continue;
            if (!walkedOver(path) && fs::exists(path, ignoredWalk)) continue;
            if (original.size >= 0 && !original.hash.empty()) {
                missingBySize.emplace(original.size, missing.size());
            }
            missing.push_back({original.asset, path, false});
            missingHashes.push_back(original.hash);
        }
        for (const auto& [path, asset] : renders) {
            if (present.count(path)) continue;
            missing.push_back({asset, path, true});
            missingHashes.emplace_back();
        }
    }
    std::vector<bool> found(missing.size(), false);
    for (const Stray& stray : strayOriginals) {
        bool relocated = false;
        if (stray.size >= 0 && !late()) {
            auto [first, last] = missingBySize.equal_range(stray.size);
            std::string hash;
            for (auto candidate = first; candidate != last && !relocated; ++candidate) {
                size_t index = candidate->second;
                if (found[index]) continue;
                if (hash.empty()) hash = LibraryFiles::contentHashOfFile(stray.path);
                if (hash.empty() || hash != missingHashes[index]) continue;
                found[index] = relocated = true;
                report->relocatedFiles.push_back(
                    {missing[index].asset, missing[index].path, stray.path});
            }
        }
        if (!relocated && stray.own) report->unnamedFiles.push_back(stray.path);
    }
    for (size_t i = 0; i < missing.size(); ++i) {
        if (!found[i]) report->missingFiles.push_back(missing[i]);
    }
    report->complete = walked && !late();

    // Files a writer killed before its change committed made in the camera folder: exactly
    // those its pending record names, when no row names them and they are still the very
    // files it made.
    std::error_code ignored;
    std::vector<std::string> records;
    std::error_code pendingError;
    for (fs::directory_iterator it(folder_ + "/" + PendingFiles::kFolder, pendingError);
         !pendingError && it != fs::directory_iterator(); it.increment(pendingError)) {
        records.push_back(it->path().string());
    }
    for (const std::string& record : records) {
        std::ifstream in(record);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("T ", 0) == 0) {
                std::string path = line.substr(2);
                if (fs::exists(path, ignored)) report->temporaryFiles.push_back(path);
                continue;
            }
            std::istringstream fields(line);
            std::string kind, path;
            unsigned long long device = 0, inode = 0;
            if (!(fields >> kind >> device >> inode) || kind != "F") continue;
            std::getline(fields >> std::ws, path);
            struct stat status {};
            if (originals.count(path) || ::lstat(path.c_str(), &status) != 0 ||
                status.st_dev != device || status.st_ino != inode) {
                continue;
            }
            report->unnamedFiles.push_back(path);
        }
    }

    if ((options.removeFiles || options.repairRows) && !report->relocatedFiles.empty()) {
        if (!recordRelocations(report->relocatedFiles, error)) return false;
        report->relocationsRecorded = true;
    }

    if (options.removeFiles) {
        for (const auto* list : {&report->temporaryFiles, &report->unnamedFiles}) {
            for (const std::string& path : *list) {
                std::error_code removeError;
                if (fs::remove(path, removeError)) report->removedFiles.push_back(path);
            }
        }
        for (const std::string& record : records) fs::remove(record, ignored);
    }
    if (options.repairRows && !report->missingFiles.empty()) {
        ChangeBatch batch;
        std::unordered_map<std::string, bool> dropped;
        for (const auto& missing : report->missingFiles) {
            if (!missing.rendered) {
                batch.deletions.push_back(missing.asset);
                dropped[missing.asset] = true;
            }
        }
        for (const auto& missing : report->missingFiles) {
            if (missing.rendered && !dropped.count(missing.asset)) {
                batch.reverts.push_back(missing.asset);
            }
        }
        CommitOutcome outcome = commit(batch);
        if (!outcome.committed) {
            if (error) *error = "cannot repair the photo library: " + outcome.message;
            return false;
        }
        report->removedAssets = batch.deletions;
        report->revertedAssets = batch.reverts;
    }
    return true;
}

bool LibraryStore::recordRelocations(
    const std::vector<LibraryCheckReport::RelocatedFile>& relocated, std::string* error) {
    std::lock_guard lock(mutex_);
    double now = currentDate();
    bool recorded = retrying("recording files found again", [&] {
        Transaction transaction(*db_);
        if (!transaction.begun()) return failedAttempt(*db_);
        // A new revision, so that pictures cached from the old path are read again.
        auto update = db_->prepare(
            "UPDATE assets SET original_path = ?, revision = revision + 1, modification_date = ? "
            "WHERE local_identifier = ?");
        auto record =
            db_->prepare("INSERT INTO transactions (committed_date, origin) VALUES (?, ?)");
        auto entry =
            db_->prepare("INSERT INTO change_log (transaction_id, kind, object) VALUES (?, ?, ?)");
        if (!update || !record || !entry || !record->bind(1, now) || !record->bind(2, origin_) ||
            !record->run()) {
            return failedAttempt(*db_);
        }
        int64_t id = db_->lastInsertRowid();
        for (const auto& file : relocated) {
            if (!update->reset() || !update->bind(1, files_.storedPath(file.to)) ||
                !update->bind(2, now) || !update->bind(3, file.asset) || !update->run() ||
                !entry->reset() || !entry->bind(1, id) ||
                !entry->bind(2, int64_t(ChangeKind::Updated)) || !entry->bind(3, file.asset) ||
                !entry->run()) {
                return failedAttempt(*db_);
            }
        }
        return attemptResult(*db_, transaction.commit());
    });
    if (!recorded && error) *error = "cannot record files found again: " + db_->lastError();
    return recorded;
}

std::unique_ptr<LibraryStore> LibraryStore::rebuild(const std::string& requestedFolder,
                                                    LibraryCheckReport* report, std::string* error,
                                                    const std::string& cameraFolder) {
    auto fail = [&](std::string message) -> std::unique_ptr<LibraryStore> {
        hxLog("photo library: %s", message.c_str());
        if (error) *error = std::move(message);
        return nullptr;
    };
    std::string folder = requestedFolder.empty() ? defaultFolder() : requestedFolder;
    std::string path = folder + "/library.sqlite";
    std::string message;
    auto lock = LibraryLock::open(folder, &message);
    if (!lock) return fail(message);
    if (!lock->lockOpening(kCheckLockSeconds) || !lock->lockMaintenance(kCheckLockSeconds)) {
        return fail("another program keeps the photo library " + folder + " locked");
    }

    // Never on a database that reads well.
    std::error_code ignored;
    if (fs::exists(path, ignored)) {
        bool readable = false;
        if (!databaseFileDamage(path)) {
            if (auto db = Database::open(path, nullptr)) {
                readable = db->queryText("PRAGMA quick_check") == "ok";
            }
        }
        if (readable) return fail("the photo library database " + path + " is not damaged");
        std::string aside = asideName(path);
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
            if (!fs::exists(path + suffix, ignored)) continue;
            if (::rename((path + suffix).c_str(), (aside + suffix).c_str()) != 0) {
                return fail("cannot put " + path + suffix + " aside: " + std::strerror(errno));
            }
        }
        report->damagedDatabase = aside;
    }
    if (!createDatabase(folder, &message)) return fail(message);
    auto db = Database::open(path, &message);
    if (!db) return fail(message);
    db->setBusyTimeout(5000);
    if (db->queryText("PRAGMA journal_mode = WAL") != "wal" ||
        !db->execute("PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON")) {
        return fail("cannot configure the photo library database " + path);
    }
    if (!lock->connect()) return fail("cannot join the photo library " + folder);
    LibraryLock* held = lock.get();
    std::unique_ptr<LibraryStore> store(
        new LibraryStore(folder, cameraFolder, std::move(db), std::move(lock)));
    store->maintainer_ = std::this_thread::get_id();

    // Every original that reads as a picture becomes an asset again, in one transaction.
    struct Found {
        std::string identifier;
        std::string name;
        std::string relocated;  // where it lies, when not where its name puts it
        ImageFileInfo info;
        double fileDate;
        int64_t size;
        std::string hash;
    };
    std::set<std::string> identifiers;
    std::vector<Found> found;
    // originals/ first, then the camera folders (whose files keep the names they have).
    std::vector<std::string> roots{folder + "/" + LibraryFiles::kOriginalsFolder};
    for (const std::string& camera : store->files_.cameraFolders()) roots.push_back(camera);
    for (const std::string& root : roots) {
        bool own = root == roots.front();
        std::error_code walkError;
        fs::recursive_directory_iterator it(root, walkError);
        for (; !walkError && it != fs::recursive_directory_iterator(); it.increment(walkError)) {
            std::error_code typeError;
            if (it->is_symlink(typeError) || !it->is_regular_file(typeError)) continue;
            std::string filePath = it->path().string();
            if (LibraryFiles::isTemporaryName(it->path().filename().string())) continue;
            std::string name =
                own ? store->files_.nameInArea(LibraryFiles::kOriginalsFolder, filePath) : "";
            std::string stored;
            if (name.empty()) {
                // Not where its name puts it: kept where it is.
                name = it->path().filename().string();
                stored = store->files_.storedPath(filePath);
            }
            auto bytes = std::make_shared<std::vector<uint8_t>>();
            std::optional<ImageFileInfo> info;
            if ((own || !stored.empty()) && image::readFileContents(filePath, *bytes, nullptr)) {
                info = inspectImageFile(bytes);
            }
            if (!info) {
                report->unreadableFiles.push_back(filePath);
                continue;
            }
            std::string stem = fs::path(name).stem().string();
            std::string identifier = (isUUID(stem) ? stem : makeUUID()) + kAssetIdentifierSuffix;
            // A copy of a file under another name would bring its identifier twice.
            if (!identifiers.insert(identifier).second) {
                identifier = makeUUID() + kAssetIdentifierSuffix;
                identifiers.insert(identifier);
            }
            struct stat status {};
            double fileDate =
                ::stat(filePath.c_str(), &status) == 0 ? double(status.st_mtime) : currentDate();
            found.push_back({identifier, name, stored, *info, fileDate, int64_t(bytes->size()),
                             LibraryFiles::contentHash(*bytes)});
        }
    }
    {
        std::lock_guard guard(store->mutex_);
        Database& rdb = *store->db_;
        double now = currentDate();
        bool inserted = store->retrying("rebuilding the library", [&] {
            Transaction transaction(rdb);
            if (!transaction.begun()) return failedAttempt(rdb);
            auto insert = rdb.prepare(
                "INSERT INTO assets (local_identifier, media_type, creation_date, pixel_width, "
                "pixel_height, orientation, file_name, original_type_identifier, added_date, "
                "modification_date, revision, original_filename, file_size, content_hash, "
                "original_path) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0, ?, ?, ?, ?)");
            auto record =
                rdb.prepare("INSERT INTO transactions (committed_date, origin) VALUES (?, ?)");
            auto entry = rdb.prepare(
                "INSERT INTO change_log (transaction_id, kind, object) VALUES (?, ?, ?)");
            if (!insert || !record || !entry || !record->bind(1, now) ||
                !record->bind(2, store->origin_) || !record->run()) {
                return failedAttempt(rdb);
            }
            int64_t id = rdb.lastInsertRowid();
            for (const Found& f : found) {
                if (!insert->reset() || !insert->bind(1, f.identifier) ||
                    !insert->bind(2, int64_t(MediaType::Image)) ||
                    !insert->bind(3, f.info.dateTaken.value_or(f.fileDate)) ||
                    !insert->bind(4, int64_t(f.info.pixelWidth)) ||
                    !insert->bind(5, int64_t(f.info.pixelHeight)) ||
                    !insert->bind(6, int64_t(f.info.orientation)) || !insert->bind(7, f.name) ||
                    !insert->bind(8, f.info.typeIdentifier) || !insert->bind(9, now) ||
                    !insert->bind(10, now) || !insert->bind(11, f.name) ||
                    !insert->bind(12, f.size) || !insert->bind(13, f.hash) ||
                    !insert->bind(14, f.relocated) || !insert->run() || !entry->reset() ||
                    !entry->bind(1, id) || !entry->bind(2, int64_t(ChangeKind::Inserted)) ||
                    !entry->bind(3, f.identifier) || !entry->run()) {
                    return failedAttempt(rdb);
                }
            }
            return attemptResult(rdb, transaction.commit());
        });
        if (!inserted) return fail("cannot rebuild the photo library: " + rdb.lastError());
    }
    for (const Found& f : found) report->rebuiltAssets.push_back(f.identifier);
    store->maintainer_.reset();
    held->unlockMaintenance();
    held->unlockOpening();
    return store;
}

}  // namespace hx::photos

// LibraryStore::moveOriginals: originals of an older library, from originals/ in the library
// folder to the camera folder, one file at a time.

#include <filesystem>

#include "platform/image/FileIO.h"
#include "platform/photos/store/Database.h"
#include "platform/photos/store/LibraryStore.h"
#include "platform/photos/store/OriginalNames.h"

namespace hx::photos {
namespace {

struct ToMove {
    std::string asset;
    std::string fileName;
    std::string stored;
    std::string originalFilename;
    double creationDate = 0;
};

// A name the library gave ("<UUID>.jpg") is replaced by a readable one; a name the file came
// in with is kept.
bool isGivenName(const std::string& name, const std::string& asset) {
    return name.rfind(asset.substr(0, asset.find('/')), 0) == 0;
}

}  // namespace

bool LibraryStore::moveOriginals(const std::function<bool()>& keepGoing,
                                 std::vector<LibraryCheckReport::RelocatedFile>* moved,
                                 std::string* error) {
    auto fail = [&](std::string message) {
        if (error) *error = std::move(message);
        return false;
    };
    if (files_.cameraFolder().empty()) return fail("this library has no camera folder");
    // Those not in the camera folder yet.
    std::vector<ToMove> pending;
    {
        std::lock_guard lock(mutex_);
        bool read = retrying("reading the originals", [&] {
            pending.clear();
            auto query = db_->prepare(
                "SELECT local_identifier, file_name, original_path, original_filename, "
                "creation_date FROM assets WHERE original_path NOT LIKE '/%' ORDER BY rowid");
            if (!query) return failedAttempt(*db_);
            Statement::Step step;
            while ((step = query->step()) == Statement::Step::Row) {
                pending.push_back({query->text(0), query->text(1), query->text(2), query->text(3),
                                   query->real(4)});
            }
            return attemptResult(*db_, step == Statement::Step::Done);
        });
        if (!read) return fail("cannot read the photo library: " + db_->lastError());
    }
    for (const ToMove& item : pending) {
        if (keepGoing && !keepGoing()) return true;
        std::string from = files_.originalPath(item.fileName, item.stored);
        std::vector<uint8_t> bytes;
        std::string message;
        if (!image::readFileContents(from, bytes, &message)) {
            return fail("cannot move " + item.asset + ": " + message);
        }
        // A sweep waits while the copy has no row; the pending record names the copy.
        if (!beginWriting(&message)) return fail(message);
        struct WritingScope {
            LibraryStore* store;
            ~WritingScope() { store->endWriting(); }
        } writing{this};
        PendingFiles record(folder_, origin_);
        std::string extension = std::filesystem::path(from).extension().string();
        if (!extension.empty()) extension.erase(0, 1);
        const auto names = originalNamesFor(isGivenName(item.originalFilename, item.asset)
                                                ? std::string()
                                                : keptName(item.originalFilename),
                                            item.creationDate, extension);
        auto to = files_.writeToCameraFolder(item.creationDate, names, bytes, record, &message);
        if (!to) return fail("cannot move " + item.asset + ": " + message);

        std::lock_guard lock(mutex_);
        double now = currentDate();
        bool updated = retrying("moving an original", [&] {
            Transaction transaction(*db_);
            if (!transaction.begun()) return failedAttempt(*db_);
            auto update = db_->prepare(
                "UPDATE assets SET file_name = ?, original_path = ?, file_size = ?, "
                "content_hash = ?, revision = revision + 1, modification_date = ? "
                "WHERE local_identifier = ?");
            auto log =
                db_->prepare("INSERT INTO transactions (committed_date, origin) VALUES (?, ?)");
            auto entry = db_->prepare(
                "INSERT INTO change_log (transaction_id, kind, object) VALUES (?, ?, ?)");
            if (!update || !log || !entry ||
                !update->bind(1, std::filesystem::path(*to).filename().string()) ||
                !update->bind(2, *to) || !update->bind(3, int64_t(bytes.size())) ||
                !update->bind(4, LibraryFiles::contentHash(bytes)) || !update->bind(5, now) ||
                !update->bind(6, item.asset) || !update->run() || !log->bind(1, now) ||
                !log->bind(2, origin_) || !log->run() || !entry->bind(1, db_->lastInsertRowid()) ||
                !entry->bind(2, int64_t(ChangeKind::Updated)) || !entry->bind(3, item.asset) ||
                !entry->run()) {
                return failedAttempt(*db_);
            }
            return attemptResult(*db_, transaction.commit());
        });
        if (!updated) {
            files_.remove(*to);
            return fail("cannot move " + item.asset + ": " + db_->lastError());
        }
        files_.remove(from);
        if (moved) moved->push_back({item.asset, from, *to});
    }
    return true;
}

}  // namespace hx::photos

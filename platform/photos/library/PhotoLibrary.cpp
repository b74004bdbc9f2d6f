#include "platform/photos/library/PhotoLibrary.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <mutex>

#include "platform/log/Log.h"
#include "platform/photos/fetch/Change.h"
#include "platform/photos/imaging/ThumbnailStore.h"
#include "platform/photos/library/ChangeTransaction.h"
#include "platform/photos/library/ChangeWatcher.h"
#include "platform/photos/store/LibraryStore.h"
#include "platform/photos/store/PicturesFolder.h"
#include "platform/runloop/DispatchQueue.h"

namespace hx::photos {
namespace {

// Transactions read from the change log at a time.
constexpr size_t kScanBatch = 256;

struct Shared {
    std::mutex mutex;
    std::shared_ptr<PhotoLibrary> library;
};

Shared& shared() {
    static Shared* const instance = new Shared;
    return *instance;
}

PhotosError errorFor(CommitFailure failure, const std::string& message) {
    switch (failure) {
        case CommitFailure::InvalidResource:
            return {PhotosErrorCode::InvalidResource, message};
        case CommitFailure::NotFound:
            return {PhotosErrorCode::IdentifierNotFound, message};
        case CommitFailure::None:
        case CommitFailure::Storage:
            break;
    }
    return {PhotosErrorCode::Internal, message};
}

}  // namespace

PhotoLibrary::PhotoLibrary(Passkey, std::string folder, std::unique_ptr<LibraryStore> store,
                           Options options, std::string unavailableReason)
    : folder_(std::move(folder)),
      store_(std::move(store)),
      options_(options),
      unavailableReason_(std::move(unavailableReason)),
      queue_(DispatchQueue::makeSerial("photo library")),
      thumbnailQueue_(DispatchQueue::makeSerial("photo library thumbnails")) {}

PhotoLibrary::~PhotoLibrary() {
    watcher_.reset();
}

std::shared_ptr<PhotoLibrary> PhotoLibrary::make(std::string folder,
                                                 std::unique_ptr<LibraryStore> store,
                                                 const Options& options, std::string reason) {
    auto library = std::make_shared<PhotoLibrary>(Passkey{}, std::move(folder), std::move(store),
                                                  options, std::move(reason));
    if (library->store_) {
        library->lastSeenTransaction_ = library->store_->latestTransaction();
        library->startWatching();
    }
    return library;
}

std::shared_ptr<PhotoLibrary> PhotoLibrary::open(const std::string& folder, const Options& options,
                                                 std::string* error) {
    std::string reason;
    // The user's library keeps new originals where the user looks for photos.
    OpenOptions storeOptions;
    if (folder.empty() || folder == LibraryStore::defaultFolder()) {
        storeOptions.cameraFolder = cameraFolder();
    }
    auto store = LibraryStore::open(folder, storeOptions, &reason);
    if (!store) {
        if (error) *error = reason;
        return nullptr;
    }
    std::string opened = store->folder();
    return make(std::move(opened), std::move(store), options, {});
}

std::shared_ptr<PhotoLibrary> PhotoLibrary::open(const std::string& folder, std::string* error) {
    return open(folder, Options{}, error);
}

std::shared_ptr<PhotoLibrary> PhotoLibrary::sharedPhotoLibrary() {
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    if (!s.library) {
        std::string reason;
        s.library = open({}, Options{}, &reason);
        if (!s.library) {
            hxLog("photo library: the library cannot be opened: %s", reason.c_str());
            s.library = make(LibraryStore::defaultFolder(), nullptr, Options{}, reason);
        }
    }
    return s.library;
}

std::shared_ptr<PhotoLibrary> PhotoLibrary::setSharedPhotoLibrary(
    std::shared_ptr<PhotoLibrary> library) {
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    std::swap(s.library, library);
    return library;
}

AuthorizationStatus PhotoLibrary::authorizationStatus() {
    return authorizationStatusForAccessLevel(AccessLevel::ReadWrite);
}

AuthorizationStatus PhotoLibrary::authorizationStatusForAccessLevel(AccessLevel) {
    return LibraryAuthorization::status(sharedPhotoLibrary()->folder());
}

void PhotoLibrary::requestAuthorization(std::function<void(AuthorizationStatus)> handler) {
    requestAuthorizationForAccessLevel(AccessLevel::ReadWrite, std::move(handler));
}

void PhotoLibrary::requestAuthorizationForAccessLevel(
    AccessLevel level, std::function<void(AuthorizationStatus)> handler) {
    auto library = sharedPhotoLibrary();
    library->queue_->async([library, level, handler = std::move(handler)] {
        AuthorizationStatus status = LibraryAuthorization::ask(library->folder(), level);
        if (handler) handler(status);
    });
}

PhotoLibrary::ReadAccess PhotoLibrary::readAccess() {
    if (!options_.enforcesAuthorization) return ReadAccess::Full;
    AuthorizationStatus status = LibraryAuthorization::status(folder_);
    if (status == AuthorizationStatus::Authorized) return ReadAccess::Full;
    if (status == AuthorizationStatus::Limited) return ReadAccess::Limited;
    if (!deniedLogged_.exchange(true)) {
        hxLog("photo library: access is %s; fetches find nothing",
              LibraryAuthorization::word(status));
    }
    return ReadAccess::None;
}

std::optional<PhotosError> PhotoLibrary::writeAccessError() {
    if (!store_) {
        return PhotosError{PhotosErrorCode::LibraryUnavailable,
                           "the photo library cannot be opened: " + unavailableReason_};
    }
    if (!options_.enforcesAuthorization) return std::nullopt;
    switch (LibraryAuthorization::status(folder_)) {
        case AuthorizationStatus::Authorized:
        case AuthorizationStatus::Limited:
            return std::nullopt;
        case AuthorizationStatus::Restricted:
            return PhotosError{PhotosErrorCode::AccessRestricted,
                               "access to the photo library is restricted"};
        case AuthorizationStatus::Denied:
            return PhotosError{PhotosErrorCode::AccessUserDenied,
                               "access to the photo library was denied"};
        case AuthorizationStatus::NotDetermined:
            break;
    }
    return PhotosError{PhotosErrorCode::AccessUserDenied,
                       "access to the photo library has not been granted"};
}

bool PhotoLibrary::applyChanges(const std::function<void()>& changeBlock, PhotosError* error) {
    auto fail = [&](PhotosError failure) {
        if (error) *error = std::move(failure);
        return false;
    };
    if (auto refused = writeAccessError()) return fail(*refused);

    ChangeTransaction transaction(*this);
    {
        ChangeTransaction::Scope scope(transaction);
        try {
            if (changeBlock) changeBlock();
        } catch (const std::exception& exception) {
            return fail({PhotosErrorCode::Internal,
                         std::string("the change block failed: ") + exception.what()});
        } catch (...) {
            return fail({PhotosErrorCode::Internal, "the change block failed"});
        }
    }
    std::vector<ChangeProblem> problems;
    ChangeBatch batch = transaction.makeBatch(problems);
    if (!problems.empty()) return fail({problems.front().code, problems.front().message});
    batch.selectNewAssets = readAccess() == ReadAccess::Limited;

    CommitOutcome outcome = store_->commit(batch);
    if (!outcome.committed) return fail(errorFor(outcome.failure, outcome.message));
    for (const std::string& path : transaction.filesToRemove()) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    keepThumbnailsOf(batch);
    // Observers hear of the change before the completion runs.
    scanForChanges();
    return true;
}

namespace {

// Thumbnails are made on a thread of their own, which the program may be ending under: at exit,
// the one being made is finished and no other is started, before the codecs and paths it uses
// are torn down. A thumbnail not made then is made again on its first request.
class ThumbnailsAtExit {
  public:
    static ThumbnailsAtExit& shared() {
        // Never destroyed; registered when first used, so its exit handler runs before the
        // program's earlier objects go.
        static ThumbnailsAtExit* const instance = [] {
            auto* made = new ThumbnailsAtExit;
            std::atexit([] { ThumbnailsAtExit::shared().stop(); });
            return made;
        }();
        return *instance;
    }

    class Item {
      public:
        explicit Item(ThumbnailsAtExit& owner) : owner_(owner) {
            std::lock_guard lock(owner_.mutex_);
            allowed_ = !owner_.stopping_;
            if (allowed_) ++owner_.running_;
        }
        ~Item() {
            if (!allowed_) return;
            std::lock_guard lock(owner_.mutex_);
            --owner_.running_;
            owner_.done_.notify_all();
        }
        bool allowed() const { return allowed_; }

      private:
        ThumbnailsAtExit& owner_;
        bool allowed_ = false;
    };

  private:
    void stop() {
        std::unique_lock lock(mutex_);
        stopping_ = true;
        done_.wait(lock, [&] { return running_ == 0; });
    }

    std::mutex mutex_;
    std::condition_variable done_;
    bool stopping_ = false;
    int running_ = 0;
};

}  // namespace

void PhotoLibrary::keepThumbnailsOf(const ChangeBatch& batch) {
    // Each is made from the file just written (still in the system's cache), so that photos
    // waiting for their thumbnails hold no pictures in memory.
    struct Work {
        std::string photo;
        std::string thumbnail;
    };
    std::vector<std::string> identifiers;
    for (const NewAsset& asset : batch.newAssets) identifiers.push_back(asset.localIdentifier);
    for (const AssetEdit& edit : batch.edits) identifiers.push_back(edit.asset);
    if (identifiers.empty()) return;
    std::vector<Work> work;
    for (const AssetRecord& record : store_->assetsWithIdentifiers(identifiers)) {
        const bool edited = std::any_of(
            batch.edits.begin(), batch.edits.end(),
            [&](const AssetEdit& edit) { return edit.asset == record.localIdentifier; });
        if (edited) {
            if (auto rendered = store_->renderedPath(record))
                work.push_back({*rendered, thumbnailPath(folder_, record, true)});
        } else {
            work.push_back({store_->originalPath(record), thumbnailPath(folder_, record, false)});
        }
    }
    if (work.empty()) return;
    ThumbnailsAtExit::shared();
    thumbnailQueue_->async([work = std::move(work)] {
        for (const Work& item : work) {
            ThumbnailsAtExit::Item running(ThumbnailsAtExit::shared());
            if (!running.allowed()) return;  // the program is ending: made on the next request
            makeThumbnail(item.photo, item.thumbnail);
        }
    });
}

void PhotoLibrary::waitUntilThumbnailsKept() {
    thumbnailQueue_->sync([] {});
}

void PhotoLibrary::runChanges(const std::function<void()>& changeBlock,
                              const ChangeCompletion& completion) {
    PhotosError error;
    bool success = applyChanges(changeBlock, &error);
    if (!success) hxLog("photo library: the change failed: %s", error.description().c_str());
    if (!completion) return;
    try {
        completion(success, success ? nullptr : &error);
    } catch (const std::exception& exception) {
        hxLog("photo library: a change completion threw: %s", exception.what());
    }
}

void PhotoLibrary::performChanges(std::function<void()> changeBlock,
                                  ChangeCompletion completionHandler) {
    queue_->async(
        [self = shared_from_this(), changeBlock = std::move(changeBlock),
         completion = std::move(completionHandler)] { self->runChanges(changeBlock, completion); });
}

bool PhotoLibrary::performChangesAndWait(const std::function<void()>& changeBlock,
                                         PhotosError* error) {
    bool success = false;
    PhotosError failure;
    queue_->sync([&] { success = applyChanges(changeBlock, &failure); });
    if (!success) {
        hxLog("photo library: the change failed: %s", failure.description().c_str());
        if (error) *error = failure;
    }
    return success;
}

std::optional<std::string> PhotoLibrary::findOrCreateAlbumAndWait(const std::string& title,
                                                                  bool* created,
                                                                  PhotosError* error) {
    std::optional<std::string> album;
    bool made = false;
    PhotosError failure;
    queue_->sync([&] {
        if (auto refused = writeAccessError()) {
            failure = *refused;
            return;
        }
        std::string message;
        album = store_->findOrCreateAlbum(title, &made, &message);
        if (!album) {
            failure = {PhotosErrorCode::Internal, message};
            return;
        }
        if (made) scanForChanges();
    });
    if (!album) {
        hxLog("photo library: the album cannot be found or made: %s",
              failure.description().c_str());
        if (error) *error = failure;
        return std::nullopt;
    }
    if (created) *created = made;
    return album;
}

void PhotoLibrary::registerChangeObserver(PhotoLibraryChangeObserver* observer) {
    if (!observer) return;
    std::lock_guard lock(observersMutex_);
    if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
        observers_.push_back(observer);
    }
}

void PhotoLibrary::unregisterChangeObserver(PhotoLibraryChangeObserver* observer) {
    {
        std::lock_guard lock(observersMutex_);
        observers_.erase(std::remove(observers_.begin(), observers_.end(), observer),
                         observers_.end());
    }
    // A call to it that is under way ends before this returns.
    std::lock_guard waitForDelivery(deliveryMutex_);
}

void PhotoLibrary::startWatching() {
    std::weak_ptr<PhotoLibrary> weak = weak_from_this();
    watcher_ = std::make_unique<ChangeWatcher>(folder_, options_.pollIntervalSeconds, [weak] {
        if (auto self = weak.lock()) self->scheduleScan();
    });
}

void PhotoLibrary::scheduleScan() {
    if (scanScheduled_.exchange(true)) return;
    // Held weakly: the queue belongs to the library, and a library let go with a scan still
    // queued would otherwise be kept alive by its own queue.
    queue_->async([weak = weak_from_this()] {
        if (auto self = weak.lock()) self->scanForChanges();
    });
}

void PhotoLibrary::scanForChanges() {
    scanScheduled_ = false;
    if (!store_) return;
    for (;;) {
        std::vector<TransactionRecord> transactions =
            store_->transactionsAfter(lastSeenTransaction_, kScanBatch);
        if (transactions.empty()) return;
        // Numbers run without gaps; a gap means the log was pruned of changes not heard of.
        if (transactions.front().id > lastSeenTransaction_ + 1) {
            deliver(Change(transactions.front().id - 1, {}, false));
        }
        for (TransactionRecord& transaction : transactions) {
            lastSeenTransaction_ = transaction.id;
            deliver(Change(transaction.id, std::move(transaction.changes), true));
        }
        if (transactions.size() < kScanBatch) return;
    }
}

void PhotoLibrary::deliver(const Change& change) {
    std::lock_guard delivering(deliveryMutex_);
    std::vector<PhotoLibraryChangeObserver*> observers;
    {
        std::lock_guard lock(observersMutex_);
        observers = observers_;
    }
    for (PhotoLibraryChangeObserver* observer : observers) {
        {
            // One observer may unregister another from inside its call.
            std::lock_guard lock(observersMutex_);
            if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
                continue;
            }
        }
        try {
            observer->photoLibraryDidChange(change);
        } catch (const std::exception& exception) {
            hxLog("photo library: a change observer threw: %s", exception.what());
        }
    }
}

}  // namespace hx::photos

#pragma once
// The photo library: a folder shared by every program of this user (see LibraryStore.h), with
// its authorisation, change transactions and change observers.
//
// Changes: performChanges runs the change block on the library's queue; the change requests
// made inside it (AssetCreationRequest, AssetChangeRequest, AssetCollectionChangeRequest) are
// then applied together in one database transaction, so all of them happen or none. The image
// files are written and flushed before that transaction commits.
//
// Observation: after every committed change transaction, in this process or in another, each
// registered observer gets exactly one Change, on the library's queue. Changes made through
// this library are delivered right after they commit, before the completion runs; changes of
// other processes are noticed by a watcher of the library folder (inotify on the database's
// write-ahead log, with a slow poll as a safety net) and arrive within a few tens of
// milliseconds.
//
// Authorisation: see LibraryAuthorization.h. A library opened with enforcesAuthorization false
// (the library tool, which stands for the library's owner) ignores it.
//
// Threads: every member may be called from any thread. Change blocks, completions,
// authorisation handlers and observers run on the library's queue (a serial queue), never inside
// the call that asked for them. performChangesAndWait blocks its caller until the change is
// done; do not call it while the library's queue waits for the caller's thread (an observer
// that synchronously dispatches to the main queue while the main thread calls it, say).
// unregisterChangeObserver waits until a call to that observer in progress has returned, unless
// the observer itself unregisters from inside its call.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/photos/library/LibraryAuthorization.h"
#include "platform/photos/library/PhotoLibraryChangeObserver.h"
#include "platform/photos/library/PhotosError.h"

namespace hx {
class DispatchQueue;
}

namespace hx::photos {

class ChangeWatcher;
class LibraryStore;
struct ChangeBatch;

class PhotoLibrary : public std::enable_shared_from_this<PhotoLibrary> {
  public:
    struct Options {
        // When false, every status counts as authorised.
        bool enforcesAuthorization = true;
        // How often the database is checked for other processes' changes where inotify is
        // unavailable (see ChangeWatcher.h).
        double pollIntervalSeconds = 0.1;
    };

    // Opens the library in `folder` (LibraryStore::defaultFolder() when empty). Null, with the
    // reason, when it cannot be opened.
    static std::shared_ptr<PhotoLibrary> open(const std::string& folder, const Options& options,
                                              std::string* error = nullptr);
    static std::shared_ptr<PhotoLibrary> open(const std::string& folder = {},
                                              std::string* error = nullptr);

    // The library every program uses: the default folder, opened on first use. Never null:
    // when the folder cannot be opened, this is a library whose fetches find nothing and whose
    // changes fail, with the reason logged.
    static std::shared_ptr<PhotoLibrary> sharedPhotoLibrary();
    // Makes `library` the shared one (the library tool, tests); null forgets the shared library
    // so that the next use opens the default folder afresh. Returns the one it replaces (null
    // when none was open).
    static std::shared_ptr<PhotoLibrary> setSharedPhotoLibrary(
        std::shared_ptr<PhotoLibrary> library);

    // The shared library's authorisation.
    static AuthorizationStatus authorizationStatus();
    static AuthorizationStatus authorizationStatusForAccessLevel(AccessLevel level);
    // Asks the user when nobody was asked yet (see LibraryAuthorization.h). The handler runs
    // later on the shared library's queue with the status.
    static void requestAuthorization(std::function<void(AuthorizationStatus status)> handler);
    static void requestAuthorizationForAccessLevel(
        AccessLevel level, std::function<void(AuthorizationStatus status)> handler);

    ~PhotoLibrary();
    PhotoLibrary(const PhotoLibrary&) = delete;
    PhotoLibrary& operator=(const PhotoLibrary&) = delete;

    // The completion gets success, and the error when there was none (null on success).
    using ChangeCompletion = std::function<void(bool success, const PhotosError* error)>;
    void performChanges(std::function<void()> changeBlock, ChangeCompletion completionHandler);
    // The same, waiting for the result; the error is filled in on failure.
    bool performChangesAndWait(const std::function<void()>& changeBlock,
                               PhotosError* error = nullptr);

    // The regular album titled `title` (the last made, when several are), made when there is
    // none, in one database transaction: two callers, in this process or in two, asking at once
    // get the same album. Runs on the library's queue (inline when called there) and waits;
    // observers hear of a new album before it returns. Its local identifier, or nothing with the
    // error filled in; `created` says whether it was made.
    std::optional<std::string> findOrCreateAlbumAndWait(const std::string& title,
                                                        bool* created = nullptr,
                                                        PhotosError* error = nullptr);

    // Observers are not owned; unregister one before it goes away. Registering one twice
    // registers it once.
    void registerChangeObserver(PhotoLibraryChangeObserver* observer);
    void unregisterChangeObserver(PhotoLibraryChangeObserver* observer);

    // Thumbnails of the photos a change saves are made in the background once it is committed,
    // so that a save completes without waiting for them; a program that ends right after saving
    // (an import) waits for them here.
    void waitUntilThumbnailsKept();

    const std::string& folder() const { return folder_; }
    // Null for a library that could not be opened.
    LibraryStore* store() const { return store_.get(); }
    DispatchQueue& queue() const { return *queue_; }

    // What this program may see now.
    enum class ReadAccess { None, Limited, Full };
    ReadAccess readAccess();

  private:
    struct Passkey {};

  public:
    PhotoLibrary(Passkey, std::string folder, std::unique_ptr<LibraryStore> store, Options options,
                 std::string unavailableReason);

  private:
    static std::shared_ptr<PhotoLibrary> make(std::string folder,
                                              std::unique_ptr<LibraryStore> store,
                                              const Options& options, std::string reason);
    void startWatching();
    void runChanges(const std::function<void()>& changeBlock, const ChangeCompletion& completion);
    bool applyChanges(const std::function<void()>& changeBlock, PhotosError* error);
    std::optional<PhotosError> writeAccessError();
    // On the queue, after a commit: queues the thumbnails of the versions the batch saved.
    void keepThumbnailsOf(const ChangeBatch& batch);
    void scheduleScan();
    // On the queue: reads the change log and tells the observers, one change at a time.
    void scanForChanges();
    void deliver(const class Change& change);

    std::string folder_;
    std::unique_ptr<LibraryStore> store_;
    Options options_;
    std::string unavailableReason_;
    std::shared_ptr<DispatchQueue> queue_;
    std::shared_ptr<DispatchQueue> thumbnailQueue_;
    std::unique_ptr<ChangeWatcher> watcher_;

    // Touched on the queue only.
    int64_t lastSeenTransaction_ = 0;
    std::atomic<bool> scanScheduled_{false};

    std::mutex observersMutex_;
    std::vector<PhotoLibraryChangeObserver*> observers_;
    // Held while observers are being called, so unregistering can wait for a call to end.
    std::recursive_mutex deliveryMutex_;

    std::atomic<bool> deniedLogged_{false};
};

}  // namespace hx::photos

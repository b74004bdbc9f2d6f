#pragma once
// The photo library's storage: a library folder holding library.sqlite (assets, albums, album
// membership, edits and the change log) and the image files (see LibraryFiles.h).
//
// Crash safety: every image file is written, flushed and renamed into place before the
// transaction that names it commits, and removed again when that transaction fails, so the
// database never holds a row without its file. Files a transaction stops naming (replaced
// renders, deleted assets) are removed after it commits.
//
// Several processes may open the same folder; each opens one LibraryStore per folder. Writes of
// one connection are visible to the others as soon as they commit (WAL mode). A database held by
// another writer is waited for (a busy timeout) and a transaction that still meets it is run
// again from the start, so "database is locked" never reaches a caller; only a store that stays
// blocked for many seconds gives up, with a logged message.
//
// Opening: the database is created under a temporary name and renamed into place, and created,
// configured and upgraded under the folder's opening lock (LibraryLock.h), so two first opens
// wait for each other. A database file that exists but is empty, unreadable or not a database
// is refused as damaged, and so is a missing database beside originals: a new empty library
// would make every original an orphan. check() with a rebuild puts such a library right.
//
// Files no row names: a writer killed between writing its files and committing leaves them
// behind (originals, rendered versions, temporary files). Every open sweeps them, within a
// short time limit, when no writer has files in flight (the lock's maintenance range);
// check() does the same without a limit and reports rows whose file is missing.
//
// Closing: the store that closes last checkpoints the write-ahead log into library.sqlite
// (truncating the log), so that a copy of the folder, or of library.sqlite alone, is whole.
//
// Every committed change batch gets a number in the change log, with one entry per object it
// touched; other processes read the log to learn what changed (transactionsAfter). Entries older
// than a week are dropped when a store opens.
//
// Threads: every method may be called from any thread; an internal mutex serialises them.
// Failures come back as empty results, false or a CommitOutcome with a message, never as
// exceptions.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/photos/store/ChangeBatch.h"
#include "platform/photos/store/LibraryFiles.h"
#include "platform/photos/store/StoreAttempt.h"
#include "platform/photos/store/StoreRecords.h"

namespace hx::photos {

class Database;
class LibraryLock;

// Why a library could not be opened.
enum class OpenFailure {
    None,
    Folder,   // the folder or its lock file cannot be made
    Busy,     // another process held the library's opening lock too long
    Damaged,  // the database is empty, unreadable, not a database, damaged, or missing beside
              // originals: rebuild() can make a new one from the originals
    Newer,    // written by a newer version of the program
    Other,    // the database could not be configured or upgraded
};

struct OpenOptions {
    // Removes, within a short time limit, the files an interrupted writer left behind.
    bool sweep = true;
    // Where new originals go, by year and month with readable names (cameraFolder() in
    // PicturesFolder.h for the user's library); empty: originals/ in the library folder.
    std::string cameraFolder;
};

// What check() found and did. Paths are absolute.
struct LibraryCheckReport {
    struct MissingFile {
        std::string asset;
        std::string path;
        bool rendered = false;  // the file of an edit, not the original
    };
    std::vector<MissingFile> missingFiles;  // rows whose file is gone
    // Originals found again by size and hash under another name or folder of originals/; the
    // rows point at them from now on when relocationsRecorded.
    struct RelocatedFile {
        std::string asset;
        std::string from;
        std::string to;
    };
    std::vector<RelocatedFile> relocatedFiles;
    bool relocationsRecorded = false;
    std::vector<std::string> unnamedFiles;    // under originals/ or renders/, named by no row
    std::vector<std::string> temporaryFiles;  // left by a writer that stopped mid-write
    std::vector<std::string> removedFiles;    // of the two above, the files removed
    std::vector<std::string> removedAssets;   // assets dropped because their original is gone
    std::vector<std::string> revertedAssets;  // edits dropped because their render is gone
    // Rebuild only: where the damaged database was put, and the assets made from originals.
    std::string damagedDatabase;
    std::vector<std::string> rebuiltAssets;
    std::vector<std::string> unreadableFiles;  // originals the rebuild could not read
    bool complete = true;                      // false: the time limit stopped it before the end
};

struct CheckOptions {
    // Remove unnamed and temporary files, and point rows at their originals found again.
    bool removeFiles = false;
    bool repairRows = false;  // drop assets whose original is gone, edits whose render is gone
    double seconds = 0;       // a time limit for the walk; 0: none
};

class LibraryStore {
  public:
    // Opens or creates the library in `folder`, defaultFolder() when empty. Null, with the
    // reason in `error` (and its kind in `failure`), when the folder or database cannot be made,
    // the database is damaged, or it was written by a newer version of the program.
    static std::unique_ptr<LibraryStore> open(const std::string& folder = {},
                                              std::string* error = nullptr);
    static std::unique_ptr<LibraryStore> open(const std::string& folder, const OpenOptions& options,
                                              std::string* error, OpenFailure* failure = nullptr);
    // Puts a damaged library's database aside (library.sqlite.damaged-<date>, its log files
    // with it) and makes a new one with an asset for every readable original, named by its
    // file and dated by its metadata (albums and edits are lost with the old database). The
    // opened store, with what it did in `report`; null with the reason when it cannot.
    static std::unique_ptr<LibraryStore> rebuild(const std::string& folder,
                                                 LibraryCheckReport* report, std::string* error,
                                                 const std::string& cameraFolder = {});
    // <data directory>/library.
    static std::string defaultFolder();
    ~LibraryStore();
    LibraryStore(const LibraryStore&) = delete;
    LibraryStore& operator=(const LibraryStore&) = delete;

    const std::string& folder() const { return folder_; }
    // Where new originals go; empty for a store that keeps them inside its own folder.
    const std::string& cameraFolder() const { return files_.cameraFolder(); }
    std::string databasePath() const;
    const LibraryFiles& files() const { return files_; }

    // Applies the whole batch in one transaction, or nothing of it.
    CommitOutcome commit(const ChangeBatch& batch);

    // Compares the rows with the files under originals/ and renders/ while no writer has files
    // in flight (waiting for writers up to half a minute). Reports rows whose file is gone,
    // files no row names and temporary files, and repairs what the options ask. False, with
    // the reason, when the library could not be read or locked.
    bool check(const CheckOptions& options, LibraryCheckReport* report,
               std::string* error = nullptr);

    // Single changes, each its own transaction.
    // Stores an image file as a new asset, a member of each album given. Its local identifier,
    // or nothing when the bytes are not an image, an album does not exist or storing fails.
    std::optional<std::string> createAsset(const std::vector<uint8_t>& bytes,
                                           const std::vector<std::string>& albumIdentifiers = {},
                                           std::string* error = nullptr);
    // A new, empty album; titles need not be unique.
    std::optional<std::string> createAlbum(const std::string& title, std::string* error = nullptr);
    // The album titled `title` (the last made, when several are), made when there is none, in
    // one transaction, so that two processes asking at once get one album. `created` says
    // whether it was made.
    std::optional<std::string> findOrCreateAlbum(const std::string& title, bool* created = nullptr,
                                                 std::string* error = nullptr);
    // Appends the assets to the album; assets already in it keep their place.
    bool addAssets(const std::string& albumIdentifier, const std::vector<std::string>& assets,
                   std::string* error = nullptr);

    // `ok`, when given, is false if the database could not answer (the result is then empty).
    std::vector<AssetRecord> queryAssets(const AssetQuery& query, bool* ok = nullptr);
    std::vector<AlbumRecord> queryAlbums(const AlbumQuery& query, bool* ok = nullptr);

    std::vector<AssetRecord> assets(SortOrder order = SortOrder::Ascending);  // by creation date
    std::vector<AssetRecord> assetsInAlbum(const std::string& albumIdentifier,
                                           SortOrder order = SortOrder::Ascending);
    // The assets that exist, in the order of `identifiers`.
    std::vector<AssetRecord> assetsWithIdentifiers(const std::vector<std::string>& identifiers);
    std::optional<AssetRecord> asset(const std::string& identifier);

    // Albums in the order they were created.
    std::vector<AlbumRecord> allAlbums();
    std::vector<AlbumRecord> albumsWithTitle(const std::string& title);
    // The albums an asset belongs to, in the order they were created.
    std::vector<AlbumRecord> albumsContaining(const std::string& assetIdentifier);
    int64_t countAssets(bool limitedSelectionOnly = false);

    // Where the asset's original file lies; nothing for an unknown asset.
    std::optional<std::string> originalPath(const std::string& identifier);
    std::string originalPath(const AssetRecord& asset) const;
    // The rendered file of an edited asset; nothing when it has no edit.
    std::optional<std::string> renderedPath(const AssetRecord& asset) const;

    // The change log: the newest transaction's number (0 before the first), the oldest one
    // still kept, and the transactions after `transaction`, oldest first, at most `limit`.
    int64_t latestTransaction();
    int64_t earliestTransaction();
    std::vector<TransactionRecord> transactionsAfter(int64_t transaction, size_t limit);

    // Moves every original that is not in the camera folder yet there, with a readable name,
    // one crash-safe step per file: a copy written and flushed (recorded as pending), the row
    // pointed at it, the old file removed. A kill at any point loses nothing and leaves at
    // worst a file the next open sweeps; running it again goes on where it stopped. Stops
    // before the next file when `keepGoing` says no. False, with the reason, when a file
    // cannot be moved (the ones before it stay moved) or there is no camera folder.
    bool moveOriginals(const std::function<bool()>& keepGoing,
                       std::vector<LibraryCheckReport::RelocatedFile>* moved, std::string* error);

    // When no other store has the library open, moves the write-ahead log into library.sqlite
    // and empties it (the store's destructor does this too). For a program about to exit
    // whose store may still be closing on another thread.
    void checkpointIfLast();

    // What this store writes as the origin of its transactions: process id and a random part.
    const std::string& origin() const { return origin_; }

  private:
    LibraryStore(std::string folder, std::string cameraFolder, std::unique_ptr<Database> db,
                 std::unique_ptr<LibraryLock> lock);
    // Points the rows at their originals found again, in one transaction.
    bool recordRelocations(const std::vector<LibraryCheckReport::RelocatedFile>& relocated,
                           std::string* error);
    // The body of check(), with the maintenance range already held.
    bool checkLocked(const CheckOptions& options, LibraryCheckReport* report, std::string* error);
    // Marks a writer with files in flight (the maintenance range shared while any is).
    bool beginWriting(std::string* error);
    void endWriting();
    // See retryWhileBusy.
    bool retrying(const char* what, const std::function<Attempt()>& attempt);
    // Runs the asset query (once per identifier when `identifiers` is given, the identifier
    // then being its last parameter) and attaches the edits, in one read transaction.
    std::vector<AssetRecord> selectAssets(const std::string& sql,
                                          const std::vector<std::string>& parameters,
                                          const std::vector<std::string>* identifiers,
                                          bool withAlbumPosition, bool* ok);
    std::vector<AlbumRecord> selectAlbums(const std::string& sql,
                                          const std::vector<std::string>& parameters, bool* ok);
    void pruneChangeLog();

    std::string folder_;
    LibraryFiles files_;
    std::string origin_;
    std::mutex mutex_;
    std::unique_ptr<Database> db_;
    std::unique_ptr<LibraryLock> lock_;
    // Writers of this store with files in flight, and the thread of this store that holds the
    // maintenance range exclusively (a check); other threads' writes wait for it to end.
    std::mutex writersMutex_;
    std::condition_variable writersChanged_;
    int writers_ = 0;
    std::optional<std::thread::id> maintainer_;
};

}  // namespace hx::photos

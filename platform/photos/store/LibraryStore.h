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
// Every committed change batch gets a number in the change log, with one entry per object it
// touched; other processes read the log to learn what changed (transactionsAfter). Entries older
// than a week are dropped when a store opens.
//
// Threads: every method may be called from any thread; an internal mutex serialises them.
// Failures come back as empty results, false or a CommitOutcome with a message, never as
// exceptions.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/photos/store/ChangeBatch.h"
#include "platform/photos/store/LibraryFiles.h"
#include "platform/photos/store/StoreAttempt.h"
#include "platform/photos/store/StoreRecords.h"

namespace hx::photos {

class Database;

class LibraryStore {
  public:
    // Opens or creates the library in `folder`, defaultFolder() when empty. Null, with the
    // reason in `error`, when the folder or database cannot be made, the database is damaged,
    // or it was written by a newer version of the program.
    static std::unique_ptr<LibraryStore> open(const std::string& folder = {},
                                              std::string* error = nullptr);
    // <data directory>/library.
    static std::string defaultFolder();
    ~LibraryStore();
    LibraryStore(const LibraryStore&) = delete;
    LibraryStore& operator=(const LibraryStore&) = delete;

    const std::string& folder() const { return folder_; }
    std::string databasePath() const;
    const LibraryFiles& files() const { return files_; }

    // Applies the whole batch in one transaction, or nothing of it.
    CommitOutcome commit(const ChangeBatch& batch);

    // Single changes, each its own transaction.
    // Stores an image file as a new asset, a member of each album given. Its local identifier,
    // or nothing when the bytes are not an image, an album does not exist or storing fails.
    std::optional<std::string> createAsset(const std::vector<uint8_t>& bytes,
                                           const std::vector<std::string>& albumIdentifiers = {},
                                           std::string* error = nullptr);
    // A new, empty album; titles need not be unique.
    std::optional<std::string> createAlbum(const std::string& title, std::string* error = nullptr);
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

    // What this store writes as the origin of its transactions: process id and a random part.
    const std::string& origin() const { return origin_; }

  private:
    LibraryStore(std::string folder, std::unique_ptr<Database> db);
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
};

}  // namespace hx::photos

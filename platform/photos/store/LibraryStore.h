#pragma once
// The photo library's storage: a library folder holding library.sqlite (assets, albums and album
// membership) and the original image files under originals/<2 hex>/<UUID>.<extension>.
//
// Crash safety: an original is written to a temporary name, flushed and renamed into place
// before the transaction that names it commits, and removed again when that transaction fails,
// so the database never holds a row without its file.
//
// Several processes may open the same folder; each opens one LibraryStore per folder. Writes of
// one connection are visible to the others as soon as they commit (WAL mode; writers wait up to
// five seconds for each other).
//
// Threads: every method may be called from any thread; an internal mutex serialises them.
// Failures come back as empty results or false with a message, never as exceptions.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace hx::photos {

class Database;

enum class MediaType : int { Unknown = 0, Image = 1 };

enum class SortOrder { Ascending, Descending };

struct AssetRecord {
    std::string localIdentifier;
    MediaType mediaType = MediaType::Unknown;
    double creationDate = 0;  // seconds since 1970
    int pixelWidth = 0;       // as stored in the file, before orientation
    int pixelHeight = 0;
    int orientation = 1;  // Exif orientation, 1 to 8
    std::string fileName;
    std::string originalTypeIdentifier;  // "public.jpeg", ...
    double addedDate = 0;
};

struct AlbumRecord {
    std::string localIdentifier;
    std::string title;
    double creationDate = 0;
};

class LibraryStore {
  public:
    // Opens or creates the library in `folder`, <data directory>/library when empty. Null, with
    // the reason in `error`, when the folder or database cannot be made, the database is
    // damaged, or it was written by a newer version of the program.
    static std::unique_ptr<LibraryStore> open(const std::string& folder = {},
                                              std::string* error = nullptr);
    static std::string defaultFolder();
    ~LibraryStore();
    LibraryStore(const LibraryStore&) = delete;
    LibraryStore& operator=(const LibraryStore&) = delete;

    const std::string& folder() const { return folder_; }
    std::string databasePath() const;

    // Stores an image file (JPEG, PNG, TIFF or HEIC) as a new asset, a member of each album
    // given, in one transaction. The new asset's local identifier, or nothing when the bytes
    // are not an image, an album does not exist or storing fails.
    std::optional<std::string> createAsset(const std::vector<uint8_t>& bytes,
                                           const std::vector<std::string>& albumIdentifiers = {},
                                           std::string* error = nullptr);
    // A new, empty album; titles need not be unique.
    std::optional<std::string> createAlbum(const std::string& title, std::string* error = nullptr);
    // Appends the assets to the album, in one transaction; assets already in it keep their place.
    bool addAssets(const std::string& albumIdentifier, const std::vector<std::string>& assets,
                   std::string* error = nullptr);

    std::vector<AssetRecord> assets(SortOrder order = SortOrder::Ascending);
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

    // Where the asset's original file lies; nothing for an unknown asset.
    std::optional<std::string> originalPath(const std::string& identifier);

  private:
    LibraryStore(std::string folder, std::unique_ptr<Database> db);
    std::string originalPathFor(const std::string& fileName) const;
    std::vector<AssetRecord> queryAssets(const std::string& sql, const std::string* parameter);
    std::vector<AlbumRecord> queryAlbums(const std::string& sql, const std::string* parameter);
    bool insertMemberships(const std::string& album, const std::vector<std::string>& assets,
                           std::string* error);

    std::string folder_;
    std::mutex mutex_;
    std::unique_ptr<Database> db_;
};

}  // namespace hx::photos

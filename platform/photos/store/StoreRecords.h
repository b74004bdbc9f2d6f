#pragma once
// What the library store keeps, as plain records, and the questions it answers about them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hx::photos {

enum class MediaType : int { Unknown = 0, Image = 1, Video = 2, Audio = 3 };

enum class SortOrder { Ascending, Descending };

// The wall-clock time in seconds since 1970, the way the library stores dates.
double currentDate();

// The edit an asset carries: who made it (format identifier and version, opaque data only that
// editor reads) and the rendered picture it shows since.
struct AdjustmentRecord {
    std::string formatIdentifier;
    std::string formatVersion;
    std::vector<uint8_t> data;
    std::string renderedFileName;
    std::string renderedTypeIdentifier;
    int pixelWidth = 0;  // of the rendered file, before its orientation
    int pixelHeight = 0;
    int orientation = 1;
    double adjustedDate = 0;
};

struct AssetRecord {
    std::string localIdentifier;
    MediaType mediaType = MediaType::Unknown;
    double creationDate = 0;  // seconds since 1970
    int pixelWidth = 0;       // of the original as stored in the file, before orientation
    int pixelHeight = 0;
    int orientation = 1;  // Exif orientation of the original, 1 to 8
    std::string fileName;
    std::string originalTypeIdentifier;  // "public.jpeg", ...
    std::string originalFilename;        // the name the file had when it came in
    // The original's size and content hash (LibraryFiles::contentHash) when it was saved; -1
    // and empty for originals saved before the library recorded them.
    int64_t fileSize = -1;
    std::string contentHash;
    // Where the original was found again, relative to the library folder, when it is not
    // where fileName puts it (a file renamed or moved by hand); empty when it is.
    std::string relocatedPath;
    double addedDate = 0;
    double modificationDate = 0;
    // Goes up by one with every edit and revert, so cached pictures of an older version are
    // never shown for a newer one.
    int64_t revision = 0;
    std::optional<AdjustmentRecord> adjustment;
    // Where the asset stands among the others: the order it was added to the library, and its
    // place in the album when the query was for an album.
    int64_t addedOrder = 0;
    int64_t albumPosition = -1;
};

struct AlbumRecord {
    std::string localIdentifier;
    std::string title;
    double creationDate = 0;
    int64_t assetCount = 0;
    int64_t createdOrder = 0;
};

enum class AssetOrder {
    Added,         // the order assets came into the library (or into the album)
    CreationDate,  // then the identifier, so that equal dates keep one order
};

struct AssetQuery {
    enum class Scope { Library, Album, Identifiers };
    Scope scope = Scope::Library;
    std::string album;                     // Scope::Album
    std::vector<std::string> identifiers;  // Scope::Identifiers: the answer keeps this order
    std::optional<MediaType> mediaType;
    AssetOrder order = AssetOrder::Added;
    SortOrder direction = SortOrder::Ascending;
    // Only the assets of the limited-access selection.
    bool limitedSelectionOnly = false;
};

enum class AlbumOrder { Created, CreationDate, Title };

struct AlbumQuery {
    std::optional<std::vector<std::string>> identifiers;  // all albums when empty
    std::optional<std::string> title;
    std::optional<std::string> containingAsset;
    AlbumOrder order = AlbumOrder::Created;
    SortOrder direction = SortOrder::Ascending;
};

// One entry of the change log: what a committed transaction did to one object.
enum class ChangeKind : int {
    Inserted = 1,
    Updated = 2,  // the object itself: an edit, a revert, a new album title
    Deleted = 3,
    MembershipChanged = 4,  // an album's assets, logged for the album and for each asset
};

struct LoggedChange {
    ChangeKind kind = ChangeKind::Inserted;
    std::string object;
};

struct TransactionRecord {
    int64_t id = 0;
    double committedDate = 0;
    std::string origin;
    std::vector<LoggedChange> changes;
};

}  // namespace hx::photos

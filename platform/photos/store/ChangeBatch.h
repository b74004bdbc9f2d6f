#pragma once
// Everything one change transaction does, gathered before it runs, so that the store can write
// the files first and then apply the whole batch in one database transaction.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hx::photos {

using Bytes = std::shared_ptr<const std::vector<uint8_t>>;

struct NewAsset {
    std::string localIdentifier;   // assigned by the caller, so placeholders can name it
    Bytes bytes;                   // an image file: JPEG, PNG, TIFF or HEIC
    std::string originalFilename;  // empty: named after the identifier
};

struct NewAlbum {
    std::string localIdentifier;
    std::string title;
};

struct AlbumChange {
    std::string album;
    std::optional<std::string> title;
    std::vector<std::string> addedAssets;  // appended in this order; members keep their place
    std::vector<std::string> removedAssets;
};

struct AssetEdit {
    std::string asset;
    Bytes renderedBytes;  // the picture the asset shows from now on
    std::string formatIdentifier;
    std::string formatVersion;
    std::vector<uint8_t> data;
};

struct ChangeBatch {
    std::vector<NewAlbum> newAlbums;
    std::vector<NewAsset> newAssets;
    std::vector<AlbumChange> albumChanges;
    std::vector<AssetEdit> edits;
    std::vector<std::string> reverts;
    std::vector<std::string> deletions;
    // New assets join the limited-access selection (they were made under limited access).
    bool selectNewAssets = false;

    bool empty() const {
        return newAlbums.empty() && newAssets.empty() && albumChanges.empty() && edits.empty() &&
               reverts.empty() && deletions.empty();
    }
};

enum class CommitFailure {
    None,
    InvalidResource,  // bytes that are not an image we store
    NotFound,         // an asset or album that does not exist
    Storage,          // the disk or the database failed
};

struct CommitOutcome {
    bool committed = false;
    int64_t transaction = 0;  // the change log's number for it
    CommitFailure failure = CommitFailure::None;
    std::string message;
};

}  // namespace hx::photos

#pragma once
// Albums and the smart album that holds the whole library, as they were when fetched. Regular
// albums are made by the user (or a program) with a title; several may share one. The user
// library is always there and holds every asset. The static fetches read the shared photo
// library.
//
// Threads: immutable; fetches may be made from any thread.

#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/photos/fetch/FetchOptions.h"
#include "platform/photos/fetch/FetchResult.h"
#include "platform/photos/fetch/Object.h"
#include "platform/photos/store/StoreRecords.h"

namespace hx::photos {

class Asset;
class PhotoLibrary;

enum class AssetCollectionType : int { Album = 1, SmartAlbum = 2, Moment = 3 };

enum class AssetCollectionSubtype : int {
    AlbumRegular = 2,
    SmartAlbumUserLibrary = 209,
    Any = INT_MAX,
};

class AssetCollection final : public Object {
  public:
    // Local identifier of the user library.
    static constexpr const char* kUserLibraryIdentifier =
        "00000000-0000-0000-0000-0000000000D1/L0/040";
    static constexpr const char* kUserLibraryTitle = "Library";

    static FetchResult<AssetCollection> fetchAssetCollectionsWithType(
        AssetCollectionType type, AssetCollectionSubtype subtype, const FetchOptions* options);
    static FetchResult<AssetCollection> fetchAssetCollectionsWithLocalIdentifiers(
        const std::vector<std::string>& identifiers, const FetchOptions* options);
    // The collections of this type that hold the asset.
    static FetchResult<AssetCollection> fetchAssetCollectionsContainingAsset(
        const Asset& asset, AssetCollectionType type, const FetchOptions* options);

    // Made by fetches: an album, or the user library.
    AssetCollection(std::shared_ptr<PhotoLibrary> library, AlbumRecord album);
    static std::shared_ptr<const AssetCollection> userLibrary(std::shared_ptr<PhotoLibrary> library,
                                                              int64_t assetCount);

    AssetCollectionType assetCollectionType() const { return type_; }
    AssetCollectionSubtype assetCollectionSubtype() const { return subtype_; }
    // Albums always have one; a collection without a title would give nothing.
    std::optional<std::string> localizedTitle() const { return album_.title; }
    int64_t estimatedAssetCount() const { return album_.assetCount; }
    double creationDate() const { return album_.creationDate; }

    const AlbumRecord& record() const { return album_; }
    const std::shared_ptr<PhotoLibrary>& photoLibrary() const { return library_; }

  private:
    AssetCollection(std::shared_ptr<PhotoLibrary> library, AlbumRecord album,
                    AssetCollectionType type, AssetCollectionSubtype subtype);

    std::shared_ptr<PhotoLibrary> library_;
    AlbumRecord album_;
    AssetCollectionType type_;
    AssetCollectionSubtype subtype_;
};
using AssetCollectionRef = std::shared_ptr<const AssetCollection>;

}  // namespace hx::photos

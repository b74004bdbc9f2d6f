#include "platform/photos/fetch/AssetCollection.h"

#include "platform/photos/fetch/Asset.h"
#include "platform/photos/library/PhotoLibrary.h"

namespace hx::photos {

AssetCollection::AssetCollection(std::shared_ptr<PhotoLibrary> library, AlbumRecord album)
    : AssetCollection(std::move(library), std::move(album), AssetCollectionType::Album,
                      AssetCollectionSubtype::AlbumRegular) {}

AssetCollection::AssetCollection(std::shared_ptr<PhotoLibrary> library, AlbumRecord album,
                                 AssetCollectionType type, AssetCollectionSubtype subtype)
    : Object(album.localIdentifier),
      library_(std::move(library)),
      album_(std::move(album)),
      type_(type),
      subtype_(subtype) {}

std::shared_ptr<const AssetCollection> AssetCollection::userLibrary(
    std::shared_ptr<PhotoLibrary> library, int64_t assetCount) {
    AlbumRecord record{kUserLibraryIdentifier, kUserLibraryTitle, 0, assetCount, 0};
    return std::shared_ptr<const AssetCollection>(
        new AssetCollection(std::move(library), std::move(record), AssetCollectionType::SmartAlbum,
                            AssetCollectionSubtype::SmartAlbumUserLibrary));
}

FetchResult<AssetCollection> AssetCollection::fetchAssetCollectionsWithType(
    AssetCollectionType type, AssetCollectionSubtype subtype, const FetchOptions* options) {
    detail::CollectionFetchQuery query;
    bool any = subtype == AssetCollectionSubtype::Any;
    query.albums = type == AssetCollectionType::Album &&
                   (any || subtype == AssetCollectionSubtype::AlbumRegular);
    query.userLibrary = type == AssetCollectionType::SmartAlbum &&
                        (any || subtype == AssetCollectionSubtype::SmartAlbumUserLibrary);
    detail::applyOptions(options, query.query);
    return detail::fetch<AssetCollection>(PhotoLibrary::sharedPhotoLibrary(), std::move(query));
}

FetchResult<AssetCollection> AssetCollection::fetchAssetCollectionsWithLocalIdentifiers(
    const std::vector<std::string>& identifiers, const FetchOptions* options) {
    detail::CollectionFetchQuery query;
    query.userLibrary = true;
    query.query.identifiers = identifiers;
    detail::applyOptions(options, query.query);
    return detail::fetch<AssetCollection>(PhotoLibrary::sharedPhotoLibrary(), std::move(query));
}

FetchResult<AssetCollection> AssetCollection::fetchAssetCollectionsContainingAsset(
    const Asset& asset, AssetCollectionType type, const FetchOptions* options) {
    detail::CollectionFetchQuery query;
    query.albums = type == AssetCollectionType::Album;
    query.userLibrary = type == AssetCollectionType::SmartAlbum;
    query.query.containingAsset = asset.localIdentifier();
    detail::applyOptions(options, query.query);
    return detail::fetch<AssetCollection>(asset.photoLibrary(), std::move(query));
}

}  // namespace hx::photos

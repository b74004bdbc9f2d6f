#include "platform/photos/fetch/Asset.h"

#include "platform/photos/fetch/AssetCollection.h"
#include "platform/photos/library/PhotoLibrary.h"

namespace hx::photos {
namespace {

FetchResult<Asset> fetchFrom(const std::shared_ptr<PhotoLibrary>& library, AssetQuery query,
                             const FetchOptions* options) {
    detail::applyOptions(options, query);
    return detail::fetch<Asset>(library, detail::AssetFetchQuery{std::move(query)});
}

}  // namespace

Asset::Asset(std::shared_ptr<PhotoLibrary> library, AssetRecord record)
    : Object(record.localIdentifier), library_(std::move(library)), record_(std::move(record)) {}

FetchResult<Asset> Asset::fetchAssetsWithOptions(const FetchOptions* options) {
    return fetchFrom(PhotoLibrary::sharedPhotoLibrary(), AssetQuery{}, options);
}

FetchResult<Asset> Asset::fetchAssetsInAssetCollection(const AssetCollection& collection,
                                                       const FetchOptions* options) {
    AssetQuery query;
    if (collection.assetCollectionSubtype() != AssetCollectionSubtype::SmartAlbumUserLibrary) {
        query.scope = AssetQuery::Scope::Album;
        query.album = collection.localIdentifier();
    }
    return fetchFrom(collection.photoLibrary(), std::move(query), options);
}

FetchResult<Asset> Asset::fetchAssetsWithMediaType(MediaType mediaType,
                                                   const FetchOptions* options) {
    AssetQuery query;
    query.mediaType = mediaType;
    return fetchFrom(PhotoLibrary::sharedPhotoLibrary(), std::move(query), options);
}

FetchResult<Asset> Asset::fetchAssetsWithLocalIdentifiers(
    const std::vector<std::string>& identifiers, const FetchOptions* options) {
    AssetQuery query;
    query.scope = AssetQuery::Scope::Identifiers;
    query.identifiers = identifiers;
    return fetchFrom(PhotoLibrary::sharedPhotoLibrary(), std::move(query), options);
}

namespace {

// Stored width, height and orientation of the version the asset shows.
struct ShownVersion {
    int width, height, orientation;
};

ShownVersion shownVersion(const AssetRecord& record) {
    if (record.adjustment) {
        return {record.adjustment->pixelWidth, record.adjustment->pixelHeight,
                record.adjustment->orientation};
    }
    return {record.pixelWidth, record.pixelHeight, record.orientation};
}

// Orientations 5 to 8 turn the picture a quarter, swapping its sides.
bool swapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

}  // namespace

int Asset::pixelWidth() const {
    ShownVersion shown = shownVersion(record_);
    return swapsSides(shown.orientation) ? shown.height : shown.width;
}

int Asset::pixelHeight() const {
    ShownVersion shown = shownVersion(record_);
    return swapsSides(shown.orientation) ? shown.width : shown.height;
}

}  // namespace hx::photos

#include "widget/AssetImageModel.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/photos/Photos.h"
#include "platform/widgetkit/DateFormatter.h"
#include "platform/widgetkit/SystemRandom.h"
#include "platform/widgetkit/WidgetFamily.h"

namespace hx {

namespace {

using namespace photos;

// The middle square of the picture: the widget shows a square, and a picture stretched to one
// would be distorted.
image::ImageRef middleSquare(const image::ImageRef& picture) {
    const int side = std::min(picture->width(), picture->height());
    if (side == picture->width() && side == picture->height()) return picture;
    return picture->cropped((picture->width() - side) / 2, (picture->height() - side) / 2, side,
                            side);
}

// The album's photos, oldest first; several albums of that title are pooled in fetch order.
std::vector<AssetRef> albumAssets() {
    FetchOptions options;
    options.sortDescriptors.push_back(SortDescriptor::sortDescriptorWithKey("creationDate", true));
    std::vector<AssetRef> assets;
    const FetchResult<AssetCollection> albums = AssetCollection::fetchAssetCollectionsWithType(
        AssetCollectionType::Album, AssetCollectionSubtype::AlbumRegular, nullptr);
    for (const AssetCollectionRef& album : albums) {
        const std::optional<std::string> title = album->localizedTitle();
        if (!title || *title != AssetImageModel::kAlbumTitle) continue;
        for (const AssetRef& asset : Asset::fetchAssetsInAssetCollection(*album, &options))
            assets.push_back(asset);
    }
    return assets;
}

}  // namespace

AssetImageModel::AssetImageModel() {
    load();
}

void AssetImageModel::load() {
    _assetImage = nullptr;
    _assetTimeStamp = std::nullopt;
    if (PhotoLibrary::authorizationStatus() != AuthorizationStatus::Authorized) return;

    std::vector<AssetRef> candidates = albumAssets();
    ImageRequestOptions options;
    options.synchronous = true;
    options.deliveryMode = ImageRequestOptionsDeliveryMode::HighQualityFormat;
    options.resizeMode = ImageRequestOptionsResizeMode::Exact;
    options.version = ImageRequestOptionsVersion::Current;
    const double scale = widgetScreenScale();
    const Size target{kSidePoints * scale, kSidePoints * scale};
    CachingImageManager manager;

    // A random photo; one whose picture cannot be read is dropped and another one picked.
    while (!candidates.empty()) {
        const size_t index = SystemRandom::uniformIndex(candidates.size());
        const AssetRef asset = candidates[index];
        candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(index));
        image::ImageRef picture;
        int orientation = 1;
        manager.requestImageForAsset(asset, target, ImageContentMode::AspectFill, &options,
                                     [&](image::ImageRef result, const ImageResultInfo& info) {
                                         picture = std::move(result);
                                         orientation = info.orientation;
                                     });
        if (!picture) continue;
        _assetImage = UIImage::imageWithCGImage(middleSquare(picture), scale,
                                                UIImageOrientationFromExif(orientation));
        if (!_assetImage) continue;
        DateFormatter formatter;
        formatter.setLocalizedDateFormatFromTemplate("yMMMdE");
        // A photo without a creation date shows no date line.
        const double created = asset->creationDate();
        _assetTimeStamp = std::isfinite(created) && created > 0
                              ? formatter.stringFromDate(Date{created})
                              : std::string();
        return;
    }
}

}  // namespace hx

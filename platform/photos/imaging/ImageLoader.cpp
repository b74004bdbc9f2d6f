#include "platform/photos/imaging/ImageLoader.h"

#include <algorithm>
#include <filesystem>

#include "platform/image/FileIO.h"
#include "platform/image/Resample.h"
#include "platform/image/io/ImageSource.h"
#include "platform/log/Log.h"
#include "platform/photos/imaging/ThumbnailStore.h"
#include "platform/photos/library/PhotoLibrary.h"
#include "platform/photos/store/LibraryStore.h"

namespace hx::photos {
namespace {

// The file, type, stored size and orientation of the version a request asks for.
struct Version {
    std::string path;
    std::string typeIdentifier;
    int width = 0, height = 0, orientation = 1;
    bool rendered = false;
};

std::optional<Version> versionOf(const Asset& asset, ImageRequestOptionsVersion version,
                                 ImageResultInfo& info) {
    LibraryStore* store = asset.photoLibrary() ? asset.photoLibrary()->store() : nullptr;
    if (!store) {
        info.error = PhotosError{PhotosErrorCode::LibraryUnavailable,
                                 "the asset's photo library is not open"};
        return std::nullopt;
    }
    const AssetRecord& record = asset.record();
    if (version == ImageRequestOptionsVersion::Current && record.adjustment) {
        const AdjustmentRecord& edit = *record.adjustment;
        return Version{store->files().renderPath(edit.renderedFileName),
                       edit.renderedTypeIdentifier,
                       edit.pixelWidth,
                       edit.pixelHeight,
                       edit.orientation,
                       true};
    }
    return Version{store->originalPath(record), record.originalTypeIdentifier,
                   record.pixelWidth,           record.pixelHeight,
                   record.orientation,          false};
}

bool fileIsThere(const Asset& asset, const Version& version, ImageResultInfo& info) {
    std::error_code ignored;
    if (std::filesystem::exists(version.path, ignored)) return true;
    hxLog("photo library: the file of asset %s is missing: %s", asset.localIdentifier().c_str(),
          version.path.c_str());
    info.error = PhotosError{PhotosErrorCode::InvalidResource,
                             "the file of asset " + asset.localIdentifier() + " is missing"};
    return false;
}

// Whether the file is still the one the library saved, as far as its size tells: one changed
// behind the library's back no longer matches the thumbnail made from it.
bool matchesItsRecord(const Asset& asset, const Version& version) {
    const int64_t recorded = asset.record().fileSize;
    if (version.rendered || recorded < 0) return true;
    std::error_code ec;
    const auto size = std::filesystem::file_size(version.path, ec);
    return !ec && int64_t(size) == recorded;
}

// The picture shrunk so that its long side is `longSide` (as a scaled decode gives it).
image::ImageRef resizeToLongSide(const image::ImageRef& picture, int longSide) {
    if (std::max(picture->width(), picture->height()) <= longSide) return picture;
    std::string error;
    auto resized =
        image::scaleToFit(picture, picture->width(), picture->height(), longSide, &error);
    if (!resized) hxLog("photo library: cannot shrink a thumbnail: %s", error.c_str());
    return resized;
}

}  // namespace

std::string ImageLoader::cacheKeyPrefix(const Asset& asset) {
    return asset.localIdentifier() + "|";
}

std::string ImageLoader::cacheKey(const Asset& asset, Size target, ImageContentMode mode,
                                  ImageRequestOptionsVersion version) {
    const AssetRecord& record = asset.record();
    bool rendered = version == ImageRequestOptionsVersion::Current && record.adjustment;
    int width = rendered ? record.adjustment->pixelWidth : record.pixelWidth;
    int height = rendered ? record.adjustment->pixelHeight : record.pixelHeight;
    int orientation = rendered ? record.adjustment->orientation : record.orientation;
    int longSide = decodeLongSide(width, height, orientation, target, mode);
    // Requests that decode to the same size share one entry.
    return cacheKeyPrefix(asset) + std::to_string(record.revision) + (rendered ? "|r|" : "|o|") +
           std::to_string(longSide);
}

image::ImageRef ImageLoader::load(const Asset& asset, Size target, ImageContentMode mode,
                                  ImageRequestOptionsVersion requested, ImageResultInfo& info,
                                  bool keepInCache) {
    auto version = versionOf(asset, requested, info);
    if (!version) return nullptr;
    info.orientation = version->orientation;
    std::string key = cacheKey(asset, target, mode, requested);
    if (image::ImageRef cached = cache_.find(key)) return cached;

    if (!fileIsThere(asset, *version, info)) return nullptr;
    int longSide =
        decodeLongSide(version->width, version->height, version->orientation, target, mode);
    image::ImageRef picture;
    if (longSide > 0 && longSide <= kThumbnailLongSide && matchesItsRecord(asset, *version)) {
        // Thumbnail sizes come from the small stored picture, made once from the photo.
        const std::string path =
            thumbnailPath(asset.photoLibrary()->folder(), asset.record(), version->rendered);
        image::ImageRef thumbnail = readThumbnail(path);
        if (!thumbnail) thumbnail = makeThumbnail(version->path, path);
        if (thumbnail) picture = resizeToLongSide(thumbnail, longSide);
    }
    auto source = picture ? nullptr : image::ImageSource::createWithURL(version->path);
    if (source) {
        picture = longSide > 0 ? source->createThumbnailAtIndex(0, longSide)
                               : source->createImageAtIndex(0);
    }
    if (!picture) {
        hxLog("photo library: cannot read the picture of asset %s from %s",
              asset.localIdentifier().c_str(), version->path.c_str());
        info.error =
            PhotosError{PhotosErrorCode::InvalidResource,
                        "the file of asset " + asset.localIdentifier() + " cannot be read"};
        return nullptr;
    }
    if (keepInCache) cache_.insert(key, picture);
    return picture;
}

Bytes ImageLoader::loadData(const Asset& asset, ImageRequestOptionsVersion requested,
                            std::string* typeIdentifier, ImageResultInfo& info) {
    auto version = versionOf(asset, requested, info);
    if (!version) return nullptr;
    info.orientation = version->orientation;
    if (!fileIsThere(asset, *version, info)) return nullptr;
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    std::string error;
    if (!image::readFileContents(version->path, *bytes, &error)) {
        hxLog("photo library: cannot read the file of asset %s: %s",
              asset.localIdentifier().c_str(), error.c_str());
        info.error = PhotosError{PhotosErrorCode::InvalidResource, error};
        return nullptr;
    }
    if (typeIdentifier) *typeIdentifier = version->typeIdentifier;
    return bytes;
}

}  // namespace hx::photos

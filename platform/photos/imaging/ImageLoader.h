#pragma once
// Reads the picture of an asset for the image managers: picks the file of the version asked
// for, decodes it at the size the target needs with the codec's scaled decode, and keeps the
// result in a cache. A file that is missing or damaged gives no picture, an error and a logged
// message.
//
// Threads: every member may be called from any thread.

#include <cstddef>
#include <memory>
#include <string>

#include "platform/image/Image.h"
#include "platform/photos/fetch/Asset.h"
#include "platform/photos/imaging/ImageCache.h"
#include "platform/photos/imaging/ImageRequestOptions.h"
#include "platform/photos/imaging/TargetSize.h"
#include "platform/photos/store/ChangeBatch.h"

namespace hx::photos {

class ImageLoader {
  public:
    explicit ImageLoader(size_t cacheBytes) : cache_(cacheBytes) {}

    // Fills info.orientation, or info.error when there is no picture. A picture read from the
    // file goes into the cache when `keepInCache`.
    image::ImageRef load(const Asset& asset, Size target, ImageContentMode mode,
                         ImageRequestOptionsVersion version, ImageResultInfo& info,
                         bool keepInCache = true);
    // The file's bytes as stored, with its type identifier.
    Bytes loadData(const Asset& asset, ImageRequestOptionsVersion version,
                   std::string* typeIdentifier, ImageResultInfo& info);

    // The cache key of the asset's picture for this request; every key of one asset starts
    // with cacheKeyPrefix(asset).
    static std::string cacheKey(const Asset& asset, Size target, ImageContentMode mode,
                                ImageRequestOptionsVersion version);
    static std::string cacheKeyPrefix(const Asset& asset);

    ImageCache& cache() { return cache_; }

  private:
    ImageCache cache_;
};

}  // namespace hx::photos

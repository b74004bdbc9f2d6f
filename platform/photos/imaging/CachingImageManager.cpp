#include "platform/photos/imaging/CachingImageManager.h"

#include <mutex>
#include <unordered_set>

#include "platform/photos/imaging/ImageLoader.h"
#include "platform/runloop/DispatchQueue.h"

namespace hx::photos {
namespace {

constexpr size_t kCachingManagerBytes = size_t{128} << 20;

}  // namespace

// Cache keys queued for decoding; a key removed before its turn is not decoded.
struct CachingImageManager::Pending {
    std::mutex mutex;
    std::unordered_set<std::string> keys;
};

CachingImageManager::CachingImageManager()
    : ImageManager(kCachingManagerBytes),
      queue_(DispatchQueue::makeSerial("caching image manager")),
      pending_(std::make_shared<Pending>()) {}

CachingImageManager::~CachingImageManager() {
    std::lock_guard lock(pending_->mutex);
    pending_->keys.clear();
}

void CachingImageManager::startCachingImagesForAssets(const std::vector<AssetRef>& assets,
                                                      Size targetSize, ImageContentMode contentMode,
                                                      const ImageRequestOptions* options) {
    auto version = options ? options->version : ImageRequestOptionsVersion::Current;
    std::vector<std::pair<AssetRef, std::string>> work;
    {
        std::lock_guard lock(pending_->mutex);
        for (const AssetRef& asset : assets) {
            if (!asset) continue;
            std::string key = ImageLoader::cacheKey(*asset, targetSize, contentMode, version);
            if (pending_->keys.insert(key).second) work.emplace_back(asset, std::move(key));
        }
    }
    if (work.empty()) return;
    queue_->async([work = std::move(work), pending = pending_, loader = loader(), targetSize,
                   contentMode, version] {
        for (const auto& [asset, key] : work) {
            {
                std::lock_guard lock(pending->mutex);
                if (!pending->keys.erase(key)) continue;  // stopped meanwhile
            }
            ImageResultInfo info;
            loader->load(*asset, targetSize, contentMode, version, info);
        }
    });
}

void CachingImageManager::stopCachingImagesForAssets(const std::vector<AssetRef>& assets,
                                                     Size targetSize, ImageContentMode contentMode,
                                                     const ImageRequestOptions* options) {
    auto version = options ? options->version : ImageRequestOptionsVersion::Current;
    std::lock_guard lock(pending_->mutex);
    for (const AssetRef& asset : assets) {
        if (!asset) continue;
        std::string key = ImageLoader::cacheKey(*asset, targetSize, contentMode, version);
        pending_->keys.erase(key);
        loader()->cache().remove(key);
    }
}

void CachingImageManager::stopCachingImagesForAllAssets() {
    std::lock_guard lock(pending_->mutex);
    pending_->keys.clear();
    loader()->cache().removeAll();
}

}  // namespace hx::photos

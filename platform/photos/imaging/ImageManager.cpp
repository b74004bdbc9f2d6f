#include "platform/photos/imaging/ImageManager.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

#include "platform/photos/imaging/ImageLoader.h"
#include "platform/runloop/DispatchQueue.h"

namespace hx::photos {
namespace {

constexpr size_t kDefaultCacheBytes = size_t{48} << 20;

ImageResultInfo noAsset(ImageRequestID id) {
    ImageResultInfo info;
    info.requestID = id;
    info.error = PhotosError{PhotosErrorCode::IdentifierNotFound, "there is no asset"};
    return info;
}

}  // namespace

// Requests in flight, by identifier, each with the flag that cancels it.
struct ImageManager::Requests {
    std::mutex mutex;
    std::unordered_map<ImageRequestID, std::shared_ptr<std::atomic<bool>>> cancelled;

    static ImageRequestID nextIdentifier() {
        static std::atomic<ImageRequestID> next{1};
        return next.fetch_add(1);
    }

    // Runs `produce` on a background queue and hands its result to `deliver` on the main queue;
    // a request cancelled before either step skips it.
    template <typename Produce, typename Deliver>
    static void runInBackground(const std::shared_ptr<Requests>& requests, ImageRequestID id,
                                Produce produce, Deliver deliver) {
        auto cancelled = std::make_shared<std::atomic<bool>>(false);
        {
            std::lock_guard lock(requests->mutex);
            requests->cancelled[id] = cancelled;
        }
        DispatchQueue::global().async([requests, id, cancelled, produce, deliver] {
            auto finish = [requests, id] {
                std::lock_guard lock(requests->mutex);
                requests->cancelled.erase(id);
            };
            if (*cancelled) return finish();
            auto result = std::make_shared<decltype(produce())>(produce());
            DispatchQueue::main().async([result, cancelled, deliver, finish] {
                finish();
                if (!*cancelled) deliver(*result);
            });
        });
    }
};

ImageManager& ImageManager::defaultManager() {
    static ImageManager* const manager = new ImageManager;
    return *manager;
}

ImageManager::ImageManager() : ImageManager(kDefaultCacheBytes) {}

ImageManager::ImageManager(size_t cacheBytes)
    : loader_(std::make_shared<ImageLoader>(cacheBytes)), requests_(std::make_shared<Requests>()) {}

ImageManager::~ImageManager() = default;

ImageRequestID ImageManager::requestImageForAsset(const AssetRef& asset, Size targetSize,
                                                  ImageContentMode contentMode,
                                                  const ImageRequestOptions* options,
                                                  ResultHandler resultHandler) {
    ImageRequestOptions chosen = options ? *options : ImageRequestOptions{};
    ImageRequestID id = Requests::nextIdentifier();
    auto produce = [loader = loader_, asset, targetSize, contentMode, chosen,
                    id](ImageResultInfo& info) -> image::ImageRef {
        if (!asset) {
            info = noAsset(id);
            return nullptr;
        }
        info.requestID = id;
        return loader->load(*asset, targetSize, contentMode, chosen.version, info,
                            chosen.keepsResultInCache);
    };
    if (chosen.synchronous) {
        ImageResultInfo info;
        image::ImageRef picture = produce(info);
        if (resultHandler) resultHandler(std::move(picture), info);
        return id;
    }
    struct Result {
        image::ImageRef picture;
        ImageResultInfo info;
    };
    Requests::runInBackground(
        requests_, id,
        [produce] {
            Result result;
            result.picture = produce(result.info);
            return result;
        },
        [handler = std::move(resultHandler)](Result& result) {
            if (handler) handler(std::move(result.picture), result.info);
        });
    return id;
}

ImageRequestID ImageManager::requestImageDataAndOrientationForAsset(
    const AssetRef& asset, const ImageRequestOptions* options, DataHandler resultHandler) {
    ImageRequestOptions chosen = options ? *options : ImageRequestOptions{};
    ImageRequestID id = Requests::nextIdentifier();
    struct Result {
        Bytes data;
        std::string type;
        ImageResultInfo info;
    };
    auto produce = [loader = loader_, asset, chosen, id] {
        Result result;
        if (!asset) {
            result.info = noAsset(id);
            return result;
        }
        result.info.requestID = id;
        result.data = loader->loadData(*asset, chosen.version, &result.type, result.info);
        return result;
    };
    if (chosen.synchronous) {
        Result result = produce();
        if (resultHandler) {
            resultHandler(result.data, result.type, result.info.orientation, result.info);
        }
        return id;
    }
    Requests::runInBackground(
        requests_, id, produce, [handler = std::move(resultHandler)](Result& result) {
            if (handler) handler(result.data, result.type, result.info.orientation, result.info);
        });
    return id;
}

void ImageManager::cancelImageRequest(ImageRequestID requestID) {
    std::lock_guard lock(requests_->mutex);
    auto found = requests_->cancelled.find(requestID);
    if (found != requests_->cancelled.end()) *found->second = true;
}

ImageCache::Statistics ImageManager::cacheStatistics() const {
    return loader_->cache().statistics();
}

}  // namespace hx::photos

#pragma once
// Pictures of assets at the size a screen needs: requestImageForAsset decodes the asset's file
// (the edit when it has one, unless the options ask for the original) just large enough for the
// target size and content mode, using the codec's scaled decode, and keeps recent pictures in
// a memory cache, so a grid of thumbnails never decodes whole photos and a thumbnail asked for
// again comes from memory. The picture's pixels are as stored; the result's info carries the
// Exif orientation to display it with.
//
// A null asset, or one whose file was deleted behind the library's back, gives a null picture
// with an error in the info, and a logged message.
//
// Threads: every member may be called from any thread. Asynchronous requests are decoded on the
// global queue and their handlers run on the main queue; synchronous requests run their handler
// inside the call. A cancelled asynchronous request never calls its handler. A manager may be
// destroyed while its requests are in flight.

#include <functional>
#include <memory>
#include <string>

#include "platform/image/Image.h"
#include "platform/photos/fetch/Asset.h"
#include "platform/photos/imaging/ImageCache.h"
#include "platform/photos/imaging/ImageRequestOptions.h"
#include "platform/photos/imaging/TargetSize.h"
#include "platform/photos/store/ChangeBatch.h"

namespace hx::photos {

class ImageLoader;

class ImageManager {
  public:
    static ImageManager& defaultManager();

    ImageManager();
    virtual ~ImageManager();
    ImageManager(const ImageManager&) = delete;
    ImageManager& operator=(const ImageManager&) = delete;

    using ResultHandler = std::function<void(image::ImageRef result, const ImageResultInfo& info)>;
    // A target of PHImageManagerMaximumSize asks for the picture as stored.
    ImageRequestID requestImageForAsset(const AssetRef& asset, Size targetSize,
                                        ImageContentMode contentMode,
                                        const ImageRequestOptions* options,
                                        ResultHandler resultHandler);

    // The file of the asset's version as it is stored, its type identifier ("public.jpeg") and
    // Exif orientation.
    using DataHandler = std::function<void(Bytes imageData, const std::string& dataUTI,
                                           int orientation, const ImageResultInfo& info)>;
    ImageRequestID requestImageDataAndOrientationForAsset(const AssetRef& asset,
                                                          const ImageRequestOptions* options,
                                                          DataHandler resultHandler);

    void cancelImageRequest(ImageRequestID requestID);

    // Hits and misses of this manager's memory cache.
    ImageCache::Statistics cacheStatistics() const;

  protected:
    explicit ImageManager(size_t cacheBytes);
    // Shared, so that work in flight may outlive the manager.
    const std::shared_ptr<ImageLoader>& loader() const { return loader_; }

  private:
    struct Requests;

    std::shared_ptr<ImageLoader> loader_;
    std::shared_ptr<Requests> requests_;
};

}  // namespace hx::photos

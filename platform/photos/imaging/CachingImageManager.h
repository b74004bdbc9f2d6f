#pragma once
// An image manager for scrolling lists: besides keeping what it delivered, it decodes the
// pictures a screen is about to show ahead of time (startCachingImagesForAssets) so that the
// requests that follow find them in memory. Requests must use the same target size, content
// mode and version as the caching call to find its pictures.
//
// Threads: every member may be called from any thread; ahead-of-time decoding runs on a serial
// queue of the manager's own.

#include <memory>
#include <vector>

#include "platform/photos/imaging/ImageManager.h"

namespace hx {
class DispatchQueue;
}

namespace hx::photos {

class CachingImageManager final : public ImageManager {
  public:
    CachingImageManager();
    ~CachingImageManager() override;

    // Kept for callers; every cached picture has the quality that was asked for.
    bool allowsCachingHighQualityImages() const { return allowsCachingHighQualityImages_; }
    void setAllowsCachingHighQualityImages(bool allows) {
        allowsCachingHighQualityImages_ = allows;
    }

    void startCachingImagesForAssets(const std::vector<AssetRef>& assets, Size targetSize,
                                     ImageContentMode contentMode,
                                     const ImageRequestOptions* options);
    // Drops those pictures, and those still waiting to be decoded.
    void stopCachingImagesForAssets(const std::vector<AssetRef>& assets, Size targetSize,
                                    ImageContentMode contentMode,
                                    const ImageRequestOptions* options);
    void stopCachingImagesForAllAssets();

  private:
    struct Pending;
    bool allowsCachingHighQualityImages_ = true;
    std::shared_ptr<DispatchQueue> queue_;
    std::shared_ptr<Pending> pending_;
};

}  // namespace hx::photos

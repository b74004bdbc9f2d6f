#include "platform/photos/editing/ContentEditingInput.h"

#include "platform/image/io/ImageSource.h"
#include "platform/log/Log.h"

namespace hx::photos {

ContentEditingInput::ContentEditingInput(AssetRecord asset, std::string fullSizeImageURL,
                                         std::shared_ptr<const AdjustmentData> adjustmentData)
    : asset_(std::move(asset)),
      fullSizeImageURL_(std::move(fullSizeImageURL)),
      adjustment_(std::move(adjustmentData)) {}

image::ImageRef ContentEditingInput::displaySizeImage() const {
    std::call_once(decoded_, [this] {
        auto source = image::ImageSource::createWithURL(fullSizeImageURL_);
        if (source) displaySizeImage_ = source->createThumbnailAtIndex(0, kDisplaySizeLongSide);
        if (!displaySizeImage_) {
            hxLog("photo library: no display-size picture of asset %s from %s",
                  asset_.localIdentifier.c_str(), fullSizeImageURL_.c_str());
        }
    });
    return displaySizeImage_;
}

}  // namespace hx::photos

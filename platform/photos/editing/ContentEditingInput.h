#pragma once
// What an editor gets to edit an asset (Asset::requestContentEditingInputWithOptions): the
// unedited original's file and orientation, a display-size picture for previews, and the
// current edit's adjustment data when the editor said it can read it. An editor that cannot
// starts again from the original, which the library always keeps.
//
// Threads: immutable; the display-size picture is decoded on first use, by whichever thread
// asks first.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/image/Image.h"
#include "platform/photos/editing/AdjustmentData.h"
#include "platform/photos/library/PhotosError.h"
#include "platform/photos/store/StoreRecords.h"

namespace hx::photos {

struct ContentEditingInputRequestOptions {
    // Whether the editor can continue the edit this data describes; without it, or when it
    // says no, the input carries no adjustment data.
    std::function<bool(const AdjustmentData& adjustmentData)> canHandleAdjustmentData;
    // Every file is local; kept for callers that set it.
    bool networkAccessAllowed = false;
};

struct ContentEditingInputInfo {
    bool isCancelled = false;
    std::optional<PhotosError> error;  // when there is no input
};

class ContentEditingInput {
  public:
    // The long side of displaySizeImage, at most.
    static constexpr int kDisplaySizeLongSide = 2048;

    ContentEditingInput(AssetRecord asset, std::string fullSizeImageURL,
                        std::shared_ptr<const AdjustmentData> adjustmentData);

    MediaType mediaType() const { return asset_.mediaType; }
    double creationDate() const { return asset_.creationDate; }
    // "public.jpeg", ...: the type of the full-size file.
    const std::string& uniformTypeIdentifier() const { return asset_.originalTypeIdentifier; }
    // The path of the unedited original in the library. Read it; never write it.
    const std::string& fullSizeImageURL() const { return fullSizeImageURL_; }
    // Exif orientation (1 to 8) of the full-size file.
    int fullSizeImageOrientation() const { return asset_.orientation; }
    // The original scaled to at most kDisplaySizeLongSide, pixels as stored; null when it
    // cannot be read (logged).
    image::ImageRef displaySizeImage() const;
    int displaySizeImageOrientation() const { return asset_.orientation; }
    // The current edit's data, when the editor could handle it.
    const std::shared_ptr<const AdjustmentData>& adjustmentData() const { return adjustment_; }

    const std::string& assetIdentifier() const { return asset_.localIdentifier; }

  private:
    AssetRecord asset_;
    std::string fullSizeImageURL_;
    std::shared_ptr<const AdjustmentData> adjustment_;
    mutable std::once_flag decoded_;
    mutable image::ImageRef displaySizeImage_;
};

}  // namespace hx::photos

#pragma once
// What an editor hands back: the rendered picture, written as a JPEG file at
// renderedContentURL, and the adjustment data describing the edit. Committing it
// (AssetChangeRequest::setContentEditingOutput inside performChanges) makes the asset show
// the rendered picture; the library moves the file in, so the editor need not remove it.
//
// Threads: set the adjustment data before handing the output to the library; after that, treat
// it as immutable.

#include <memory>
#include <string>

#include "platform/photos/editing/AdjustmentData.h"

namespace hx::photos {

class ContentEditingInput;

class ContentEditingOutput {
  public:
    // A fresh, unused file path in the per-user temporary folder, for the asset of `input`.
    explicit ContentEditingOutput(const ContentEditingInput& input);

    // Where to write the rendered JPEG.
    const std::string& renderedContentURL() const { return renderedContentURL_; }

    const std::shared_ptr<const AdjustmentData>& adjustmentData() const { return adjustment_; }
    void setAdjustmentData(std::shared_ptr<const AdjustmentData> adjustmentData) {
        adjustment_ = std::move(adjustmentData);
    }

    const std::string& assetIdentifier() const { return assetIdentifier_; }

  private:
    std::string assetIdentifier_;
    std::string renderedContentURL_;
    std::shared_ptr<const AdjustmentData> adjustment_;
};

}  // namespace hx::photos

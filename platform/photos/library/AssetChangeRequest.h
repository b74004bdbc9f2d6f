#pragma once
// Changes existing assets inside a change block (PhotoLibrary::performChanges): commits an
// edit (the rendered picture and its adjustment data, from a content-editing output), reverts
// an asset to its original, or deletes assets. An edited asset shows the rendered picture and
// keeps its original, which content-editing input and "original" image requests still give.
//
// Threads: made and used inside the change block, on the library's queue.

#include <memory>
#include <string>
#include <vector>

#include "platform/photos/fetch/Asset.h"
#include "platform/photos/library/ChangeTransaction.h"

namespace hx::photos {

class ContentEditingOutput;

class AssetChangeRequest final : public ChangeRequest {
  public:
    static std::shared_ptr<AssetChangeRequest> changeRequestForAsset(const Asset& asset);
    // Deletes the assets and their files; they leave every album.
    static void deleteAssets(const std::vector<AssetRef>& assets);

    // The output's rendered content (a file the editor wrote at renderedContentURL) becomes the
    // picture the asset shows, with the output's adjustment data. The rendered file is moved
    // into the library. An output without adjustment data, for another asset, or whose file is
    // missing or not a picture fails the whole change.
    void setContentEditingOutput(std::shared_ptr<const ContentEditingOutput> output);
    // Drops the edit: the asset shows its original again. Does nothing for an unedited asset.
    void revertAssetContentToOriginal();

    void contribute(ChangeBatch& batch, ChangeTransaction& transaction) const override;

  private:
    enum class Action { None, Edit, Revert, Delete };
    AssetChangeRequest(const char* what, std::vector<std::string> assets, bool fromThisLibrary);

    std::vector<std::string> assets_;
    bool fromThisLibrary_;
    Action action_ = Action::None;
    std::shared_ptr<const ContentEditingOutput> output_;
};

}  // namespace hx::photos

#include "platform/photos/library/AssetChangeRequest.h"

#include "platform/image/FileIO.h"
#include "platform/photos/editing/ContentEditingOutput.h"
#include "platform/photos/library/PhotoLibrary.h"

namespace hx::photos {
namespace {

bool belongsToCurrentTransaction(const Asset& asset) {
    ChangeTransaction* transaction = ChangeTransaction::current();
    return transaction && asset.photoLibrary() && transaction->isOwnLibrary(*asset.photoLibrary());
}

}  // namespace

AssetChangeRequest::AssetChangeRequest(const char* what, std::vector<std::string> assets,
                                       bool fromThisLibrary)
    : ChangeRequest(what), assets_(std::move(assets)), fromThisLibrary_(fromThisLibrary) {}

std::shared_ptr<AssetChangeRequest> AssetChangeRequest::changeRequestForAsset(const Asset& asset) {
    std::shared_ptr<AssetChangeRequest> request(new AssetChangeRequest(
        "an asset change request", {asset.localIdentifier()}, belongsToCurrentTransaction(asset)));
    if (request->transaction()) request->transaction()->add(request);
    return request;
}

void AssetChangeRequest::deleteAssets(const std::vector<AssetRef>& assets) {
    std::vector<std::string> identifiers;
    bool fromThisLibrary = true;
    for (const AssetRef& asset : assets) {
        if (!asset) continue;
        identifiers.push_back(asset->localIdentifier());
        fromThisLibrary = fromThisLibrary && belongsToCurrentTransaction(*asset);
    }
    std::shared_ptr<AssetChangeRequest> request(
        new AssetChangeRequest("deleting assets", std::move(identifiers), fromThisLibrary));
    request->action_ = Action::Delete;
    if (request->transaction()) request->transaction()->add(request);
}

void AssetChangeRequest::setContentEditingOutput(
    std::shared_ptr<const ContentEditingOutput> output) {
    if (!changeable("setting a content-editing output")) return;
    action_ = Action::Edit;
    output_ = std::move(output);
}

void AssetChangeRequest::revertAssetContentToOriginal() {
    if (!changeable("reverting an asset")) return;
    action_ = Action::Revert;
    output_.reset();
}

void AssetChangeRequest::contribute(ChangeBatch& batch, ChangeTransaction& transaction) const {
    if (action_ == Action::None) return;
    if (!fromThisLibrary_) {
        transaction.problem(PhotosErrorCode::IdentifierNotFound,
                            "an asset of another photo library cannot be changed here");
        return;
    }
    if (action_ == Action::Delete) {
        batch.deletions.insert(batch.deletions.end(), assets_.begin(), assets_.end());
        return;
    }
    const std::string& asset = assets_.front();
    if (action_ == Action::Revert) {
        batch.reverts.push_back(asset);
        return;
    }
    if (!output_ || !output_->adjustmentData()) {
        transaction.problem(PhotosErrorCode::InvalidResource,
                            "a content-editing output needs adjustment data");
        return;
    }
    if (output_->assetIdentifier() != asset) {
        transaction.problem(PhotosErrorCode::InvalidResource,
                            "the content-editing output was made for another asset");
        return;
    }
    auto rendered = std::make_shared<std::vector<uint8_t>>();
    std::string error;
    if (!image::readFileContents(output_->renderedContentURL(), *rendered, &error)) {
        transaction.problem(PhotosErrorCode::InvalidResource,
                            "the rendered content cannot be read: " + error);
        return;
    }
    const AdjustmentData& adjustment = *output_->adjustmentData();
    batch.edits.push_back({asset, std::move(rendered), adjustment.formatIdentifier(),
                           adjustment.formatVersion(), adjustment.data()});
    transaction.removeAfterCommit(output_->renderedContentURL());
}

}  // namespace hx::photos

#include "platform/photos/library/AssetCollectionChangeRequest.h"

#include "platform/photos/library/PhotoLibrary.h"
#include "platform/photos/store/LocalIdentifier.h"

namespace hx::photos {

AssetCollectionChangeRequest::AssetCollectionChangeRequest(const char* what, std::string album)
    : ChangeRequest(what), album_(std::move(album)) {}

std::shared_ptr<AssetCollectionChangeRequest>
AssetCollectionChangeRequest::creationRequestForAssetCollectionWithTitle(const std::string& title) {
    std::shared_ptr<AssetCollectionChangeRequest> request(new AssetCollectionChangeRequest(
        "an album creation request", makeUUID() + kAlbumIdentifierSuffix));
    request->placeholder_ = std::make_shared<const ObjectPlaceholder>(request->album_);
    request->title_ = title;
    if (request->transaction()) request->transaction()->add(request);
    return request;
}

std::shared_ptr<AssetCollectionChangeRequest>
AssetCollectionChangeRequest::changeRequestForAssetCollection(const AssetCollection& collection) {
    std::shared_ptr<AssetCollectionChangeRequest> request(
        new AssetCollectionChangeRequest("an album change request", collection.localIdentifier()));
    if (collection.assetCollectionSubtype() != AssetCollectionSubtype::AlbumRegular) {
        request->problem_ =
            ChangeProblem{PhotosErrorCode::InvalidResource, "only regular albums can be changed"};
    } else if (ChangeTransaction* transaction = request->transaction();
               transaction && collection.photoLibrary() &&
               !transaction->isOwnLibrary(*collection.photoLibrary())) {
        request->problem_ = ChangeProblem{PhotosErrorCode::IdentifierNotFound,
                                          "an album of another photo library cannot be changed"};
    }
    if (request->transaction()) request->transaction()->add(request);
    return request;
}

void AssetCollectionChangeRequest::addAssets(const std::vector<ObjectRef>& assets) {
    if (!changeable("adding assets to an album")) return;
    for (const ObjectRef& asset : assets) {
        if (asset) added_.push_back(asset->localIdentifier());
    }
}

void AssetCollectionChangeRequest::removeAssets(const std::vector<ObjectRef>& assets) {
    if (!changeable("removing assets from an album")) return;
    for (const ObjectRef& asset : assets) {
        if (asset) removed_.push_back(asset->localIdentifier());
    }
}

void AssetCollectionChangeRequest::setTitle(const std::string& title) {
    if (!changeable("renaming an album")) return;
    title_ = title;
}

void AssetCollectionChangeRequest::contribute(ChangeBatch& batch,
                                              ChangeTransaction& transaction) const {
    if (problem_) {
        transaction.problem(problem_->code, problem_->message);
        return;
    }
    if (placeholder_) {
        batch.newAlbums.push_back({album_, title_.value_or("")});
        if (!added_.empty()) batch.albumChanges.push_back({album_, std::nullopt, added_, {}});
        return;
    }
    if (title_ || !added_.empty() || !removed_.empty()) {
        batch.albumChanges.push_back({album_, title_, added_, removed_});
    }
}

}  // namespace hx::photos

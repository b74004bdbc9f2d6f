#pragma once
// Makes or changes an album inside a change block (PhotoLibrary::performChanges): a new album
// with a title (titles need not be unique), assets added (in order, after those it holds) or
// removed, a new title. Assets may be given as fetched assets or as placeholders of assets
// created in the same block.
//
// Threads: made and used inside the change block, on the library's queue.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/photos/fetch/AssetCollection.h"
#include "platform/photos/fetch/Object.h"
#include "platform/photos/library/ChangeTransaction.h"

namespace hx::photos {

class AssetCollectionChangeRequest final : public ChangeRequest {
  public:
    static std::shared_ptr<AssetCollectionChangeRequest> creationRequestForAssetCollectionWithTitle(
        const std::string& title);
    // Regular albums only; a request for another collection fails the change.
    static std::shared_ptr<AssetCollectionChangeRequest> changeRequestForAssetCollection(
        const AssetCollection& collection);

    // Null for a change request of an existing album.
    ObjectPlaceholderRef placeholderForCreatedAssetCollection() const { return placeholder_; }

    void addAssets(const std::vector<ObjectRef>& assets);
    template <class T>
    void addAssets(const std::vector<std::shared_ptr<const T>>& assets) {
        addAssets(std::vector<ObjectRef>(assets.begin(), assets.end()));
    }
    void removeAssets(const std::vector<ObjectRef>& assets);
    template <class T>
    void removeAssets(const std::vector<std::shared_ptr<const T>>& assets) {
        removeAssets(std::vector<ObjectRef>(assets.begin(), assets.end()));
    }
    void setTitle(const std::string& title);

    void contribute(ChangeBatch& batch, ChangeTransaction& transaction) const override;

  private:
    AssetCollectionChangeRequest(const char* what, std::string album);

    std::string album_;
    ObjectPlaceholderRef placeholder_;
    std::optional<std::string> title_;
    std::vector<std::string> added_;
    std::vector<std::string> removed_;
    std::optional<ChangeProblem> problem_;
};

}  // namespace hx::photos

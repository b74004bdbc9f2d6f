#include "platform/photos/library/AssetCreationRequest.h"

#include <filesystem>

#include "platform/image/FileIO.h"
#include "platform/photos/store/LocalIdentifier.h"

namespace hx::photos {

AssetCreationRequest::AssetCreationRequest()
    : ChangeRequest("an asset creation request"),
      placeholder_(std::make_shared<const ObjectPlaceholder>(makeUUID() + kAssetIdentifierSuffix)) {
}

std::shared_ptr<AssetCreationRequest> AssetCreationRequest::creationRequestForAsset() {
    std::shared_ptr<AssetCreationRequest> request(new AssetCreationRequest);
    if (request->transaction()) request->transaction()->add(request);
    return request;
}

std::shared_ptr<AssetCreationRequest>
AssetCreationRequest::creationRequestForAssetFromImageAtFileURL(const std::string& fileURL) {
    auto request = creationRequestForAsset();
    request->addResourceWithTypeFileURL(AssetResourceType::Photo, fileURL, nullptr);
    return request;
}

bool AssetCreationRequest::accepts(AssetResourceType type) {
    if (!changeable("adding a resource")) return false;
    if (type != AssetResourceType::Photo) {
        problems_.push_back({PhotosErrorCode::InvalidResource,
                             "only photo resources can be stored (resource type " +
                                 std::to_string(int(type)) + ")"});
        return false;
    }
    if (bytes_) {
        problems_.push_back(
            {PhotosErrorCode::InvalidResource, "an asset can have only one photo resource"});
        return false;
    }
    return true;
}

void AssetCreationRequest::addResourceWithType(AssetResourceType type, std::vector<uint8_t> data,
                                               const AssetResourceCreationOptions* options) {
    if (!accepts(type)) return;
    bytes_ = std::make_shared<const std::vector<uint8_t>>(std::move(data));
    if (options) originalFilename_ = options->originalFilename;
}

void AssetCreationRequest::addResourceWithTypeFileURL(AssetResourceType type,
                                                      const std::string& fileURL,
                                                      const AssetResourceCreationOptions* options) {
    if (!accepts(type)) return;
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    std::string error;
    if (!image::readFileContents(fileURL, *bytes, &error)) {
        problems_.push_back({PhotosErrorCode::InvalidResource, error});
        return;
    }
    bytes_ = std::move(bytes);
    originalFilename_ = options && !options->originalFilename.empty()
                            ? options->originalFilename
                            : std::filesystem::path(fileURL).filename().string();
    if (options && options->shouldMoveFile) fileToMove_ = fileURL;
}

void AssetCreationRequest::contribute(ChangeBatch& batch, ChangeTransaction& transaction) const {
    for (const ChangeProblem& problem : problems_)
        transaction.problem(problem.code, problem.message);
    if (!problems_.empty()) return;
    if (!bytes_) {
        transaction.problem(PhotosErrorCode::InvalidResource,
                            "an asset creation request has no photo resource");
        return;
    }
    batch.newAssets.push_back({placeholder_->localIdentifier(), bytes_, originalFilename_});
    if (!fileToMove_.empty()) transaction.removeAfterCommit(fileToMove_);
}

}  // namespace hx::photos

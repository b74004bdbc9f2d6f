#pragma once
// Makes a new photo asset inside a change block (PhotoLibrary::performChanges): one photo
// resource from bytes or from a file, and a placeholder that stands for the new asset in the
// same block (to add it to an album).
//
// Threads: made and used inside the change block, on the library's queue.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/photos/fetch/Object.h"
#include "platform/photos/library/ChangeTransaction.h"

namespace hx::photos {

enum class AssetResourceType : int {
    Photo = 1,
    Video = 2,
    Audio = 3,
    AlternatePhoto = 4,
    FullSizePhoto = 5,
};

struct AssetResourceCreationOptions {
    // The name the library keeps for the file (shown by tools, used on export).
    std::string originalFilename;
    // Informative: the library reads the type from the bytes themselves.
    std::string uniformTypeIdentifier;
    // For file resources: the file is removed once the asset is saved.
    bool shouldMoveFile = false;
};

class AssetCreationRequest final : public ChangeRequest {
  public:
    static std::shared_ptr<AssetCreationRequest> creationRequestForAsset();
    // A request with the file's picture as its photo resource.
    static std::shared_ptr<AssetCreationRequest> creationRequestForAssetFromImageAtFileURL(
        const std::string& fileURL);

    // The asset's picture: an encoded JPEG, PNG, TIFF or HEIC file. Only photo resources are
    // stored; a request with no photo, or with something that is not a picture, fails the whole
    // change.
    void addResourceWithType(AssetResourceType type, std::vector<uint8_t> data,
                             const AssetResourceCreationOptions* options);
    void addResourceWithTypeFileURL(AssetResourceType type, const std::string& fileURL,
                                    const AssetResourceCreationOptions* options);

    ObjectPlaceholderRef placeholderForCreatedAsset() const { return placeholder_; }

    void contribute(ChangeBatch& batch, ChangeTransaction& transaction) const override;

  private:
    AssetCreationRequest();
    bool accepts(AssetResourceType type);

    ObjectPlaceholderRef placeholder_;
    Bytes bytes_;
    std::string originalFilename_;
    std::string fileToMove_;
    std::vector<ChangeProblem> problems_;
};

}  // namespace hx::photos

#pragma once
// A photo in the library, as it was when it was fetched. The static fetches read the shared
// photo library (PhotoLibrary::sharedPhotoLibrary()).
//
// Pixel sizes are those of the version the asset shows (the edit, when it has one), as
// displayed: a picture stored sideways with orientation 6 reports its upright width.
//
// Threads: immutable; fetches and requests may be made from any thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/photos/fetch/FetchOptions.h"
#include "platform/photos/fetch/FetchResult.h"
#include "platform/photos/fetch/Object.h"
#include "platform/photos/store/StoreRecords.h"

namespace hx::photos {

class AssetCollection;
class ContentEditingInput;
struct ContentEditingInputRequestOptions;
struct ContentEditingInputInfo;
class PhotoLibrary;

using ContentEditingInputRequestID = int32_t;

class Asset final : public Object {
  public:
    // Every asset of the library.
    static FetchResult<Asset> fetchAssetsWithOptions(const FetchOptions* options);
    // The assets of an album, or of the whole library for the user-library collection.
    static FetchResult<Asset> fetchAssetsInAssetCollection(const AssetCollection& collection,
                                                           const FetchOptions* options);
    static FetchResult<Asset> fetchAssetsWithMediaType(MediaType mediaType,
                                                       const FetchOptions* options);
    // The assets that exist of those named; unknown identifiers are left out.
    static FetchResult<Asset> fetchAssetsWithLocalIdentifiers(
        const std::vector<std::string>& identifiers, const FetchOptions* options);

    // Made by fetches.
    Asset(std::shared_ptr<PhotoLibrary> library, AssetRecord record);

    MediaType mediaType() const { return record_.mediaType; }
    double creationDate() const { return record_.creationDate; }  // seconds since 1970
    double modificationDate() const { return record_.modificationDate; }
    int pixelWidth() const;
    int pixelHeight() const;
    bool hasAdjustments() const { return record_.adjustment.has_value(); }

    // Asks for the asset's content-editing input: the unedited original to edit, with the
    // current edit's adjustment data when the options' canHandleAdjustmentData accepts it. The
    // completion runs later on the main queue, never inside this call. Returns an identifier
    // for cancelContentEditingInputRequest.
    using ContentEditingInputHandler = std::function<void(
        std::shared_ptr<const ContentEditingInput> input, const ContentEditingInputInfo& info)>;
    ContentEditingInputRequestID requestContentEditingInputWithOptions(
        const ContentEditingInputRequestOptions* options,
        ContentEditingInputHandler completionHandler) const;
    // The completion of a cancelled request is not called.
    void cancelContentEditingInputRequest(ContentEditingInputRequestID requestID) const;

    // The stored record and the library it came from, for the image manager and editing.
    const AssetRecord& record() const { return record_; }
    const std::shared_ptr<PhotoLibrary>& photoLibrary() const { return library_; }

  private:
    std::shared_ptr<PhotoLibrary> library_;
    AssetRecord record_;
};
using AssetRef = std::shared_ptr<const Asset>;

}  // namespace hx::photos

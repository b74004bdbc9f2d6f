// Asset::requestContentEditingInputWithOptions: the input is put together on the global queue
// and handed over on the main queue.

#include <atomic>
#include <filesystem>
#include <mutex>
#include <unordered_map>

#include "platform/log/Log.h"
#include "platform/photos/editing/ContentEditingInput.h"
#include "platform/photos/fetch/Asset.h"
#include "platform/photos/library/PhotoLibrary.h"
#include "platform/photos/store/LibraryStore.h"
#include "platform/runloop/DispatchQueue.h"

namespace hx::photos {
namespace {

struct Requests {
    std::mutex mutex;
    std::unordered_map<ContentEditingInputRequestID, std::shared_ptr<std::atomic<bool>>> cancelled;
    std::atomic<ContentEditingInputRequestID> next{1};
};

Requests& requests() {
    static Requests* const instance = new Requests;
    return *instance;
}

std::shared_ptr<const ContentEditingInput> makeInput(
    const std::shared_ptr<PhotoLibrary>& library, const std::string& identifier,
    const std::function<bool(const AdjustmentData&)>& canHandle, ContentEditingInputInfo& info) {
    LibraryStore* store = library ? library->store() : nullptr;
    if (!store) {
        info.error = PhotosError{PhotosErrorCode::LibraryUnavailable,
                                 "the asset's photo library is not open"};
        return nullptr;
    }
    // The asset as it is now: it may have been edited since it was fetched.
    auto record = store->asset(identifier);
    if (!record) {
        info.error = PhotosError{PhotosErrorCode::IdentifierNotFound,
                                 "no asset with identifier " + identifier};
        return nullptr;
    }
    std::string path = store->originalPath(*record);
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) {
        hxLog("photo library: the file of asset %s is missing: %s", identifier.c_str(),
              path.c_str());
        info.error = PhotosError{PhotosErrorCode::InvalidResource,
                                 "the file of asset " + identifier + " is missing"};
        return nullptr;
    }
    std::shared_ptr<const AdjustmentData> adjustment;
    if (record->adjustment && canHandle) {
        auto data = std::make_shared<const AdjustmentData>(record->adjustment->formatIdentifier,
                                                           record->adjustment->formatVersion,
                                                           record->adjustment->data);
        if (canHandle(*data)) adjustment = std::move(data);
    }
    return std::make_shared<const ContentEditingInput>(std::move(*record), std::move(path),
                                                       std::move(adjustment));
}

}  // namespace

ContentEditingInputRequestID Asset::requestContentEditingInputWithOptions(
    const ContentEditingInputRequestOptions* options,
    ContentEditingInputHandler completionHandler) const {
    Requests& all = requests();
    ContentEditingInputRequestID id = all.next.fetch_add(1);
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    {
        std::lock_guard lock(all.mutex);
        all.cancelled[id] = cancelled;
    }
    std::function<bool(const AdjustmentData&)> canHandle =
        options ? options->canHandleAdjustmentData : nullptr;
    DispatchQueue::global().async([library = library_, identifier = localIdentifier(), canHandle,
                                   cancelled, id, handler = std::move(completionHandler)] {
        auto info = std::make_shared<ContentEditingInputInfo>();
        auto input = makeInput(library, identifier, canHandle, *info);
        DispatchQueue::main().async([input, info, cancelled, id, handler] {
            {
                Requests& all = requests();
                std::lock_guard lock(all.mutex);
                all.cancelled.erase(id);
            }
            if (*cancelled || !handler) return;
            handler(input, *info);
        });
    });
    return id;
}

void Asset::cancelContentEditingInputRequest(ContentEditingInputRequestID requestID) const {
    Requests& all = requests();
    std::lock_guard lock(all.mutex);
    auto found = all.cancelled.find(requestID);
    if (found != all.cancelled.end()) *found->second = true;
}

}  // namespace hx::photos

#pragma once
// One committed change transaction of the photo library, as a change observer receives it.
// Ask it how it changed a fetch result you hold; the answer compares your result with the same
// fetch run again, counting only the objects this transaction touched, so that each change's
// details describe that change even when later ones have already been committed.
//
// Threads: immutable and cheap to copy; any thread may use it, for instance in a block
// dispatched to the main queue.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/photos/fetch/Asset.h"
#include "platform/photos/fetch/AssetCollection.h"
#include "platform/photos/fetch/FetchResultChangeDetails.h"
#include "platform/photos/store/StoreRecords.h"

namespace hx::photos {

class Change {
  public:
    // `complete` is false when the change log no longer held what happened (this program was
    // not listening for a long time); details then report no incremental changes.
    Change(int64_t transaction, std::vector<LoggedChange> changes, bool complete);

    // Null when the change did not touch the result.
    std::shared_ptr<const FetchResultChangeDetails<Asset>> changeDetailsForFetchResult(
        const FetchResult<Asset>& fetchResult) const;
    std::shared_ptr<const FetchResultChangeDetails<AssetCollection>> changeDetailsForFetchResult(
        const FetchResult<AssetCollection>& fetchResult) const;

    // The transaction's number in the library's change log.
    int64_t transaction() const;
    bool isComplete() const;
    // What the transaction did, object by object.
    const std::vector<LoggedChange>& loggedChanges() const;

  private:
    struct Data;
    std::shared_ptr<const Data> data_;
};

}  // namespace hx::photos

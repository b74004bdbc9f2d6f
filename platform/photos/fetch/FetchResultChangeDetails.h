#pragma once
// How one change transaction changed a fetch result: the result before and after, and which
// objects were removed (indexes into the result before), inserted and changed (indexes into the
// result after). Objects keep their relative order, so there are no moves; when the change
// could not be worked out object by object, hasIncrementalChanges is false and only the result
// after is meaningful.
//
// Threads: immutable.

#include <cstddef>
#include <vector>

#include "platform/photos/fetch/FetchResult.h"

namespace hx::photos {

template <class T>
class FetchResultChangeDetails {
  public:
    using ObjectRef = std::shared_ptr<const T>;

    struct Contents {
        FetchResult<T> before;
        FetchResult<T> after;
        bool incremental = true;
        std::vector<size_t> removed;
        std::vector<size_t> inserted;
        std::vector<size_t> changed;
    };
    explicit FetchResultChangeDetails(Contents contents) : c_(std::move(contents)) {}

    const FetchResult<T>& fetchResultBeforeChanges() const { return c_.before; }
    const FetchResult<T>& fetchResultAfterChanges() const { return c_.after; }
    bool hasIncrementalChanges() const { return c_.incremental; }
    bool hasMoves() const { return false; }

    // Ascending indexes.
    const std::vector<size_t>& removedIndexes() const { return c_.removed; }
    const std::vector<size_t>& insertedIndexes() const { return c_.inserted; }
    const std::vector<size_t>& changedIndexes() const { return c_.changed; }

    std::vector<ObjectRef> removedObjects() const { return pick(c_.before, c_.removed); }
    std::vector<ObjectRef> insertedObjects() const { return pick(c_.after, c_.inserted); }
    std::vector<ObjectRef> changedObjects() const { return pick(c_.after, c_.changed); }

  private:
    static std::vector<ObjectRef> pick(const FetchResult<T>& result,
                                       const std::vector<size_t>& indexes) {
        std::vector<ObjectRef> objects;
        for (size_t i : indexes) objects.push_back(result.objectAtIndex(i));
        return objects;
    }

    Contents c_;
};

}  // namespace hx::photos

#pragma once
// The answer to a fetch: an ordered list of assets or asset collections as they were when the
// fetch ran. It does not change when the library does; a change observer gets the newer result
// from the change details (Change::changeDetailsForFetchResult). Copies are cheap and share
// the same objects.
//
// Threads: immutable, so any thread may read one.

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "platform/photos/fetch/FetchQuery.h"

namespace hx::photos {

namespace detail {

template <class T>
struct FetchSnapshot {
    std::shared_ptr<PhotoLibrary> library;
    typename QueryFor<T>::Type query;
    std::vector<std::shared_ptr<const T>> objects;
    std::vector<OrderKey> keys;
};

}  // namespace detail

template <class T>
class FetchResult {
  public:
    using ObjectRef = std::shared_ptr<const T>;
    static constexpr size_t npos = static_cast<size_t>(-1);

    // An empty result that belongs to no fetch.
    FetchResult() = default;
    explicit FetchResult(std::shared_ptr<const detail::FetchSnapshot<T>> snapshot)
        : snapshot_(std::move(snapshot)) {}

    size_t count() const { return snapshot_ ? snapshot_->objects.size() : 0; }
    bool empty() const { return count() == 0; }
    // Null for an index past the end.
    ObjectRef objectAtIndex(size_t index) const {
        return index < count() ? snapshot_->objects[index] : nullptr;
    }
    ObjectRef firstObject() const { return objectAtIndex(0); }
    ObjectRef lastObject() const { return empty() ? nullptr : objectAtIndex(count() - 1); }
    // Calls `block` for each object in order until it sets *stop.
    void enumerateObjectsUsingBlock(
        const std::function<void(const ObjectRef& object, size_t index, bool* stop)>& block) const {
        bool stop = false;
        for (size_t i = 0; i < count() && !stop; ++i) block(snapshot_->objects[i], i, &stop);
    }
    // By local identifier; npos when absent.
    size_t indexOfObject(const T& object) const {
        for (size_t i = 0; i < count(); ++i) {
            if (snapshot_->objects[i]->localIdentifier() == object.localIdentifier()) return i;
        }
        return npos;
    }
    bool containsObject(const T& object) const { return indexOfObject(object) != npos; }

    const std::vector<ObjectRef>& objects() const {
        static const std::vector<ObjectRef> none;
        return snapshot_ ? snapshot_->objects : none;
    }
    auto begin() const { return objects().begin(); }
    auto end() const { return objects().end(); }

    // The fetch behind the result, for working out change details.
    const std::shared_ptr<const detail::FetchSnapshot<T>>& snapshot() const { return snapshot_; }

  private:
    std::shared_ptr<const detail::FetchSnapshot<T>> snapshot_;
};

namespace detail {

// Runs the query now and keeps it with its answer.
template <class T>
FetchResult<T> fetch(const std::shared_ptr<PhotoLibrary>& library,
                     typename QueryFor<T>::Type query) {
    auto snapshot = std::make_shared<FetchSnapshot<T>>();
    FetchedObjects<T> fetched = runQuery(library, query);
    snapshot->library = library;
    snapshot->query = std::move(query);
    snapshot->objects = std::move(fetched.objects);
    snapshot->keys = std::move(fetched.keys);
    return FetchResult<T>(std::move(snapshot));
}

}  // namespace detail
}  // namespace hx::photos

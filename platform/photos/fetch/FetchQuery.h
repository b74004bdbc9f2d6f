#pragma once
// What a fetch asked for, kept with its result so that the same question can be asked again
// after a change (see Change), and the keys that order the answer. Internal to the library:
// callers make fetches through Asset and AssetCollection.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/photos/store/StoreRecords.h"

namespace hx::photos {

class Asset;
class AssetCollection;
class PhotoLibrary;
struct FetchOptions;

namespace detail {

// Where an object stands in its fetch result: results are ordered by (number, text, sequence),
// ascending or descending as a whole.
struct OrderKey {
    double number = 0;
    std::string text;
    int64_t sequence = 0;
};

struct AssetFetchQuery {
    AssetQuery query;  // limitedSelectionOnly is decided when the query runs
};

struct CollectionFetchQuery {
    bool albums = true;
    bool userLibrary = false;
    AlbumQuery query;
    // Only collections holding this asset (the user library holds every asset).
    std::string containingAsset;
};

template <class T>
struct QueryFor;
template <>
struct QueryFor<Asset> {
    using Type = AssetFetchQuery;
};
template <>
struct QueryFor<AssetCollection> {
    using Type = CollectionFetchQuery;
};

template <class T>
struct FetchedObjects {
    std::vector<std::shared_ptr<const T>> objects;
    std::vector<OrderKey> keys;
};

// Runs the query against the library now, within what the library's authorisation lets this
// program see.
FetchedObjects<Asset> runQuery(const std::shared_ptr<PhotoLibrary>& library,
                               const AssetFetchQuery& query);
FetchedObjects<AssetCollection> runQuery(const std::shared_ptr<PhotoLibrary>& library,
                                         const CollectionFetchQuery& query);

bool isDescending(const AssetFetchQuery& query);
bool isDescending(const CollectionFetchQuery& query);
// Whether `a` comes before `b` in a result ordered this way.
bool precedes(const OrderKey& a, const OrderKey& b, bool descending);

// The order the options ask for; unknown keys are logged and ignored.
void applyOptions(const FetchOptions* options, AssetQuery& query);
void applyOptions(const FetchOptions* options, AlbumQuery& query);

}  // namespace detail
}  // namespace hx::photos

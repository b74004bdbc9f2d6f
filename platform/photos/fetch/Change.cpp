#include "platform/photos/fetch/Change.h"

#include <unordered_map>
#include <unordered_set>

#include "platform/photos/store/LocalIdentifier.h"

namespace hx::photos {

// For each object the transaction touched: whether the object itself changed (as opposed to
// only coming or going, or moving in or out of an album).
struct Change::Data {
    int64_t transaction = 0;
    std::vector<LoggedChange> changes;
    bool complete = true;
    std::unordered_map<std::string, bool> touchedAssets;
    std::unordered_map<std::string, bool> touchedCollections;
};

namespace {

bool isAsset(const std::string& identifier) {
    return identifier.find(kAssetIdentifierSuffix) != std::string::npos;
}

template <class T>
std::shared_ptr<const FetchResultChangeDetails<T>> detailsFor(
    bool complete, const std::unordered_map<std::string, bool>& touched,
    const FetchResult<T>& before) {
    using Details = FetchResultChangeDetails<T>;
    const auto& snapshot = before.snapshot();
    if (!snapshot) return nullptr;
    auto current = detail::runQuery(snapshot->library, snapshot->query);

    auto after = std::make_shared<detail::FetchSnapshot<T>>();
    after->library = snapshot->library;
    after->query = snapshot->query;
    if (!complete) {
        after->objects = std::move(current.objects);
        after->keys = std::move(current.keys);
        typename Details::Contents contents;
        contents.before = before;
        contents.after = FetchResult<T>(std::move(after));
        contents.incremental = false;
        return std::make_shared<const Details>(std::move(contents));
    }

    std::unordered_map<std::string, size_t> beforeIndex;
    for (size_t i = 0; i < snapshot->objects.size(); ++i) {
        beforeIndex.emplace(snapshot->objects[i]->localIdentifier(), i);
    }
    std::unordered_set<std::string> currentIds;
    bool relevant = false;
    for (const auto& object : current.objects) {
        currentIds.insert(object->localIdentifier());
        relevant = relevant || touched.count(object->localIdentifier());
    }
    for (const auto& object : snapshot->objects) {
        relevant = relevant || touched.count(object->localIdentifier());
    }
    if (!relevant) return nullptr;

    // The result after this transaction: what the fetch finds now, less what later
    // transactions added, plus what later transactions took away.
    bool descending = detail::isDescending(snapshot->query);
    size_t i = 0, j = 0;
    auto takeCurrent = [&](size_t k) {
        const std::string& id = current.objects[k]->localIdentifier();
        return touched.count(id) || beforeIndex.count(id);
    };
    auto keepBefore = [&](size_t k) {
        const std::string& id = snapshot->objects[k]->localIdentifier();
        return !touched.count(id) && !currentIds.count(id);
    };
    while (i < current.objects.size() || j < snapshot->objects.size()) {
        if (i < current.objects.size() && !takeCurrent(i)) {
            ++i;
            continue;
        }
        if (j < snapshot->objects.size() && !keepBefore(j)) {
            ++j;
            continue;
        }
        bool fromCurrent = j >= snapshot->objects.size() ||
                           (i < current.objects.size() &&
                            !detail::precedes(snapshot->keys[j], current.keys[i], descending));
        if (fromCurrent) {
            after->objects.push_back(current.objects[i]);
            after->keys.push_back(current.keys[i]);
            ++i;
        } else {
            after->objects.push_back(snapshot->objects[j]);
            after->keys.push_back(snapshot->keys[j]);
            ++j;
        }
    }

    typename Details::Contents contents;
    std::unordered_set<std::string> afterIds;
    for (const auto& object : after->objects) afterIds.insert(object->localIdentifier());
    std::vector<std::string> keptBefore, keptAfter;
    for (size_t k = 0; k < snapshot->objects.size(); ++k) {
        const std::string& id = snapshot->objects[k]->localIdentifier();
        if (afterIds.count(id)) {
            keptBefore.push_back(id);
        } else {
            contents.removed.push_back(k);
        }
    }
    for (size_t k = 0; k < after->objects.size(); ++k) {
        const std::string& id = after->objects[k]->localIdentifier();
        if (!beforeIndex.count(id)) {
            contents.inserted.push_back(k);
            continue;
        }
        keptAfter.push_back(id);
        auto found = touched.find(id);
        if (found != touched.end() && found->second) contents.changed.push_back(k);
    }
    contents.incremental = keptBefore == keptAfter;
    if (contents.incremental && contents.removed.empty() && contents.inserted.empty() &&
        contents.changed.empty()) {
        return nullptr;
    }
    contents.before = before;
    contents.after = FetchResult<T>(std::move(after));
    return std::make_shared<const Details>(std::move(contents));
}

}  // namespace

Change::Change(int64_t transaction, std::vector<LoggedChange> changes, bool complete) {
    auto data = std::make_shared<Data>();
    data->transaction = transaction;
    data->complete = complete;
    bool assetsCameOrWent = false;
    for (const LoggedChange& change : changes) {
        if (isAsset(change.object)) {
            bool& itself = data->touchedAssets[change.object];
            itself = itself || change.kind == ChangeKind::Updated;
            assetsCameOrWent = assetsCameOrWent || change.kind == ChangeKind::Inserted ||
                               change.kind == ChangeKind::Deleted;
        } else {
            bool& itself = data->touchedCollections[change.object];
            itself = itself || change.kind == ChangeKind::Updated ||
                     change.kind == ChangeKind::MembershipChanged;
        }
    }
    // The user library holds every asset, so it changes whenever assets come or go.
    if (assetsCameOrWent) data->touchedCollections[AssetCollection::kUserLibraryIdentifier] = true;
    data->changes = std::move(changes);
    data_ = std::move(data);
}

std::shared_ptr<const FetchResultChangeDetails<Asset>> Change::changeDetailsForFetchResult(
    const FetchResult<Asset>& fetchResult) const {
    return detailsFor(data_->complete, data_->touchedAssets, fetchResult);
}

std::shared_ptr<const FetchResultChangeDetails<AssetCollection>>
Change::changeDetailsForFetchResult(const FetchResult<AssetCollection>& fetchResult) const {
    return detailsFor(data_->complete, data_->touchedCollections, fetchResult);
}

int64_t Change::transaction() const {
    return data_->transaction;
}

bool Change::isComplete() const {
    return data_->complete;
}

const std::vector<LoggedChange>& Change::loggedChanges() const {
    return data_->changes;
}

}  // namespace hx::photos

#include "platform/photos/fetch/FetchQuery.h"

#include <algorithm>
#include <tuple>
#include <unordered_map>

#include "platform/log/Log.h"
#include "platform/photos/fetch/Asset.h"
#include "platform/photos/fetch/AssetCollection.h"
#include "platform/photos/fetch/FetchOptions.h"
#include "platform/photos/library/PhotoLibrary.h"
#include "platform/photos/store/LibraryStore.h"

namespace hx::photos::detail {
namespace {

const SortDescriptor* firstDescriptor(const FetchOptions* options) {
    if (!options || options->sortDescriptors.empty()) return nullptr;
    if (options->sortDescriptors.size() > 1) {
        hxLog("photo library: only the first sort descriptor (%s) orders a fetch",
              options->sortDescriptors.front().key.c_str());
    }
    return &options->sortDescriptors.front();
}

SortOrder direction(const SortDescriptor& descriptor) {
    return descriptor.ascending ? SortOrder::Ascending : SortOrder::Descending;
}

}  // namespace

void applyOptions(const FetchOptions* options, AssetQuery& query) {
    const SortDescriptor* descriptor = firstDescriptor(options);
    if (!descriptor) return;
    if (descriptor->key == "creationDate") {
        query.order = AssetOrder::CreationDate;
        query.direction = direction(*descriptor);
    } else {
        hxLog("photo library: assets cannot be sorted by \"%s\"", descriptor->key.c_str());
    }
}

void applyOptions(const FetchOptions* options, AlbumQuery& query) {
    const SortDescriptor* descriptor = firstDescriptor(options);
    if (!descriptor) return;
    if (descriptor->key == "creationDate" || descriptor->key == "startDate") {
        query.order = AlbumOrder::CreationDate;
    } else if (descriptor->key == "localizedTitle" || descriptor->key == "title") {
        query.order = AlbumOrder::Title;
    } else {
        hxLog("photo library: collections cannot be sorted by \"%s\"", descriptor->key.c_str());
        return;
    }
    query.direction = direction(*descriptor);
}

bool isDescending(const AssetFetchQuery& query) {
    return query.query.direction == SortOrder::Descending;
}

bool isDescending(const CollectionFetchQuery& query) {
    return query.query.direction == SortOrder::Descending;
}

bool precedes(const OrderKey& a, const OrderKey& b, bool descending) {
    auto ka = std::tie(a.number, a.text, a.sequence);
    auto kb = std::tie(b.number, b.text, b.sequence);
    return descending ? kb < ka : ka < kb;
}

FetchedObjects<Asset> runQuery(const std::shared_ptr<PhotoLibrary>& library,
                               const AssetFetchQuery& fetch) {
    FetchedObjects<Asset> fetched;
    if (!library || !library->store()) return fetched;
    AssetQuery query = fetch.query;
    switch (library->readAccess()) {
        case PhotoLibrary::ReadAccess::None:
            return fetched;
        case PhotoLibrary::ReadAccess::Limited:
            query.limitedSelectionOnly = true;
            break;
        case PhotoLibrary::ReadAccess::Full:
            break;
    }
    std::vector<AssetRecord> records = library->store()->queryAssets(query);

    std::unordered_map<std::string, size_t> requested;
    if (query.scope == AssetQuery::Scope::Identifiers) {
        for (size_t i = 0; i < query.identifiers.size(); ++i) {
            requested.emplace(query.identifiers[i], i);
        }
    }
    fetched.objects.reserve(records.size());
    fetched.keys.reserve(records.size());
    for (AssetRecord& record : records) {
        OrderKey key;
        if (query.order == AssetOrder::CreationDate) {
            key.number = record.creationDate;
            key.text = record.localIdentifier;
        } else if (query.scope == AssetQuery::Scope::Album) {
            key.number = double(record.albumPosition);
        } else if (query.scope == AssetQuery::Scope::Identifiers) {
            key.number = double(requested[record.localIdentifier]);
        } else {
            key.number = double(record.addedOrder);
        }
        fetched.keys.push_back(std::move(key));
        fetched.objects.push_back(std::make_shared<const Asset>(library, std::move(record)));
    }
    return fetched;
}

FetchedObjects<AssetCollection> runQuery(const std::shared_ptr<PhotoLibrary>& library,
                                         const CollectionFetchQuery& fetch) {
    FetchedObjects<AssetCollection> fetched;
    if (!library || !library->store()) return fetched;
    PhotoLibrary::ReadAccess access = library->readAccess();
    if (access == PhotoLibrary::ReadAccess::None) return fetched;

    auto keyFor = [&](const AlbumRecord& album) {
        OrderKey key;
        switch (fetch.query.order) {
            case AlbumOrder::Created:
                key.number = double(album.createdOrder);
                break;
            case AlbumOrder::CreationDate:
                key.number = album.creationDate;
                key.sequence = album.createdOrder;
                break;
            case AlbumOrder::Title:
                key.text = album.title;
                key.sequence = album.createdOrder;
                break;
        }
        return key;
    };
    bool wantsLibrary = fetch.userLibrary;
    if (fetch.query.identifiers) {
        wantsLibrary =
            wantsLibrary &&
            std::find(fetch.query.identifiers->begin(), fetch.query.identifiers->end(),
                      AssetCollection::kUserLibraryIdentifier) != fetch.query.identifiers->end();
    }
    if (fetch.query.title && *fetch.query.title != AssetCollection::kUserLibraryTitle) {
        wantsLibrary = false;
    }
    if (wantsLibrary) {
        auto collection = AssetCollection::userLibrary(
            library, library->store()->countAssets(access == PhotoLibrary::ReadAccess::Limited));
        OrderKey key = keyFor(collection->record());
        fetched.keys.push_back(key);
        fetched.objects.push_back(std::move(collection));
    }
    if (fetch.albums) {
        for (AlbumRecord& album : library->store()->queryAlbums(fetch.query)) {
            fetched.keys.push_back(keyFor(album));
            fetched.objects.push_back(
                std::make_shared<const AssetCollection>(library, std::move(album)));
        }
    }
    // The user library went first; put it where the order says.
    if (wantsLibrary && fetched.objects.size() > 1) {
        bool descending = isDescending(fetch);
        size_t position = 1;
        while (position < fetched.keys.size() &&
               precedes(fetched.keys[position], fetched.keys[0], descending)) {
            ++position;
        }
        std::rotate(fetched.objects.begin(), fetched.objects.begin() + 1,
                    fetched.objects.begin() + long(position));
        std::rotate(fetched.keys.begin(), fetched.keys.begin() + 1,
                    fetched.keys.begin() + long(position));
    }
    return fetched;
}

}  // namespace hx::photos::detail

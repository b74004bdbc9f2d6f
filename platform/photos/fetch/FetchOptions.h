#pragma once
// How a fetch orders its results. Assets sort by "creationDate"; asset collections by
// "creationDate" or "localizedTitle" ("title" works too). Only the first sort descriptor counts;
// an unknown key is logged and the default order used: for assets the order they came into the
// library (in an album: the album's order; for identifiers: the order asked for), for
// collections the order they were made, the user library first.

#include <string>
#include <vector>

namespace hx::photos {

struct SortDescriptor {
    std::string key;
    bool ascending = true;

    static SortDescriptor sortDescriptorWithKey(std::string key, bool ascending) {
        return {std::move(key), ascending};
    }
};

struct FetchOptions {
    std::vector<SortDescriptor> sortDescriptors;
};

}  // namespace hx::photos

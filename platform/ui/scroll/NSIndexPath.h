#pragma once
// The position of an item in a sectioned list: section, then item (row) within it. Ordered by
// section, then item.
//
// Threads: a value type.

#include <compare>
#include <cstdint>

namespace hx {

using NSInteger = std::int64_t;

struct NSIndexPath {
    NSInteger section = 0;
    NSInteger item = 0;

    // indexPathForItem:inSection: and indexPathForRow:inSection:
    static NSIndexPath indexPathForItem(NSInteger item, NSInteger section) {
        return {section, item};
    }
    static NSIndexPath indexPathForRow(NSInteger row, NSInteger section) { return {section, row}; }
    NSInteger row() const { return item; }

    friend auto operator<=>(const NSIndexPath&, const NSIndexPath&) = default;
};

}  // namespace hx

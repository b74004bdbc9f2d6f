// Any bytes as the editing extension's adjustment data (a keyed archive in a binary property
// list, read back when a photo is edited again): a row of the grid or nothing, never a crash.
#include <cstdint>
#include <vector>

#include "editing/FilterAdjustment.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const auto row = hx::editing::unarchiveFilterRow(bytes);
    // What it reads, written again, reads back the same.
    if (row && hx::editing::unarchiveFilterRow(hx::editing::archiveFilterRow(*row)) != row)
        __builtin_trap();
    return 0;
}

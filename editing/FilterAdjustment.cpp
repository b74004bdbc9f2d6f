#include "editing/FilterAdjustment.h"

#include <cstring>
#include <limits>

#include <plist/plist.h>

namespace hx::editing {

namespace {

constexpr const char* kArchiverName = "NSKeyedArchiver";
constexpr uint64_t kArchiveVersion = 100000;

// Frees a property list when it goes out of scope.
struct PlistHolder {
    plist_t node = nullptr;
    ~PlistHolder() {
        if (node) plist_free(node);
    }
};

// The string's bytes with their stored length: a string with a NUL inside is read as it is
// (plist_get_string_val asserts on one, which would end the program on damaged data).
std::optional<std::string> stringOf(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    if (!text) return std::nullopt;
    return std::string(text, length);
}

}  // namespace

std::vector<uint8_t> archiveFilterRow(int32_t row) {
    PlistHolder root{plist_new_dict()};
    plist_dict_set_item(root.node, "$version", plist_new_uint(kArchiveVersion));
    plist_dict_set_item(root.node, "$archiver", plist_new_string(kArchiverName));
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(1));
    plist_dict_set_item(root.node, "$top", top);
    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    // A negative row is stored as the 64-bit two's complement property lists use for negative
    // integers.
    plist_array_append_item(objects, plist_new_uint(uint64_t(int64_t(row))));
    plist_dict_set_item(root.node, "$objects", objects);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root.node, &bytes, &length);
    if (!bytes) return {};
    std::vector<uint8_t> out(bytes, bytes + length);
    plist_to_bin_free(bytes);
    return out;
}

std::optional<int32_t> unarchiveFilterRow(const std::vector<uint8_t>& bytes) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    PlistHolder root;
    plist_from_memory(reinterpret_cast<const char*>(bytes.data()), uint32_t(bytes.size()),
                      &root.node);
    if (!root.node || plist_get_node_type(root.node) != PLIST_DICT) return std::nullopt;
    if (stringOf(plist_dict_get_item(root.node, "$archiver")) != kArchiverName) return std::nullopt;
    plist_t top = plist_dict_get_item(root.node, "$top");
    plist_t rootReference =
        top && plist_get_node_type(top) == PLIST_DICT ? plist_dict_get_item(top, "root") : nullptr;
    plist_t objects = plist_dict_get_item(root.node, "$objects");
    if (!rootReference || plist_get_node_type(rootReference) != PLIST_UID || !objects ||
        plist_get_node_type(objects) != PLIST_ARRAY)
        return std::nullopt;
    uint64_t index = 0;
    plist_get_uid_val(rootReference, &index);
    if (index >= plist_array_get_size(objects)) return std::nullopt;
    plist_t number = plist_array_get_item(objects, uint32_t(index));
    if (!number || plist_get_node_type(number) != PLIST_UINT) return std::nullopt;
    uint64_t value = 0;
    plist_get_uint_val(number, &value);
    const int64_t signedValue = int64_t(value);
    if (signedValue < std::numeric_limits<int32_t>::min() ||
        signedValue > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return int32_t(signedValue);
}

std::shared_ptr<const photos::AdjustmentData> makeAdjustmentData(int32_t row) {
    return std::make_shared<const photos::AdjustmentData>(
        kAdjustmentFormatIdentifier, kAdjustmentFormatVersion, archiveFilterRow(row));
}

}  // namespace hx::editing

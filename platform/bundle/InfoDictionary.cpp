#include "platform/bundle/InfoDictionary.h"

#include <plist/plist.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>

namespace hx {

namespace {

struct PlistDeleter {
    void operator()(void* node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

std::optional<std::string> stringOf(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
    char* text = nullptr;
    plist_get_string_val(node, &text);
    if (!text) return std::nullopt;
    std::string value(text);
    std::free(text);
    return value;
}

std::optional<std::string> scalarText(plist_t node) {
    switch (plist_get_node_type(node)) {
        case PLIST_STRING:
            return stringOf(node);
        case PLIST_BOOLEAN: {
            uint8_t flag = 0;
            plist_get_bool_val(node, &flag);
            return flag ? "true" : "false";
        }
        case PLIST_UINT: {
            uint64_t number = 0;
            plist_get_uint_val(node, &number);
            return std::to_string(number);
        }
        case PLIST_REAL: {
            double number = 0;
            plist_get_real_val(node, &number);
            char text[64];
            std::snprintf(text, sizeof text, "%.17g", number);
            return std::string(text);
        }
        default:
            return std::nullopt;
    }
}

std::string memberText(plist_t dict, const char* key) {
    return stringOf(plist_dict_get_item(dict, key)).value_or("");
}

}  // namespace

std::optional<InfoDictionary> InfoDictionary::fromXml(std::string_view xml, std::string* error) {
    auto fail = [&](const char* why) -> std::optional<InfoDictionary> {
        if (error) *error = why;
        return std::nullopt;
    };
    if (xml.size() > std::numeric_limits<uint32_t>::max()) return fail("file too large");
    if (xml.empty()) return fail("empty file");
    plist_t rootNode = nullptr;
    plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &rootNode);
    PlistPtr root(rootNode);
    if (!root) return fail("not an XML property list");
    if (plist_get_node_type(root.get()) != PLIST_DICT) return fail("root is not a dictionary");

    InfoDictionary info;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(root.get(), &it);
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(root.get(), it, &key, &value);
        if (!key) break;
        if (value) {
            if (auto text = scalarText(value)) info.values_[key] = *text;
        }
        std::free(key);
    }
    std::free(it);

    plist_t items = plist_dict_get_item(root.get(), "UIApplicationShortcutItems");
    if (items && plist_get_node_type(items) == PLIST_ARRAY) {
        for (uint32_t i = 0; i < plist_array_get_size(items); ++i) {
            plist_t item = plist_array_get_item(items, i);
            if (!item || plist_get_node_type(item) != PLIST_DICT) continue;
            ShortcutItem shortcut{memberText(item, "UIApplicationShortcutItemType"),
                                  memberText(item, "UIApplicationShortcutItemTitle"),
                                  memberText(item, "UIApplicationShortcutItemSubtitle"),
                                  memberText(item, "UIApplicationShortcutItemIconType")};
            if (shortcut.type.empty() || shortcut.title.empty()) continue;
            info.shortcutItems_.push_back(std::move(shortcut));
        }
    }
    return info;
}

std::optional<InfoDictionary> InfoDictionary::fromFile(const std::string& path,
                                                       std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot be read";
        return std::nullopt;
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    return fromXml(contents.str(), error);
}

std::optional<std::string> InfoDictionary::value(const std::string& key) const {
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

}  // namespace hx

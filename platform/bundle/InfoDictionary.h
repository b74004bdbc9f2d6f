#pragma once
// The application's information property list ("Info.plist", an XML property list): its
// identity and version, and the quick actions the desktop offers.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hx {

// One entry of UIApplicationShortcutItems.
struct ShortcutItem {
    std::string type;      // UIApplicationShortcutItemType, "<bundle id>.takephoto"
    std::string title;     // UIApplicationShortcutItemTitle
    std::string subtitle;  // UIApplicationShortcutItemSubtitle, empty when absent
    std::string iconType;  // UIApplicationShortcutItemIconType, empty when absent
};

class InfoDictionary {
  public:
    InfoDictionary() = default;

    // The dictionary in `xml`; nothing, with the reason in `error`, when it is not a property
    // list whose root is a dictionary.
    static std::optional<InfoDictionary> fromXml(std::string_view xml, std::string* error);
    static std::optional<InfoDictionary> fromFile(const std::string& path, std::string* error);

    bool empty() const { return values_.empty() && shortcutItems_.empty(); }
    // The top-level entries whose values are strings, numbers (in decimal) or booleans ("true",
    // "false"); arrays, dictionaries, dates and data are left out.
    const std::map<std::string, std::string>& values() const { return values_; }
    std::optional<std::string> value(const std::string& key) const;
    // The quick actions in their order; an item without a type or title is left out.
    const std::vector<ShortcutItem>& shortcutItems() const { return shortcutItems_; }

  private:
    std::map<std::string, std::string> values_;
    std::vector<ShortcutItem> shortcutItems_;
};

}  // namespace hx

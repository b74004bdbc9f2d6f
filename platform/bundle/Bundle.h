#pragma once
// The program's resources (images, lookup images, interface files, strings), found by name,
// its localised strings and its information property list.

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/bundle/InfoDictionary.h"
#include "platform/bundle/StringsTable.h"
#include "platform/image/Image.h"

namespace hx {

// Thread-safe. Resources are looked up by file name anywhere below the resource folder:
// $HALIDEX_RESOURCES if set, else the installed share/halidex/resources next to the program,
// else the source tree's resources/ folder.
class Bundle {
  public:
    static Bundle& main();
    explicit Bundle(std::string resourceDirectory);

    const std::string& resourcePath() const { return root_; }
    // Full path of the resource, or nothing when no file of that name exists.
    std::optional<std::string> pathForResource(const std::string& name) const;
    // The decoded image, cached after the first request; null when missing or unreadable.
    image::ImageRef imageNamed(const std::string& name);

    // The text for `key` in the string table `table` ("Localizable" when empty), from
    // "<language>.lproj/<table>.strings" of the first preferred language whose table has the key,
    // then English. A key found nowhere gives `value`, or the key itself when `value` is empty.
    // Each table is read once; a damaged line in it is logged once, with the file and line.
    std::string localizedStringForKey(const std::string& key, const std::string& value = "",
                                      const std::string& table = "");
    // The language folders looked at, best first, "en" among them (see
    // languagesFromEnvironment); read from the environment on first use.
    std::vector<std::string> preferredLanguages();
    // The languages that LANGUAGE (a colon-separated list), then the first set of LC_ALL,
    // LC_MESSAGES and LANG ask for: "de_AT.UTF-8@euro" gives "de_AT", "de-AT", "de". "C" and
    // "POSIX" ask for none. "en" is added last when none of them asked for it.
    static std::vector<std::string> languagesFromEnvironment();

    // The information property list "Info.plist" of the resources, read once; empty (and
    // logged) when it is missing or damaged.
    const InfoDictionary& infoDictionary();
    // A top-level text, number or boolean of the information property list, as text.
    std::optional<std::string> objectForInfoDictionaryKey(const std::string& key);
    // The quick actions the information property list declares.
    std::vector<ShortcutItem> shortcutItems();

  private:
    void indexFiles() const;
    const strings::Table* stringTable(const std::string& language, const std::string& table);

    std::string root_;
    mutable std::mutex mutex_;
    mutable bool indexed_ = false;
    mutable std::map<std::string, std::string> files_;
    // "<language>.lproj/<file name>" to the full path, for files in language folders.
    mutable std::map<std::string, std::string> localizedFiles_;
    std::map<std::string, image::ImageRef> images_;
    std::optional<std::vector<std::string>> languages_;
    // Loaded tables by "<language>.lproj/<table>.strings"; null for a table that is not there.
    std::map<std::string, std::unique_ptr<strings::Table>> stringTables_;
    std::optional<InfoDictionary> info_;
};

}  // namespace hx

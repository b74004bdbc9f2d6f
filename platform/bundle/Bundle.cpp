#include "platform/bundle/Bundle.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/image/png/PngCodec.h"
#include "platform/log/Log.h"

namespace hx {

namespace fs = std::filesystem;

namespace {

std::string findResourceDirectory() {
    if (const char* env = std::getenv("HALIDEX_RESOURCES"); env && *env) return env;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        fs::path installed = exe.parent_path().parent_path() / "share/halidex/resources";
        if (fs::is_directory(installed, ec)) return installed.string();
    }
    return HX_SOURCE_RESOURCES_DIR;
}

}  // namespace

Bundle& Bundle::main() {
    static Bundle bundle(findResourceDirectory());
    return bundle;
}

Bundle::Bundle(std::string resourceDirectory) : root_(std::move(resourceDirectory)) {}

void Bundle::indexFiles() const {
    if (indexed_) return;
    indexed_ = true;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const fs::path& path = it->path();
        files_.emplace(path.filename().string(), path.string());
        const std::string folder = path.parent_path().filename().string();
        if (folder.size() > 6 && folder.ends_with(".lproj"))
            localizedFiles_.emplace(folder + "/" + path.filename().string(), path.string());
    }
    if (ec) hxLog("Cannot read resources in %s: %s", root_.c_str(), ec.message().c_str());
}

std::optional<std::string> Bundle::pathForResource(const std::string& name) const {
    std::lock_guard lock(mutex_);
    indexFiles();
    auto it = files_.find(name);
    if (it == files_.end()) return std::nullopt;
    return it->second;
}

image::ImageRef Bundle::imageNamed(const std::string& name) {
    {
        std::lock_guard lock(mutex_);
        if (auto it = images_.find(name); it != images_.end()) return it->second;
    }
    auto path = pathForResource(name);
    if (!path) {
        hxLog("Image \"%s\" not found in %s", name.c_str(), root_.c_str());
        return nullptr;
    }
    std::string error;
    image::ImageRef image = image::readPng(*path, &error);
    if (!image) {
        hxLog("Image \"%s\" cannot be read: %s", name.c_str(), error.c_str());
        return nullptr;
    }
    std::lock_guard lock(mutex_);
    images_.emplace(name, image);
    return image;
}

namespace {

// "de_AT.UTF-8@euro" as "de_AT", "de-AT", "de"; nothing for "C", "POSIX" and empty text.
void addLanguagesOfLocale(std::string locale, std::vector<std::string>& out) {
    if (auto cut = locale.find_first_of(".@"); cut != std::string::npos) locale.resize(cut);
    if (locale.empty() || locale == "C" || locale == "POSIX") return;
    auto add = [&](const std::string& name) {
        if (name.empty()) return;
        for (const auto& existing : out)
            if (existing == name) return;
        out.push_back(name);
    };
    const auto separator = locale.find_first_of("_-");
    if (separator != std::string::npos) {
        std::string underscored = locale, dashed = locale;
        underscored[separator] = '_';
        dashed[separator] = '-';
        add(underscored);
        add(dashed);
    }
    add(locale.substr(0, separator));
}

}  // namespace

std::vector<std::string> Bundle::languagesFromEnvironment() {
    std::vector<std::string> languages;
    if (const char* list = std::getenv("LANGUAGE"); list && *list) {
        std::string text = list;
        for (size_t start = 0; start <= text.size();) {
            size_t end = text.find(':', start);
            if (end == std::string::npos) end = text.size();
            addLanguagesOfLocale(text.substr(start, end - start), languages);
            start = end + 1;
        }
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* locale = std::getenv(name);
        if (!locale || !*locale) continue;
        addLanguagesOfLocale(locale, languages);
        break;
    }
    if (std::find(languages.begin(), languages.end(), "en") == languages.end())
        languages.push_back("en");
    return languages;
}

std::vector<std::string> Bundle::preferredLanguages() {
    std::lock_guard lock(mutex_);
    if (!languages_) languages_ = languagesFromEnvironment();
    return *languages_;
}

const strings::Table* Bundle::stringTable(const std::string& language, const std::string& table) {
    const std::string name = language + ".lproj/" + table + ".strings";
    if (auto it = stringTables_.find(name); it != stringTables_.end()) return it->second.get();
    indexFiles();
    std::unique_ptr<strings::Table> loaded;
    if (auto file = localizedFiles_.find(name); file != localizedFiles_.end()) {
        loaded = std::make_unique<strings::Table>(strings::parseFile(file->second));
        for (const auto& problem : loaded->problems) {
            hxLog("Strings file %s line %d: %s", file->second.c_str(), problem.line,
                  problem.message.c_str());
        }
    }
    return stringTables_.emplace(name, std::move(loaded)).first->second.get();
}

std::string Bundle::localizedStringForKey(const std::string& key, const std::string& value,
                                          const std::string& table) {
    const std::vector<std::string> languages = preferredLanguages();
    const std::string tableName = table.empty() ? "Localizable" : table;
    std::lock_guard lock(mutex_);
    for (const auto& language : languages) {
        const strings::Table* strings = stringTable(language, tableName);
        if (!strings) continue;
        if (auto it = strings->entries.find(key); it != strings->entries.end()) return it->second;
    }
    return value.empty() ? key : value;
}

const InfoDictionary& Bundle::infoDictionary() {
    {
        std::lock_guard lock(mutex_);
        if (info_) return *info_;
    }
    InfoDictionary loaded;
    if (auto path = pathForResource("Info.plist")) {
        std::string error;
        if (auto info = InfoDictionary::fromFile(*path, &error))
            loaded = std::move(*info);
        else
            hxLog("Information property list %s: %s", path->c_str(), error.c_str());
    } else {
        hxLog("Information property list Info.plist not found in %s", root_.c_str());
    }
    std::lock_guard lock(mutex_);
    if (!info_) info_ = std::move(loaded);
    return *info_;
}

std::optional<std::string> Bundle::objectForInfoDictionaryKey(const std::string& key) {
    return infoDictionary().value(key);
}

std::vector<ShortcutItem> Bundle::shortcutItems() {
    return infoDictionary().shortcutItems();
}

}  // namespace hx

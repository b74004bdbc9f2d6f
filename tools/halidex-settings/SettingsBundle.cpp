#include "tools/halidex-settings/SettingsBundle.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>

#include <ini.h>

#include "platform/paths/FileAccess.h"

namespace hx::settings {

namespace {

// A bundle lists a few preferences; anything far larger is not one.
constexpr size_t kMaxBundleBytes = size_t{1} << 20;

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<bool> parseSwitch(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "on" || lower == "yes" || lower == "true" || lower == "1") return true;
    if (lower == "off" || lower == "no" || lower == "false" || lower == "0") return false;
    return std::nullopt;
}

// Checks a finished section; the problem, or empty when it is complete.
std::string finish(Preference& preference, bool hasTitle, bool hasType,
                   std::optional<std::string> defaultText) {
    if (!hasTitle) return "has no title";
    if (!hasType) return "has no type";
    if (!defaultText) return "has no default";
    if (preference.kind == Preference::Kind::Folder) {
        if (!preference.choices.empty()) return "is a folder but lists choices";
        // Empty: the standard place; the file system is not asked about a default.
        if (!defaultText->empty() && defaultText->front() != '/')
            return "has a default that is not empty or an absolute path";
        preference.defaultValue = DefaultsValue(*defaultText);
        return {};
    }
    if (preference.kind == Preference::Kind::Switch) {
        if (!preference.choices.empty()) return "is a switch but lists choices";
        auto value = parseSwitch(*defaultText);
        if (!value) return "has a default that is not on or off";
        preference.defaultValue = *value;
        return {};
    }
    if (preference.choices.empty()) return "is a choice but lists no choices";
    std::string error;
    auto value = preference.valueFromText(*defaultText, &error);
    if (!value) return "has a default that is not one of its choices";
    preference.defaultValue = *value;
    return {};
}

namespace fs = std::filesystem;

// Whether this user can make files in an existing folder: a file is made and removed again,
// which also answers for read-only mounts and for a user the permission bits do not stop.
std::string cannotWriteInto(const fs::path& folder) {
    std::string probe = (folder / ".halidex-settings-XXXXXX").string();
    int fd = ::mkstemp(probe.data());
    if (fd < 0) return "cannot write into " + folder.string() + ": " + std::strerror(errno);
    ::close(fd);
    ::unlink(probe.c_str());
    return {};
}

// An absolute, normalised folder path from what the user typed; the problem otherwise.
std::optional<std::string> folderFromText(std::string_view text, std::string* problem) {
    std::string path(text);
    if (path == "~" || path.starts_with("~/")) {
        const char* home = std::getenv("HOME");
        if (!home || *home != '/') {
            *problem = "\"~\" cannot be expanded: HOME is not set";
            return std::nullopt;
        }
        path = home + path.substr(1);
    }
    if (path.empty() || path.front() != '/') {
        *problem = "\"" + path + "\" is not an absolute path";
        return std::nullopt;
    }
    fs::path folder = fs::path(path).lexically_normal();
    if (folder.has_relative_path() && !folder.has_filename()) folder = folder.parent_path();
    // The folder itself when it exists, else the nearest folder above it that does, in which
    // the missing ones will be made.
    std::error_code ignored;
    fs::path existing = folder;
    while (!fs::exists(fs::symlink_status(existing, ignored)) && existing.has_relative_path())
        existing = existing.parent_path();
    if (!fs::is_directory(existing, ignored)) {
        *problem = existing.string() + " exists and is not a folder";
        return std::nullopt;
    }
    if (std::string cannot = cannotWriteInto(existing); !cannot.empty()) {
        *problem = cannot;
        return std::nullopt;
    }
    return folder.string();
}

}  // namespace

std::optional<DefaultsValue> Preference::valueFromText(std::string_view text,
                                                       std::string* error) const {
    text = trim(text);
    if (kind == Kind::Folder) {
        if (text.empty()) return DefaultsValue(std::string());
        std::string problem;
        if (auto folder = folderFromText(text, &problem)) return DefaultsValue(*folder);
        if (error) {
            *error = key + " (" + title + "): " + problem + "; use " + allowedValues() +
                     "; nothing was changed";
        }
        return std::nullopt;
    }
    if (kind == Kind::Switch) {
        if (auto value = parseSwitch(text)) return DefaultsValue(*value);
    } else if (auto number = parseInteger(text)) {
        for (const Choice& choice : choices)
            if (choice.value == *number) return DefaultsValue(*number);
    }
    if (error) {
        std::string message(1, '"');
        message.append(text).append("\" is not allowed for ").append(key);
        message.append(" (").append(title).append("): use ").append(allowedValues());
        *error = std::move(message);
    }
    return std::nullopt;
}

std::string Preference::describe(const DefaultsValue& value) const {
    if (kind == Kind::Folder) {
        const std::string path = value.stringValue();
        if (value.type() != DefaultsValue::Type::String || (!path.empty() && path.front() != '/'))
            return path + " (not an absolute path; the standard place is used)";
        if (!path.empty()) return path;
        return standardPlace.empty() ? "the standard place"
                                     : standardPlace + " (the standard place)";
    }
    if (kind == Kind::Switch) return value.boolValue() ? "on" : "off";
    std::int64_t number = value.integerValue();
    for (const Choice& choice : choices)
        if (choice.value == number) return std::to_string(number) + " (" + choice.title + ")";
    return std::to_string(number) + " (not one of the choices)";
}

std::string Preference::text(const DefaultsValue& value) const {
    if (kind == Kind::Folder) return isStandardPlace(value) ? standardPlace : value.stringValue();
    if (kind == Kind::Switch) return value.boolValue() ? "on" : "off";
    return std::to_string(value.integerValue());
}

bool Preference::isStandardPlace(const DefaultsValue& value) const {
    return kind == Kind::Folder && value.type() == DefaultsValue::Type::String &&
           value.stringValue().empty();
}

std::string Preference::allowedValues() const {
    if (kind == Kind::Folder)
        return "an absolute path to a folder this user can write into, or \"\" for the standard "
               "place";
    if (kind == Kind::Switch) return "on or off";
    std::string text;
    for (size_t i = 0; i < choices.size(); ++i) {
        if (i > 0) text += i + 1 == choices.size() ? " or " : ", ";
        text += std::to_string(choices[i].value);
    }
    return text;
}

const Preference* SettingsBundle::find(std::string_view key) const {
    for (const Preference& preference : preferences)
        if (preference.key == key) return &preference;
    return nullptr;
}

namespace {

// Feeds the text to inih one line at a time (inih's reader interface), counting lines so that
// messages can name them, and noting the section headers in order, as inih reports a section
// only with its first setting and a preference without settings must still be seen.
struct LineFeed {
    std::string_view text;
    int line = 0;
    int tooLong = 0;  // the first line longer than inih's line buffer
    std::vector<std::pair<std::string, int>> headers;
};

char* feedLine(char* buffer, int size, void* stream) {
    LineFeed& feed = *static_cast<LineFeed*>(stream);
    if (feed.text.empty()) return nullptr;
    const size_t end = feed.text.find('\n');
    std::string_view line = feed.text.substr(0, end == std::string_view::npos ? end : end + 1);
    feed.text.remove_prefix(line.size());
    ++feed.line;
    if (line.size() >= static_cast<size_t>(size)) {
        if (feed.tooLong == 0) feed.tooLong = feed.line;
        line = "\n";
    }
    // A heading is "[name]", with anything after the ']' ignored, as inih reads it.
    if (std::string_view heading = trim(line); heading.starts_with('[')) {
        if (size_t close = heading.find(']'); close != std::string_view::npos)
            feed.headers.emplace_back(trim(heading.substr(1, close - 1)), feed.line);
    }
    line.copy(buffer, line.size());
    buffer[line.size()] = '\0';
    return buffer;
}

class BundleReader {
  public:
    explicit BundleReader(const LineFeed& feed) : feed_(feed) {}

    static int handle(void* user, const char*, const char* name, const char* value) {
        return static_cast<BundleReader*>(user)->setting(name, value) ? 1 : 0;
    }

    // After the last line: the sections still open, then the bundle as a whole.
    std::optional<SettingsBundle> result(int parseResult, std::string* error) {
        // inih's own complaints (a line that is no setting) come first when they come earlier.
        if (parseResult > 0 && (problem_.empty() || parseResult < problemLine_))
            failAt(parseResult, "expected \"name = value\" or a [preference] heading");
        if (feed_.tooLong > 0 && (problem_.empty() || feed_.tooLong < problemLine_))
            failAt(feed_.tooLong, "the line is too long");
        if (problem_.empty()) openHeadings();
        if (problem_.empty()) closeSection();
        if (problem_.empty() && bundle_.preferences.empty()) problem_ = "no preferences";
        if (!problem_.empty()) {
            if (error) *error = problem_;
            return std::nullopt;
        }
        return std::move(bundle_);
    }

  private:
    bool setting(std::string_view name, std::string_view value) {
        if (!problem_.empty()) return false;  // only the first mistake is reported
        if (!openHeadings()) return false;
        if (!current_) return failHere("a setting outside any [preference] section");
        if (name == "title") {
            current_->title = value;
            hasTitle_ = true;
        } else if (name == "type") {
            if (value == "choice")
                current_->kind = Preference::Kind::Choice;
            else if (value == "switch")
                current_->kind = Preference::Kind::Switch;
            else if (value == "folder")
                current_->kind = Preference::Kind::Folder;
            else
                return failHere("type is choice, switch or folder");
            hasType_ = true;
        } else if (name == "default") {
            defaultText_ = std::string(value);
        } else if (name.starts_with("choice ")) {
            auto number = parseInteger(trim(name.substr(7)));
            if (!number) return failHere("\"choice\" is followed by an integer");
            for (const Choice& choice : current_->choices)
                if (choice.value == *number) return failHere("choice listed twice");
            current_->choices.push_back({*number, std::string(value)});
        } else {
            return failHere("unknown setting \"" + std::string(name) + "\"");
        }
        return true;
    }

    // Starts a preference for every heading read since the last setting.
    bool openHeadings() {
        for (; opened_ < feed_.headers.size(); ++opened_) {
            const auto& [key, line] = feed_.headers[opened_];
            if (!closeSection()) return false;
            if (key.empty()) return failAt(line, "empty section name");
            if (bundle_.find(key)) return failAt(line, "preference " + key + " appears twice");
            bundle_.preferences.emplace_back();
            bundle_.preferences.back().key = key;
            current_ = &bundle_.preferences.back();
            hasTitle_ = hasType_ = false;
            defaultText_.reset();
        }
        return true;
    }

    bool closeSection() {
        if (!current_) return true;
        std::string problem = finish(*current_, hasTitle_, hasType_, defaultText_);
        current_ = nullptr;
        if (problem.empty()) return true;
        problem_ = "preference " + bundle_.preferences.back().key + " " + problem;
        problemLine_ = feed_.line;
        return false;
    }

    bool failHere(const std::string& message) { return failAt(feed_.line, message); }
    bool failAt(int line, const std::string& message) {
        problem_ = "line " + std::to_string(line) + ": " + message;
        problemLine_ = line;
        return false;
    }

    const LineFeed& feed_;
    SettingsBundle bundle_;
    size_t opened_ = 0;
    Preference* current_ = nullptr;
    bool hasTitle_ = false, hasType_ = false;
    std::optional<std::string> defaultText_;
    std::string problem_;
    int problemLine_ = 0;
};

}  // namespace

std::optional<SettingsBundle> SettingsBundle::parse(std::string_view text, std::string* error) {
    LineFeed feed;
    feed.text = text;
    BundleReader reader(feed);
    const int result = ini_parse_stream(&feedLine, &feed, &BundleReader::handle, &reader);
    return reader.result(result, error);
}

std::optional<SettingsBundle> SettingsBundle::load(const std::string& path, std::string* error) {
    std::string text;
    paths::ReadFailure failure;
    if (!paths::readWholeFile(path, text, &failure, kMaxBundleBytes)) {
        if (error) *error = failure.message;
        return std::nullopt;
    }
    std::string problem;
    auto bundle = parse(text, &problem);
    if (!bundle && error) *error = path + ": " + problem;
    return bundle;
}

}  // namespace hx::settings

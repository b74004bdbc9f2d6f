#include "platform/paths/SettingFile.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "platform/paths/FileAccess.h"
#include "platform/paths/Paths.h"

namespace hx::paths {
namespace {

namespace fs = std::filesystem;

// A setting is one word; a file far longer than that is not a setting.
constexpr size_t kMaxSettingBytes = 4096;

void setError(std::string* error, std::string message) {
    if (error) *error = std::move(message);
}

}  // namespace

std::string settingWord(std::string text) {
    auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    text.erase(text.begin(), std::find_if(text.begin(), text.end(), notSpace));
    text.erase(std::find_if(text.rbegin(), text.rend(), notSpace).base(), text.end());
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return c == '_' ? '-' : static_cast<char>(std::tolower(c));
    });
    return text;
}

std::optional<std::string> readSettingWord(const std::string& path, std::string* error) {
    std::string text;
    ReadFailure failure;
    if (!readWholeFile(path, text, &failure, kMaxSettingBytes)) {
        if (!failure.missing) setError(error, std::move(failure.message));
        return std::nullopt;
    }
    return settingWord(std::move(text));
}

std::optional<std::string> environmentSettingWord(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return settingWord(value);
}

bool writeSettingWord(const std::string& path, const std::string& word, std::string* error) {
    const fs::path target(path);
    if (target.has_parent_path() && !ensureDirectory(target.parent_path().string(), error))
        return false;
    return writeFileAtomically(path, word + "\n", error);
}

bool removeSetting(const std::string& path, std::string* error) {
    std::error_code failure;
    fs::remove(path, failure);
    if (failure) setError(error, "cannot remove " + path + ": " + failure.message());
    return !failure;
}

}  // namespace hx::paths

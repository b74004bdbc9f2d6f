#include "platform/paths/SettingFile.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/paths/Paths.h"

namespace hx::paths {
namespace {

namespace fs = std::filesystem;

// A setting is one word; anything longer is not one and need not be read whole.
constexpr std::streamsize kMaxSettingBytes = 256;

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
    std::error_code missing;
    if (!fs::exists(path, missing)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::string text(size_t(kMaxSettingBytes), '\0');
    if (in) in.read(text.data(), kMaxSettingBytes);
    if (!in && !in.eof()) {
        setError(error, "cannot read " + path);
        return std::nullopt;
    }
    text.resize(size_t(in.gcount()));
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
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << word << '\n';
        out.flush();
        if (!out) {
            setError(error, "cannot write " + temporary);
            return false;
        }
    }
    std::error_code failure;
    fs::rename(temporary, target, failure);
    if (failure) {
        setError(error, "cannot replace " + path + ": " + failure.message());
        fs::remove(temporary, failure);
        return false;
    }
    return true;
}

bool removeSetting(const std::string& path, std::string* error) {
    std::error_code failure;
    fs::remove(path, failure);
    if (failure) setError(error, "cannot remove " + path + ": " + failure.message());
    return !failure;
}

}  // namespace hx::paths

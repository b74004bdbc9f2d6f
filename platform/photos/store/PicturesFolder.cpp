#include "platform/photos/store/PicturesFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/defaults/UserDefaults.h"
#include "platform/log/Log.h"

namespace hx::photos {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// XDG_PICTURES_DIR="$HOME/Pictures" or an absolute path; empty when the file does not say.
std::string picturesFromUserDirs(const std::string& file, const std::string& home) {
    std::ifstream in(file);
    std::string found;
    for (std::string line; std::getline(in, line);) {
        const std::string key = "XDG_PICTURES_DIR=";
        if (line.compare(0, key.size(), key) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() < 2 || value.front() != '"' || value.back() != '"') continue;
        value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0) {
            value = home + value.substr(5);
        } else if (value.empty() || value.front() != '/') {
            continue;
        }
        while (value.size() > 1 && value.back() == '/') value.pop_back();
        // A folder equal to home means the user has no pictures folder.
        found = value == home ? std::string() : value;
    }
    return found;
}

}  // namespace

std::string picturesFolder() {
    if (std::string root = environment("HALIDEX_HOME"); !root.empty()) {
        std::string found = picturesFromUserDirs(root + "/config/user-dirs.dirs", root);
        return found.empty() ? root + "/Pictures" : found;
    }
    std::string home = environment("HOME");
    std::string config = environment("XDG_CONFIG_HOME");
    if (config.empty()) config = home + "/.config";
    std::string found = picturesFromUserDirs(config + "/user-dirs.dirs", home);
    return found.empty() ? home + "/Pictures" : found;
}

std::string standardCameraFolder() {
    return picturesFolder() + "/" + kCameraFolderName;
}

std::string chosenCameraFolder() {
    // Read afresh each time: halidex-settings writes the file from another process.
    UserDefaults camera(kCameraDefaults);
    auto value = camera.objectForKey(kLibraryFolderKey);
    if (!value) return {};
    std::string path = value->stringValue();
    if (value->type() != DefaultsValue::Type::String || (!path.empty() && path.front() != '/')) {
        hxLog("photo library: %s in %s is not an absolute path; new photos go to %s",
              kLibraryFolderKey, camera.filePath().c_str(), standardCameraFolder().c_str());
        return {};
    }
    if (path.empty()) return {};
    std::filesystem::path folder = std::filesystem::path(path).lexically_normal();
    if (folder.has_relative_path() && !folder.has_filename()) folder = folder.parent_path();
    return folder.string();
}

std::string cameraFolder() {
    std::string chosen = chosenCameraFolder();
    return chosen.empty() ? standardCameraFolder() : chosen;
}

}  // namespace hx::photos

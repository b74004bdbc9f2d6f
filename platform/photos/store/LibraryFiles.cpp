#include "platform/photos/store/LibraryFiles.h"

#include <cctype>
#include <filesystem>

#include "platform/image/FileIO.h"
#include "platform/log/Log.h"
#include "platform/paths/Paths.h"

namespace hx::photos {
namespace {

std::string lowercase(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::string LibraryFiles::pathIn(const char* area, const std::string& fileName) const {
    return folder_ + "/" + area + "/" + lowercase(fileName.substr(0, 2)) + "/" + fileName;
}

std::string LibraryFiles::originalPath(const std::string& fileName) const {
    return pathIn(kOriginalsFolder, fileName);
}

std::string LibraryFiles::renderPath(const std::string& fileName) const {
    return pathIn(kRendersFolder, fileName);
}

bool LibraryFiles::write(const std::string& path, const std::vector<uint8_t>& bytes,
                         std::string* error) const {
    std::string folder = std::filesystem::path(path).parent_path().string();
    std::string message;
    if (!paths::ensureDirectory(folder, &message) ||
        !image::writeFileAtomically(path, bytes.data(), bytes.size(), &message)) {
        hxLog("photo library: cannot write %@: %@", path.c_str(), message.c_str());
        if (error) *error = "cannot write " + path + ": " + message;
        return false;
    }
    return true;
}

void LibraryFiles::remove(const std::string& path) const {
    std::error_code error;
    std::filesystem::remove(path, error);
    if (error) hxLog("photo library: cannot remove %@: %@", path.c_str(), error.message().c_str());
}

bool LibraryFiles::isTemporaryName(const std::string& fileName) {
    return !fileName.empty() && fileName[0] == '.' && fileName.find(".tmp-") != std::string::npos;
}

std::string LibraryFiles::nameInArea(const char* area, const std::string& path) const {
    std::string name = std::filesystem::path(path).filename().string();
    if (name.empty() || pathIn(area, name) != path) return {};
    return name;
}

}  // namespace hx::photos

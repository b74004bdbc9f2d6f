#include "platform/photos/store/LibraryFiles.h"

#include <cctype>
#include <cstdio>
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

std::string LibraryFiles::originalPath(const std::string& fileName,
                                       const std::string& relocated) const {
    if (!relocated.empty()) {
        if (auto path = pathInside(relocated)) return *path;
    }
    return originalPath(fileName);
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

std::optional<std::string> LibraryFiles::pathInside(const std::string& relative) const {
    std::filesystem::path path(relative);
    if (relative.empty() || path.is_absolute()) return std::nullopt;
    for (const auto& part : path) {
        if (part == ".." || part == ".") return std::nullopt;
    }
    return folder_ + "/" + relative;
}

std::string LibraryFiles::relativePath(const std::string& path) const {
    std::string prefix = folder_ + "/";
    if (path.compare(0, prefix.size(), prefix) != 0) return {};
    std::string relative = path.substr(prefix.size());
    return pathInside(relative) ? relative : std::string();
}

namespace {

constexpr uint64_t kFnvOffset = 0xcbf29ce484222325ull;
constexpr uint64_t kFnvPrime = 0x100000001b3ull;

void hashInto(uint64_t& hash, const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= kFnvPrime;
    }
}

std::string hashText(uint64_t hash) {
    char text[32];
    std::snprintf(text, sizeof text, "fnv1a64:%016llx", static_cast<unsigned long long>(hash));
    return text;
}

}  // namespace

std::string LibraryFiles::contentHash(const std::vector<uint8_t>& bytes) {
    uint64_t hash = kFnvOffset;
    hashInto(hash, bytes.data(), bytes.size());
    return hashText(hash);
}

std::string LibraryFiles::contentHashOfFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return {};
    uint64_t hash = kFnvOffset;
    std::vector<uint8_t> chunk(1 << 16);
    size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), file)) > 0)
        hashInto(hash, chunk.data(), n);
    bool failed = std::ferror(file);
    std::fclose(file);
    return failed ? std::string() : hashText(hash);
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

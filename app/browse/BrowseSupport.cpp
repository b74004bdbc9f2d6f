#include "app/browse/BrowseSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/image/PropertyDictionary.h"
#include "platform/image/metadata/ImageMetadata.h"
#include "platform/paths/Paths.h"

namespace hx::app {

namespace {

constexpr size_t kMaxNameBytes = 100;
constexpr int kMaxAttempts = 10000;

std::optional<image::metadata::FileKind> fileKind(const std::vector<uint8_t>& file) {
    using image::metadata::FileKind;
    if (file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF)
        return FileKind::Jpeg;
    if (file.size() >= 8 && std::memcmp(file.data(), "\x89PNG\r\n\x1a\n", 8) == 0)
        return FileKind::Png;
    if (file.size() >= 4 &&
        (std::memcmp(file.data(), "II*\0", 4) == 0 || std::memcmp(file.data(), "MM\0*", 4) == 0))
        return FileKind::Tiff;
    return std::nullopt;
}

bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string sanitizedFileName(std::string_view name, std::string_view fallbackExtension) {
    // Only the last path component counts.
    if (auto slash = name.find_last_of('/'); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    std::string safe;
    for (char c : name) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        safe += kept ? c : '_';
    }
    while (!safe.empty() && safe.front() == '.') safe.erase(safe.begin());
    bool meaningful = false;
    for (char c : safe) meaningful = meaningful || (c != '_' && c != '.');
    if (!meaningful) return "photo" + std::string(fallbackExtension);
    if (safe.size() > kMaxNameBytes) {
        const auto dot = safe.find_last_of('.');
        std::string extension =
            dot != std::string::npos && safe.size() - dot <= 10 ? safe.substr(dot) : "";
        safe = safe.substr(0, kMaxNameBytes - extension.size()) + extension;
    }
    return safe;
}

std::optional<std::string> writeNewFile(const std::string& folder, const std::string& name,
                                        const std::vector<uint8_t>& bytes, std::string* error) {
    namespace fs = std::filesystem;
    auto fail = [&](std::string message) -> std::optional<std::string> {
        if (error) *error = std::move(message);
        return std::nullopt;
    };
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) return fail("cannot make the folder " + folder);
    const fs::path given(name);
    const std::string stem = given.stem().string(), extension = given.extension().string();
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        const std::string candidate =
            attempt == 1 ? name : stem + "-" + std::to_string(attempt) + extension;
        const std::string path = (fs::path(folder) / candidate).string();
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return fail("cannot create " + path + ": " + std::strerror(errno));
        }
        bool written = writeAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
        struct stat info {};
        written = written && ::fstat(fd, &info) == 0 &&
                  static_cast<uint64_t>(info.st_size) == bytes.size();
        const int saved = errno;
        written = ::close(fd) == 0 && written;
        if (!written) {
            ::unlink(path.c_str());
            return fail("cannot write " + path + ": " + std::strerror(saved));
        }
        return path;
    }
    return fail("no free file name for " + name + " in " + folder);
}

bool hasLocation(const std::vector<uint8_t>& file) {
    if (!fileKind(file)) return false;
    auto properties = image::metadata::readMetadata(file.data(), file.size(), nullptr);
    return properties && !properties->dictionary(image::kCGImagePropertyGPSDictionary).empty();
}

std::optional<std::vector<uint8_t>> withoutLocation(const std::vector<uint8_t>& file,
                                                    std::string* error) {
    auto kind = fileKind(file);
    if (!kind) {
        if (error) *error = "only JPEG, TIFF and PNG files can lose their location";
        return std::nullopt;
    }
    auto properties = image::metadata::readMetadata(file.data(), file.size(), error);
    if (!properties) return std::nullopt;
    properties->remove(image::kCGImagePropertyGPSDictionary);
    std::vector<uint8_t> copy = file;
    if (!image::metadata::writeMetadata(copy, *kind, *properties, error)) return std::nullopt;
    return copy;
}

std::string shareFolder() {
    return (std::filesystem::path(paths::cacheDirectory()) / "camera-tmp" / "shared").string();
}

}  // namespace hx::app

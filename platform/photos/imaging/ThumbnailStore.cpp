#include "platform/photos/imaging/ThumbnailStore.h"

#include <filesystem>
#include <functional>
#include <vector>

#include "platform/image/FileIO.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/image/io/ImageSource.h"
#include "platform/log/Log.h"
#include "platform/paths/Paths.h"

namespace hx::photos {

namespace {

constexpr double kThumbnailQuality = 0.85;

// A name for the library's folder of thumbnails: its last component, made safe, and a hash of
// its whole path, so two libraries never share one.
std::string libraryKey(const std::string& libraryFolder) {
    const std::string name = std::filesystem::path(libraryFolder).filename().string();
    std::string safe;
    for (char c : name) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_';
        safe += kept ? c : '_';
    }
    char hash[24];
    std::snprintf(hash, sizeof hash, "%016zx", std::hash<std::string>{}(libraryFolder));
    return safe.substr(0, 40) + "-" + hash;
}

std::string safeIdentifier(const std::string& identifier) {
    std::string safe;
    for (char c : identifier) {
        const bool kept =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        safe += kept ? c : '_';
    }
    return safe;
}

}  // namespace

std::string thumbnailPath(const std::string& libraryFolder, const AssetRecord& asset,
                          bool rendered) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::path(paths::cacheDirectory()) / "thumbnails" / libraryKey(libraryFolder);
    return (folder / (safeIdentifier(asset.localIdentifier) + "-" + std::to_string(asset.revision) +
                      (rendered ? "-r" : "-o") + ".jpg"))
        .string();
}

image::ImageRef readThumbnail(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return nullptr;
    auto source = image::ImageSource::createWithURL(path);
    return source ? source->createImageAtIndex(0) : nullptr;
}

namespace {

image::ImageRef keepThumbnailOf(const std::shared_ptr<image::ImageSource>& source,
                                const std::string& path) {
    image::ImageRef picture =
        source ? source->createThumbnailAtIndex(0, kThumbnailLongSide) : nullptr;
    if (!picture) return nullptr;
    std::vector<uint8_t> bytes;
    auto destination = image::ImageDestination::createWithData(&bytes, "public.jpeg", 1);
    if (!destination) return picture;
    image::PropertyDictionary options;
    options.set(image::kCGImageDestinationLossyCompressionQuality, kThumbnailQuality);
    destination->addImage(picture, options);
    std::string error;
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (!destination->finalize() || !paths::ensureDirectory(folder, &error) ||
        !image::writeFileAtomically(path, bytes.data(), bytes.size(), &error)) {
        hxLog("photo library: cannot keep the thumbnail %s: %s", path.c_str(), error.c_str());
    }
    return picture;
}

}  // namespace

image::ImageRef makeThumbnail(const std::string& photoPath, const std::string& path) {
    return keepThumbnailOf(image::ImageSource::createWithURL(photoPath), path);
}

}  // namespace hx::photos

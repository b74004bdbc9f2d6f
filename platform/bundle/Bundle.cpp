#include "platform/bundle/Bundle.h"

#include <unistd.h>

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
        if (it->is_regular_file(ec))
            files_.emplace(it->path().filename().string(), it->path().string());
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

}  // namespace hx

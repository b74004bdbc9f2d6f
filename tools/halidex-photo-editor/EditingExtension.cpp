#include "tools/halidex-photo-editor/EditingExtension.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace hx::photo_editor {

namespace {

constexpr const char* kExtensionFile = "halidexfilter.so";

}  // namespace

std::string defaultExtensionPath() {
    if (const char* forced = std::getenv("HALIDEX_PHOTO_EDITING_EXTENSION"); forced && *forced)
        return forced;
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const auto installed =
            program.parent_path().parent_path() / "lib" / "halidex" / "extensions" / kExtensionFile;
        if (std::filesystem::exists(installed, error)) return installed.string();
    }
    return std::string(HX_BUILD_EXTENSIONS_DIR) + "/" + kExtensionFile;
}

const photos::PhotoEditingExtension* loadExtension(const std::string& path, std::string* error) {
    // RTLD_NOW: a symbol the extension needs and this program lacks is reported here, not in
    // the middle of an edit.
    // A file name without a folder would otherwise be looked for on the library path, not in
    // the current folder where the user meant it.
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        if (error) *error = "cannot load the extension " + path + ": no such file";
        return nullptr;
    }
    if (!std::filesystem::is_regular_file(path, ec)) {
        if (error) *error = "cannot load the extension " + path + ": not a file";
        return nullptr;
    }
    const std::string absolute = std::filesystem::absolute(path, ec).string();
    void* handle = dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error) *error = "cannot load the extension " + path + ": " + dlerror();
        return nullptr;
    }
    auto entry = reinterpret_cast<photos::PhotoEditingExtensionEntry>(
        dlsym(handle, photos::kPhotoEditingExtensionEntryPoint));
    if (!entry) {
        if (error)
            *error = path + " is not a photo-editing extension: it has no " +
                     photos::kPhotoEditingExtensionEntryPoint;
        return nullptr;
    }
    const photos::PhotoEditingExtension* extension =
        entry(photos::kPhotoEditingExtensionInterfaceVersion);
    if (!extension || !extension->makePrincipal ||
        extension->interfaceVersion != photos::kPhotoEditingExtensionInterfaceVersion) {
        if (error) *error = path + " does not speak this host's interface version";
        return nullptr;
    }
    return extension;
}

}  // namespace hx::photo_editor

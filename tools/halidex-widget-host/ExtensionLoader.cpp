#include "tools/halidex-widget-host/ExtensionLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace hx::widget_host {

namespace fs = std::filesystem;

namespace {

bool fail(std::string* error, std::string message) {
    if (error) *error = std::move(message);
    return false;
}

std::string programFolder() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.parent_path().string();
}

}  // namespace

std::shared_ptr<LoadedExtension> loadExtension(const std::string& path, std::string* error) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) {
        fail(error, "no widget extension at " + path + ": no such file");
        return nullptr;
    }
    if (!fs::is_regular_file(status)) {
        fail(error, path + " is not a widget extension: not a file");
        return nullptr;
    }
    if (::access(path.c_str(), R_OK) != 0) {
        fail(error, path + " cannot be read: permission denied");
        return nullptr;
    }
    // An absolute path keeps the loader from searching the library path for it.
    const std::string absolute = fs::absolute(path, ec).string();
    void* handle = ::dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = ::dlerror();
        fail(error, path + " is not a widget extension that can be loaded: " +
                        (reason ? reason : "unknown reason"));
        return nullptr;
    }
    auto entry = reinterpret_cast<hxWidgetExtensionMainFunction>(
        ::dlsym(handle, HX_WIDGET_EXTENSION_MAIN_SYMBOL));
    if (!entry) {
        ::dlclose(handle);
        fail(error, path + " is not a widget extension: it has no " +
                        std::string(HX_WIDGET_EXTENSION_MAIN_SYMBOL) + " entry point");
        return nullptr;
    }
    std::shared_ptr<WidgetBundle> bundle(entry());
    if (!bundle) {
        fail(error, path + " gave no widget bundle");
        return nullptr;
    }
    if (bundle->interfaceVersion() != WidgetBundle::kInterfaceVersion) {
        fail(error, path + " was built for widget interface " +
                        std::to_string(bundle->interfaceVersion()) + "; this host runs interface " +
                        std::to_string(WidgetBundle::kInterfaceVersion));
        // Its code must stay loaded while the bundle is destroyed.
        return nullptr;
    }
    auto loaded = std::make_shared<LoadedExtension>();
    loaded->path = path;
    loaded->bundle = std::move(bundle);
    return loaded;
}

std::vector<std::string> extensionFiles(const std::string& folder, std::string* error) {
    std::vector<std::string> files;
    std::error_code ec;
    fs::directory_iterator entries(folder, ec);
    if (ec) {
        fail(error, "cannot read the widget extension folder " + folder + ": " + ec.message());
        return files;
    }
    for (const fs::directory_entry& entry : entries) {
        if (entry.path().extension() == ".so") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) fail(error, "no widget extensions (*.so) in " + folder);
    return files;
}

std::string defaultExtensionFolder() {
    const std::string bin = programFolder();
    if (!bin.empty()) {
        const fs::path installed = fs::path(bin) / ".." / "lib" / "halidex" / "widgets";
        std::error_code ec;
        if (fs::is_directory(installed, ec)) return fs::weakly_canonical(installed, ec).string();
    }
    return HX_BUILD_EXTENSIONS_DIR;
}

}  // namespace hx::widget_host

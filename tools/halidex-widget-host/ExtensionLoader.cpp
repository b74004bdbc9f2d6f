#include "tools/halidex-widget-host/ExtensionLoader.h"

#include <dlfcn.h>
#include <elf.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
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

// The ELF header of a file; false when the file is too short for one.
bool readHeader(const std::string& path, Elf64_Ehdr& header) {
    std::ifstream in(path, std::ios::binary);
    return in.read(reinterpret_cast<char*>(&header), sizeof header) && in.gcount() == sizeof header;
}

// Why the file cannot be a shared library for this machine; empty when it can. The loader
// maps files without reading them whole: a file cut short (an interrupted copy) would load and
// then crash the host when the missing part is first touched, so every part the headers name
// must be in the file before it is loaded.
std::string elfProblem(const std::string& path) {
    Elf64_Ehdr header{};
    if (!readHeader(path, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0)
        return "not a shared library";
    Elf64_Ehdr own{};
    if (!readHeader("/proc/self/exe", own)) own = header;
    if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_machine != own.e_machine)
        return "built for another kind of machine";
    if (header.e_type != ET_DYN) return "not a shared library";
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) return "its size cannot be read";
    auto within = [&](std::uint64_t offset, std::uint64_t length) {
        return offset <= size && length <= size - offset;
    };
    const std::uint64_t programHeaders = std::uint64_t(header.e_phnum) * header.e_phentsize;
    const std::uint64_t sectionHeaders = std::uint64_t(header.e_shnum) * header.e_shentsize;
    if (header.e_phentsize != sizeof(Elf64_Phdr) || !within(header.e_phoff, programHeaders) ||
        !within(header.e_shoff, sectionHeaders))
        return "the file is cut short (" + std::to_string(size) + " bytes)";
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(header.e_phoff));
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr segment{};
        if (!in.read(reinterpret_cast<char*>(&segment), sizeof segment))
            return "the file is cut short (" + std::to_string(size) + " bytes)";
        if (segment.p_type == PT_LOAD && !within(segment.p_offset, segment.p_filesz))
            return "the file is cut short (" + std::to_string(size) + " bytes)";
    }
    return {};
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
    if (const std::string problem = elfProblem(path); !problem.empty()) {
        fail(error, path + " is not a widget extension that can be loaded: " + problem);
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

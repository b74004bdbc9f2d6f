#include "platform/paths/Paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace hx::paths {

namespace fs = std::filesystem;

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : "";
}

std::string homeDirectory() {
    std::string home = environment("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return fs::temp_directory_path().string();
}

// The folder under HALIDEX_HOME, or the XDG variable's value, or the fallback under home.
std::string place(const char* homeSub, const char* xdgVariable, const char* homeFallback) {
    if (std::string root = environment("HALIDEX_HOME"); !root.empty())
        return (fs::path(root) / homeSub).string();
    std::string base = environment(xdgVariable);
    // The XDG rules ignore relative paths.
    if (base.empty() || base[0] != '/') base = (fs::path(homeDirectory()) / homeFallback).string();
    return (fs::path(base) / "halidex").string();
}

}  // namespace

std::string dataDirectory() {
    return place("data", "XDG_DATA_HOME", ".local/share");
}

std::string configDirectory() {
    return place("config", "XDG_CONFIG_HOME", ".config");
}

std::string cacheDirectory() {
    return place("cache", "XDG_CACHE_HOME", ".cache");
}

std::string runtimeDirectory() {
    if (std::string root = environment("HALIDEX_HOME"); !root.empty())
        return (fs::path(root) / "runtime").string();
    std::string base = environment("XDG_RUNTIME_DIR");
    if (!base.empty() && base[0] == '/') return (fs::path(base) / "halidex").string();
    return (fs::temp_directory_path() / ("halidex-" + std::to_string(getuid()))).string();
}

std::string temporaryDirectory() {
    if (std::string root = environment("HALIDEX_HOME"); !root.empty())
        return (fs::path(root) / "tmp").string();
    return (fs::temp_directory_path() / ("halidex-tmp-" + std::to_string(getuid()))).string();
}

bool ensureDirectory(const std::string& path, std::string* error) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) return true;
    fs::create_directories(path, ec);
    if (ec && !fs::is_directory(path)) {
        if (error) *error = ec.message();
        return false;
    }
    ::chmod(path.c_str(), 0700);
    return true;
}

}  // namespace hx::paths

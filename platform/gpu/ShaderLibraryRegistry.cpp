#include "platform/gpu/ShaderLibraryRegistry.h"

#include <map>
#include <mutex>

namespace hx::gpu {

namespace {

struct Entry {
    ShaderLibraryMaker make;
    LibraryRef library;  // made on first use
};

// Function-local, so registrations from static initialisers of other files find it built.
std::map<std::string, Entry>& registry(std::unique_lock<std::mutex>& lock) {
    static std::mutex mutex;
    static std::map<std::string, Entry> entries;
    lock = std::unique_lock(mutex);
    return entries;
}

}  // namespace

void registerShaderLibrary(const std::string& backend, ShaderLibraryMaker make) {
    std::unique_lock<std::mutex> lock;
    registry(lock)[backend] = Entry{std::move(make), nullptr};
}

LibraryRef registeredShaderLibrary(const std::string& backend) {
    std::unique_lock<std::mutex> lock;
    auto& entries = registry(lock);
    auto it = entries.find(backend);
    if (it == entries.end()) return nullptr;
    Entry& entry = it->second;
    if (!entry.library && entry.make) entry.library = entry.make();
    return entry.library;
}

}  // namespace hx::gpu

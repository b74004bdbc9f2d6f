#include "app/shell/ProcessStats.h"

#include <malloc.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/photos/imaging/ImageManager.h"

namespace hx::app {

std::optional<ProcessStats> readProcessStats() {
    // The allocator's free pages go back to the system first, so that resident memory counts
    // what the program holds rather than what the allocator's per-thread heaps keep for reuse
    // (their free bytes are reported apart).
    ::malloc_trim(0);
    std::ifstream status("/proc/self/status");
    if (!status) return std::nullopt;
    ProcessStats stats;
    bool haveMemory = false, haveThreads = false;
    for (std::string line; std::getline(status, line);) {
        std::istringstream fields(line);
        std::string name;
        fields >> name;
        if (name == "VmRSS:") haveMemory = static_cast<bool>(fields >> stats.residentKilobytes);
        if (name == "Threads:") haveThreads = static_cast<bool>(fields >> stats.threads);
    }
    if (!haveMemory || !haveThreads) return std::nullopt;
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end;
         it.increment(ec))
        ++stats.openFiles;
    if (ec) return std::nullopt;
    // The listing's own descriptor was open while it counted.
    --stats.openFiles;
    const struct mallinfo2 heap = ::mallinfo2();
    stats.heapInUseKilobytes = int64_t((heap.uordblks + heap.hblkhd) / 1024);
    stats.heapFreeKilobytes = int64_t(heap.fordblks / 1024);
    stats.pictureCacheKilobytes =
        int64_t(photos::ImageManager::defaultManager().cacheStatistics().bytes / 1024);
    return stats;
}

bool appendProcessStats(const std::string& path) {
    const auto stats = readProcessStats();
    if (!stats) return false;
    std::ofstream out(path, std::ios::app);
    out << "rss_kb=" << stats->residentKilobytes << " threads=" << stats->threads
        << " fds=" << stats->openFiles << " heap_kb=" << stats->heapInUseKilobytes
        << " heap_free_kb=" << stats->heapFreeKilobytes
        << " cache_kb=" << stats->pictureCacheKilobytes << '\n';
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace hx::app

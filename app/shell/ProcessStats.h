#pragma once
// What the running program holds, read from /proc/self once the allocator has handed its free
// pages back to the system: resident memory, threads and open file descriptors, with the
// allocator's heap (in use, and free but kept) and the shared picture cache's bytes, which tell a
// leak from memory that is merely kept for reuse. Soak runs sample it to find leaks.
//
// Threads: any.

#include <cstdint>
#include <optional>
#include <string>

namespace hx::app {

struct ProcessStats {
    int64_t residentKilobytes = 0;
    int threads = 0;
    int openFiles = 0;
    int64_t heapInUseKilobytes = 0;
    int64_t heapFreeKilobytes = 0;
    int64_t pictureCacheKilobytes = 0;
};

// Nothing when /proc/self cannot be read.
std::optional<ProcessStats> readProcessStats();

// Appends "rss_kb=N threads=N fds=N heap_kb=N heap_free_kb=N cache_kb=N" and a newline to the
// file; false when it cannot.
bool appendProcessStats(const std::string& path);

}  // namespace hx::app

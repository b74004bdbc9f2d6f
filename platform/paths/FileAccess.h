#pragma once
// Whole-file reads and atomic whole-file writes, the one way the programs read and replace the
// small and large files they own (settings, defaults, pictures, profiles, interface files).
//
// A write goes to a temporary file with a unique name in the same folder
// (".<name>.tmp-<pid>-<counter>-<random>"), is flushed with fsync, renamed over the target and
// the folder is flushed, so a reader, another writer or a crash at any moment leaves either the
// whole old file or the whole new one, never a torn or empty one. Two writers racing each write
// their own temporary file; the last rename wins.
//
// Threads: no shared state beyond an atomic counter; any thread may call these.

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hx::paths {

// Larger files are refused by default: nothing the programs read whole comes near it.
constexpr size_t kMaxWholeFileBytes = size_t{1} << 31;

struct ReadFailure {
    std::string message;   // "cannot open '<path>': <reason>" and the like
    bool missing = false;  // there is no file at the path (or a folder on the way is missing)
};

// Reads the regular file at `path` whole. False, with the reason in `failure` when given, if it
// cannot be opened or read, is not a regular file or is larger than `maxBytes`. `info`, when
// given, receives the file's fstat() of the opened file.
bool readWholeFile(const std::string& path, std::string& contents, ReadFailure* failure = nullptr,
                   size_t maxBytes = kMaxWholeFileBytes, struct stat* info = nullptr);
bool readWholeFile(const std::string& path, std::vector<uint8_t>& contents,
                   ReadFailure* failure = nullptr, size_t maxBytes = kMaxWholeFileBytes,
                   struct stat* info = nullptr);

// Replaces the file at `path` by `size` bytes in one step, as described above. `mode` is the
// new file's permission bits before the process umask. False with a message when any step
// fails; the old file is then untouched and no temporary file is left behind.
bool writeFileAtomically(const std::string& path, const void* bytes, size_t size,
                         std::string* error = nullptr, mode_t mode = 0666);
inline bool writeFileAtomically(const std::string& path, std::string_view contents,
                                std::string* error = nullptr, mode_t mode = 0666) {
    return writeFileAtomically(path, contents.data(), contents.size(), error, mode);
}

}  // namespace hx::paths

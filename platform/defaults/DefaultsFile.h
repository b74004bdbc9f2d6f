#pragma once
// The file behind a user-defaults store: <config folder>/<store name>.defaults.
//
// Format: UTF-8 text, one setting a line,
//
//     KEY = TYPE VALUE
//
// TYPE is "integer" (64-bit decimal), "float" (32-bit, shortest decimal that reads back
// exactly; also inf, -inf, nan), "boolean" (true or false) or "string" (in double quotes, with
// \" \\ \n \r \t and \uXXXX escapes). A KEY made only of letters, digits, '_', '.' and '-' is
// written bare; any other key is quoted like a string. Blank lines and lines starting with '#'
// are ignored. Writers sort the keys and end every line with a newline, e.g.
//
//     # User defaults of halidex. One setting a line: KEY = TYPE VALUE
//     KEY_EV = float -0.33333334
//     KEY_FILMTYPE = integer 3
//     KEY_GEOTAG = boolean false
//     KEY_VERSION = string "12"
//
// The lines are read by the shared line reader (platform/paths/KeyValueLines.h). Any other line
// (garbage, a line cut short, a NUL byte, a value that is not one of the four types) makes the
// file damaged but spoils only itself: every valid line still counts, and the bad lines are
// named with their numbers. Before a damaged file is next written, it is kept beside as
// "<file>.damaged.1" (then .2, .3, ...; an earlier copy is never replaced), since the rewrite
// drops the bad lines.
//
// Writers take an exclusive flock() on "<file>.lock", read the file again, apply their own
// changes and replace the file atomically (platform/paths/FileAccess.h), so readers (which
// take no lock) always see a whole old or a whole new file.
//
// Threads: free functions without shared state; any thread may call them.

#include <sys/types.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/defaults/DefaultsValue.h"
#include "platform/paths/KeyValueLines.h"

namespace hx::defaults {

using Entries = std::map<std::string, DefaultsValue>;

// Larger files are not defaults files and are refused whole.
constexpr size_t kMaxDefaultsBytes = size_t{16} << 20;

struct ParsedDefaults {
    Entries entries;  // every valid line, the last of a repeated key winning
    bool damaged = false;
    std::vector<paths::BadLine> badLines;
    // The bad lines with their numbers, when damaged.
    std::string problem;
};

ParsedDefaults parseDefaults(std::string_view text);
std::string serializeDefaults(const Entries& entries, std::string_view storeName);

// Tells one version of a file from another, to report a damaged file only once.
struct FileSignature {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modifiedNanoseconds = 0;
    friend bool operator==(const FileSignature&, const FileSignature&) = default;
};

struct DefaultsFileContents {
    bool exists = false;
    // Set when the file exists but cannot be read (entries are then empty) or has bad lines
    // (entries hold the valid ones).
    bool damaged = false;
    std::string problem;
    std::vector<paths::BadLine> badLines;  // empty when the file could not be read at all
    FileSignature signature;
    Entries entries;
};

DefaultsFileContents readDefaultsFile(const std::string& path);

// Holds an exclusive flock() on "<path>.lock" while it lives; the lock file stays, as locking a
// file that is renamed over would lock nothing.
class DefaultsFileLock {
  public:
    explicit DefaultsFileLock(const std::string& path);
    ~DefaultsFileLock();
    DefaultsFileLock(const DefaultsFileLock&) = delete;
    DefaultsFileLock& operator=(const DefaultsFileLock&) = delete;

    bool locked() const { return locked_; }
    const std::string& error() const { return error_; }

  private:
    int fd_ = -1;
    bool locked_ = false;
    std::string error_;
};

// Keeps the file at `path` as the first free "<path>.damaged.N"; the backup's path, or empty
// (with the reason in `error`) when no copy could be made or there is no file.
std::string keepDamagedCopy(const std::string& path, std::string* error = nullptr);

}  // namespace hx::defaults

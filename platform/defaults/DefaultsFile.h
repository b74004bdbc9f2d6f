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
// A file with any other line (garbage, a line cut short, a NUL byte) is damaged and reads as
// empty as a whole: a half-read store could mix old and new values without anyone noticing.
//
// Writers take an exclusive flock() on "<file>.lock", read the file again, apply their own
// changes, write a temporary file, fsync it and rename it over the file, so readers (which
// take no lock) always see a whole old or a whole new file.
//
// Threads: free functions without shared state; any thread may call them.

#include <sys/types.h>

#include <map>
#include <string>
#include <string_view>

#include "platform/defaults/DefaultsValue.h"

namespace hx::defaults {

using Entries = std::map<std::string, DefaultsValue>;

struct ParsedDefaults {
    Entries entries;
    bool damaged = false;
    // What is wrong, with the line number, when damaged.
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
    // Set when the file exists but cannot be read or parsed; entries are then empty.
    bool damaged = false;
    std::string problem;
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

// Replaces the file by the contents in one step: temporary file, fsync, rename, fsync of the
// folder. False with a message when any step fails; the old file is then untouched.
bool writeFileAtomically(const std::string& path, std::string_view contents, std::string* error);

}  // namespace hx::defaults

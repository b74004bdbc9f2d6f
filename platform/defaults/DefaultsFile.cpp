#include "platform/defaults/DefaultsFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

namespace hx::defaults {

namespace {

bool isBareKeyCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '-';
}

bool isBareKey(std::string_view key) {
    if (key.empty()) return false;
    for (char c : key)
        if (!isBareKeyCharacter(c)) return false;
    return true;
}

std::string_view skipBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return text;
}

// Parses "KEY = TYPE VALUE"; the problem when the line is not one.
std::string parseEntry(std::string_view line, Entries& entries) {
    std::string key;
    if (line.front() == '"') {
        std::optional<std::string> quoted = unquoteString(line);
        if (!quoted) return "malformed quoted key";
        key = std::move(*quoted);
    } else {
        size_t length = 0;
        while (length < line.size() && isBareKeyCharacter(line[length])) ++length;
        if (length == 0) return "unexpected character at the start of the line";
        key = line.substr(0, length);
        line.remove_prefix(length);
    }
    line = skipBlanks(line);
    if (line.empty() || line.front() != '=') return "missing '=' after the key";
    std::optional<DefaultsValue> value = DefaultsValue::parse(line.substr(1));
    if (!value) return "value is not one of: integer N, float F, boolean true|false, string \"S\"";
    entries.insert_or_assign(std::move(key), std::move(*value));
    return {};
}

std::string systemError(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

}  // namespace

ParsedDefaults parseDefaults(std::string_view text) {
    ParsedDefaults result;
    if (text.find('\0') != std::string_view::npos) {
        result.damaged = true;
        result.problem = "contains a NUL byte";
        return result;
    }
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = skipBlanks(line);
        if (line.empty() || line.front() == '#') continue;
        if (std::string problem = parseEntry(line, result.entries); !problem.empty()) {
            result.entries.clear();
            result.damaged = true;
            result.problem = "line " + std::to_string(lineNumber) + ": " + problem;
            return result;
        }
    }
    return result;
}

std::string serializeDefaults(const Entries& entries, std::string_view storeName) {
    std::string text = "# User defaults of ";
    text += storeName;
    text += ". One setting a line: KEY = TYPE VALUE\n";
    for (const auto& [key, value] : entries) {
        text += isBareKey(key) ? key : quoteString(key);
        text += " = ";
        text += value.serialized();
        text += '\n';
    }
    return text;
}

DefaultsFileContents readDefaultsFile(const std::string& path) {
    DefaultsFileContents contents;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) {
            contents.exists = true;
            contents.damaged = true;
            contents.problem = std::strerror(errno);
        }
        return contents;
    }
    contents.exists = true;
    struct stat info {};
    if (::fstat(fd, &info) == 0) {
        contents.signature = {
            info.st_dev, info.st_ino, info.st_size,
            static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec};
    }
    std::string text;
    std::vector<char> chunk(16384);
    for (;;) {
        ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            contents.damaged = true;
            contents.problem = std::strerror(errno);
            ::close(fd);
            return contents;
        }
        if (n == 0) break;
        text.append(chunk.data(), static_cast<size_t>(n));
    }
    ::close(fd);
    ParsedDefaults parsed = parseDefaults(text);
    contents.damaged = parsed.damaged;
    contents.problem = std::move(parsed.problem);
    contents.entries = std::move(parsed.entries);
    return contents;
}

DefaultsFileLock::DefaultsFileLock(const std::string& path) {
    std::string lockPath = path + ".lock";
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        error_ = systemError("cannot open", lockPath);
        return;
    }
    int result;
    do {
        result = ::flock(fd_, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        error_ = systemError("cannot lock", lockPath);
        return;
    }
    locked_ = true;
}

DefaultsFileLock::~DefaultsFileLock() {
    // Closing the descriptor releases the lock.
    if (fd_ >= 0) ::close(fd_);
}

bool writeFileAtomically(const std::string& path, std::string_view contents, std::string* error) {
    auto fail = [&](std::string message) {
        if (error) *error = std::move(message);
        return false;
    };
    std::string temporary = path + ".XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return fail(systemError("cannot create a temporary file beside", path));
    bool written = writeAll(fd, contents);
    int savedErrno = errno;
    if (written && ::fsync(fd) != 0) {
        written = false;
        savedErrno = errno;
    }
    if (::close(fd) != 0 && written) {
        written = false;
        savedErrno = errno;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        errno = savedErrno;
        return fail(systemError("cannot write", temporary));
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        savedErrno = errno;
        ::unlink(temporary.c_str());
        errno = savedErrno;
        return fail(systemError("cannot replace", path));
    }
    // The rename itself survives a power cut only once the folder is flushed.
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    int folderFd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

}  // namespace hx::defaults

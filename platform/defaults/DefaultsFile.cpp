#include "platform/defaults/DefaultsFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/paths/FileAccess.h"
#include "platform/paths/KeyValueLines.h"

namespace hx::defaults {

namespace {

std::string systemError(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

}  // namespace

ParsedDefaults parseDefaults(std::string_view text) {
    ParsedDefaults result;
    paths::KeyValueText lines = paths::readKeyValueLines(text);
    result.badLines = std::move(lines.bad);
    for (const paths::KeyValueLine& line : lines.lines) {
        std::optional<DefaultsValue> value = DefaultsValue::parse(line.value);
        if (!value) {
            result.badLines.push_back(
                {line.number,
                 "value is not one of: integer N, float F, boolean true|false, string \"S\""});
            continue;
        }
        result.entries.insert_or_assign(line.key, std::move(*value));
    }
    std::sort(result.badLines.begin(), result.badLines.end(),
              [](const paths::BadLine& a, const paths::BadLine& b) { return a.number < b.number; });
    result.damaged = !result.badLines.empty();
    result.problem = paths::describeBadLines(result.badLines);
    return result;
}

std::string serializeDefaults(const Entries& entries, std::string_view storeName) {
    std::string text = "# User defaults of ";
    text += storeName;
    text += ". One setting a line: KEY = TYPE VALUE\n";
    for (const auto& [key, value] : entries) {
        text += paths::isBareKey(key) ? key : quoteString(key);
        text += " = ";
        text += value.serialized();
        text += '\n';
    }
    return text;
}

DefaultsFileContents readDefaultsFile(const std::string& path) {
    DefaultsFileContents contents;
    std::string text;
    paths::ReadFailure failure;
    struct stat info {};
    const bool read = paths::readWholeFile(path, text, &failure, kMaxDefaultsBytes, &info);
    if (!read && failure.missing) return contents;
    contents.exists = true;
    contents.signature = {
        info.st_dev, info.st_ino, info.st_size,
        static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec};
    if (!read) {
        contents.damaged = true;
        contents.problem = std::move(failure.message);
        return contents;
    }
    ParsedDefaults parsed = parseDefaults(text);
    contents.damaged = parsed.damaged;
    contents.problem = std::move(parsed.problem);
    contents.badLines = std::move(parsed.badLines);
    contents.entries = std::move(parsed.entries);
    return contents;
}

std::string keepDamagedCopy(const std::string& path, std::string* error) {
    for (int number = 1; number < 10000; ++number) {
        std::string backup = path + ".damaged." + std::to_string(number);
        // link() never replaces an existing backup; the file itself is replaced afterwards.
        if (::link(path.c_str(), backup.c_str()) == 0) return backup;
        if (errno == EEXIST) continue;
        if (errno == ENOENT) return {};
        // A file system without hard links: move the file aside instead, still never over an
        // earlier backup.
        if (::access(backup.c_str(), F_OK) != 0 && ::rename(path.c_str(), backup.c_str()) == 0)
            return backup;
        if (error) *error = systemError("cannot keep a copy of", path);
        return {};
    }
    if (error) *error = "too many damaged copies of " + path;
    return {};
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

}  // namespace hx::defaults

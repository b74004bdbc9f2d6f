#include "platform/paths/FileAccess.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <random>

namespace hx::paths {
namespace {

constexpr std::string_view kTemporaryMarker = ".tmp-";

std::string describe(const std::string& what, const std::string& path, int errorNumber) {
    return what + " '" + path + "': " + std::strerror(errorNumber);
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closes now so that a failure to close can be reported.
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

  private:
    int fd_;
};

std::string directoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string temporaryPathFor(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937 random{std::random_device{}()};
    const size_t slash = path.find_last_of('/');
    const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return directory + "." + name + std::string(kTemporaryMarker) + std::to_string(::getpid()) +
           "-" + std::to_string(counter.fetch_add(1)) + "-" + std::to_string(random() % 1000000);
}

bool writeAll(int fd, const char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

template <typename Container>
bool readInto(const std::string& path, Container& contents, ReadFailure* failure, size_t maxBytes,
              struct stat* infoOut) {
    auto fail = [&](std::string message, bool missing = false) {
        if (failure) *failure = {std::move(message), missing};
        return false;
    };
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        const int errorNumber = errno;
        return fail(describe("cannot open", path, errorNumber),
                    errorNumber == ENOENT || errorNumber == ENOTDIR);
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) return fail(describe("cannot read", path, errno));
    if (infoOut) *infoOut = info;
    if (!S_ISREG(info.st_mode)) return fail("cannot read '" + path + "': not a regular file");
    if (static_cast<uint64_t>(info.st_size) > maxBytes) {
        return fail("cannot read '" + path + "': file is too large (" +
                    std::to_string(info.st_size) + " bytes)");
    }
    try {
        contents.resize(static_cast<size_t>(info.st_size));
    } catch (const std::bad_alloc&) {
        return fail("cannot read '" + path + "': out of memory");
    }
    size_t filled = 0;
    while (filled < contents.size()) {
        const ssize_t count = ::read(file.get(), reinterpret_cast<char*>(contents.data()) + filled,
                                     contents.size() - filled);
        if (count < 0) {
            if (errno == EINTR) continue;
            return fail(describe("cannot read", path, errno));
        }
        if (count == 0) break;  // the file shrank while it was read
        filled += static_cast<size_t>(count);
    }
    contents.resize(filled);
    return true;
}

}  // namespace

bool readWholeFile(const std::string& path, std::string& contents, ReadFailure* failure,
                   size_t maxBytes, struct stat* info) {
    return readInto(path, contents, failure, maxBytes, info);
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& contents, ReadFailure* failure,
                   size_t maxBytes, struct stat* info) {
    return readInto(path, contents, failure, maxBytes, info);
}

bool writeFileAtomically(const std::string& path, const void* bytes, size_t size,
                         std::string* error, mode_t mode) {
    auto setError = [&](std::string message) {
        if (error) *error = std::move(message);
        return false;
    };
    if (path.empty()) return setError("cannot write a file with an empty path");
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        temporary = temporaryPathFor(path);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return setError(describe("cannot create a temporary file for", path, errno));
    FileDescriptor file(fd);
    auto fail = [&](const char* what) {
        const int errorNumber = errno;
        ::unlink(temporary.c_str());
        return setError(describe(what, path, errorNumber));
    };
    if (!writeAll(file.get(), static_cast<const char*>(bytes), size)) return fail("cannot write");
    if (::fsync(file.get()) != 0) return fail("cannot flush");
    if (file.close() != 0) return fail("cannot close");
    if (::rename(temporary.c_str(), path.c_str()) != 0) return fail("cannot replace");
    // Make the rename itself durable; the data is already safe if this fails.
    FileDescriptor directory(::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0) ::fsync(directory.get());
    return true;
}

}  // namespace hx::paths

#include "platform/image/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <random>

namespace hx::image {
namespace {

void setError(std::string* error, const std::string& message) {
    if (error != nullptr) *error = message;
}

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
    return directory + "." + name + ".tmp-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + "-" + std::to_string(random() % 1000000);
}

bool writeAll(int fd, const uint8_t* bytes, size_t size) {
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

}  // namespace

bool readFileContents(const std::string& path, std::vector<uint8_t>& contents, std::string* error,
                      size_t maxBytes) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        setError(error, describe("cannot open", path, errno));
        return false;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        setError(error, describe("cannot read", path, errno));
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        setError(error, "cannot read '" + path + "': not a regular file");
        return false;
    }
    if (static_cast<uint64_t>(info.st_size) > maxBytes) {
        setError(error, "cannot read '" + path + "': file is too large (" +
                            std::to_string(info.st_size) + " bytes)");
        return false;
    }
    try {
        contents.resize(static_cast<size_t>(info.st_size));
    } catch (const std::bad_alloc&) {
        setError(error, "cannot read '" + path + "': out of memory");
        return false;
    }
    size_t filled = 0;
    while (filled < contents.size()) {
        const ssize_t count =
            ::read(file.get(), contents.data() + filled, contents.size() - filled);
        if (count < 0) {
            if (errno == EINTR) continue;
            setError(error, describe("cannot read", path, errno));
            return false;
        }
        if (count == 0) break;  // the file shrank while we read it
        filled += static_cast<size_t>(count);
    }
    contents.resize(filled);
    return true;
}

bool writeFileAtomically(const std::string& path, const uint8_t* bytes, size_t size,
                         std::string* error) {
    if (path.empty()) {
        setError(error, "cannot write a file with an empty path");
        return false;
    }
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        temporary = temporaryPathFor(path);
        // The usual mode for new files, narrowed by the process umask.
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        setError(error, describe("cannot create a temporary file for", path, errno));
        return false;
    }
    FileDescriptor file(fd);
    auto fail = [&](const char* what) {
        const int errorNumber = errno;
        ::unlink(temporary.c_str());
        setError(error, describe(what, path, errorNumber));
        return false;
    };
    if (!writeAll(file.get(), bytes, size)) return fail("cannot write");
    if (::fsync(file.get()) != 0) return fail("cannot flush");
    if (file.close() != 0) return fail("cannot close");
    if (::rename(temporary.c_str(), path.c_str()) != 0) return fail("cannot replace");
    // Make the rename itself durable; the data is already safe if this fails.
    FileDescriptor directory(::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0) ::fsync(directory.get());
    return true;
}

}  // namespace hx::image

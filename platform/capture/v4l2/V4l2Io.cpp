#include "platform/capture/v4l2/V4l2Io.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>

namespace hx::capture {

namespace {

// The number after "video" in a node's name, or -1 for other names.
int videoNumber(const std::string& name) {
    if (name.rfind("video", 0) != 0 || name.size() == 5) return -1;
    const std::string digits = name.substr(5);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return std::atoi(digits.c_str());
}

class SystemV4l2Io : public V4l2Io {
  public:
    std::vector<std::string> nodes() override {
        std::vector<int> numbers;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
            const int number = videoNumber(entry.path().filename().string());
            if (number >= 0) numbers.push_back(number);
        }
        std::sort(numbers.begin(), numbers.end());
        std::vector<std::string> out;
        for (int number : numbers) out.push_back("/dev/video" + std::to_string(number));
        if (!out.empty()) return out;
        // Nodes without files: as many as open, in order. Looked for once: opening one is
        // costly there, and such nodes do not come and go.
        std::lock_guard lock(mutex_);
        if (unlisted_) return *unlisted_;
        for (int number = 0; number < 64; ++number) {
            const std::string path = "/dev/video" + std::to_string(number);
            const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) break;
            ::close(fd);
            out.push_back(path);
        }
        unlisted_ = out;
        return out;
    }
    int open(const std::string& path, int flags) override { return ::open(path.c_str(), flags); }
    int close(int fd) override { return ::close(fd); }
    int ioctl(int fd, unsigned long request, void* argument) override {
        return ::ioctl(fd, request, argument);
    }
    void* map(size_t length, int fd, off_t offset) override {
        return ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, offset);
    }
    int unmap(void* address, size_t length) override { return ::munmap(address, length); }
    int poll(pollfd* fds, nfds_t count, int timeoutMilliseconds) override {
        return ::poll(fds, count, timeoutMilliseconds);
    }

  private:
    std::mutex mutex_;
    std::optional<std::vector<std::string>> unlisted_;
};

}  // namespace

std::shared_ptr<V4l2Io> V4l2Io::system() {
    static const std::shared_ptr<V4l2Io> instance = std::make_shared<SystemV4l2Io>();
    return instance;
}

int v4l2Ioctl(V4l2Io& io, int fd, unsigned long request, void* argument) {
    int result;
    do {
        result = io.ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    return result;
}

}  // namespace hx::capture

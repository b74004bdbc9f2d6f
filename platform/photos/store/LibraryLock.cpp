#include "platform/photos/store/LibraryLock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace hx::photos {
namespace {

constexpr long kMaintenanceByte = 0;
constexpr long kConnectionByte = 1;
constexpr long kOpeningByte = 2;

}  // namespace

std::unique_ptr<LibraryLock> LibraryLock::open(const std::string& folder, std::string* error) {
    std::string path = folder + "/" + kFileName;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error) *error = "cannot open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<LibraryLock>(new LibraryLock(fd));
}

LibraryLock::~LibraryLock() {
    ::close(fd_);  // releases every range this file held
}

bool LibraryLock::lockRange(short type, long start, double seconds) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(seconds));
    for (;;) {
        struct flock range {};
        range.l_type = type;
        range.l_whence = SEEK_SET;
        range.l_start = start;
        range.l_len = 1;
        if (::fcntl(fd_, F_OFD_SETLK, &range) == 0) return true;
        if (errno != EAGAIN && errno != EACCES && errno != EINTR) return false;
        if (Clock::now() >= deadline) return false;
        // Another process holds it for a moment (a commit, an open): look again shortly.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool LibraryLock::lockOpening(double seconds) {
    return lockRange(F_WRLCK, kOpeningByte, seconds);
}

void LibraryLock::unlockOpening() {
    lockRange(F_UNLCK, kOpeningByte, 0);
}

bool LibraryLock::lockMaintenance(double seconds) {
    return lockRange(F_WRLCK, kMaintenanceByte, seconds);
}

bool LibraryLock::lockWriting(double seconds) {
    return lockRange(F_RDLCK, kMaintenanceByte, seconds);
}

void LibraryLock::unlockMaintenance() {
    lockRange(F_UNLCK, kMaintenanceByte, 0);
}

bool LibraryLock::connect() {
    // The store closing last holds the range exclusively while it checkpoints.
    return lockRange(F_RDLCK, kConnectionByte, 30);
}

bool LibraryLock::isLastConnection() {
    return lockRange(F_WRLCK, kConnectionByte, 0);
}

}  // namespace hx::photos

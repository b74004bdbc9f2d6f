#pragma once

// The calls a V4L2 camera is driven through: the device nodes there are, and open, close,
// ioctl, mmap, munmap and poll on them. The system's own calls serve real cameras; tests put a
// stand-in here that plays a camera's formats, controls and failures.
//
// Every call answers as the system call does: -1 (MAP_FAILED for map) with errno set.
//
// Threads: every member may be called from any thread.

#include <poll.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace hx::capture {

class V4l2Io {
  public:
    virtual ~V4l2Io() = default;

    // The device nodes to look at, in order ("/dev/video0", ...).
    virtual std::vector<std::string> nodes() = 0;
    virtual int open(const std::string& path, int flags) = 0;
    virtual int close(int fd) = 0;
    virtual int ioctl(int fd, unsigned long request, void* argument) = 0;
    virtual void* map(size_t length, int fd, off_t offset) = 0;
    virtual int unmap(void* address, size_t length) = 0;
    virtual int poll(pollfd* fds, nfds_t count, int timeoutMilliseconds) = 0;

    // The system's calls. Its nodes are the /dev/video* entries; where /dev lists none (a
    // compatibility library serves cameras without device files), /dev/video0, /dev/video1, ...
    // are offered up to the first that does not open, looked for once.
    static std::shared_ptr<V4l2Io> system();
};

// ioctl, tried again while a signal interrupts it.
int v4l2Ioctl(V4l2Io& io, int fd, unsigned long request, void* argument);

}  // namespace hx::capture

#include "platform/photos/library/ChangeWatcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/log/Log.h"

namespace hx::photos {
namespace {

constexpr int kSafetyNetMilliseconds = 1000;

}  // namespace

struct ChangeWatcher::State {
    int inotify = -1;
    int stop = -1;
    int timeoutMilliseconds = 500;
    std::function<void()> changed;

    ~State() {
        if (inotify >= 0) ::close(inotify);
        if (stop >= 0) ::close(stop);
    }

    // True when one of the events concerns the database files ("library.sqlite*").
    bool readEvents() {
        alignas(inotify_event) char buffer[4096];
        bool relevant = false;
        for (;;) {
            ssize_t length = ::read(inotify, buffer, sizeof buffer);
            if (length <= 0) return relevant;
            for (char* p = buffer; p < buffer + length;) {
                auto* event = reinterpret_cast<inotify_event*>(p);
                if (event->len == 0 || std::strncmp(event->name, "library.sqlite", 14) == 0) {
                    relevant = true;
                }
                p += sizeof(inotify_event) + event->len;
            }
        }
    }

    void run() {
        pollfd fds[2] = {{stop, POLLIN, 0}, {inotify, POLLIN, 0}};
        nfds_t count = inotify >= 0 ? 2 : 1;
        for (;;) {
            int ready = ::poll(fds, count, timeoutMilliseconds);
            if (ready < 0 && errno == EINTR) continue;
            if (fds[0].revents & POLLIN) return;
            if (ready == 0) {
                changed();
            } else if (count == 2 && (fds[1].revents & POLLIN) && readEvents()) {
                changed();
            }
        }
    }
};

ChangeWatcher::ChangeWatcher(const std::string& folder, double pollIntervalSeconds,
                             std::function<void()> changed)
    : state_(std::make_shared<State>()) {
    state_->changed = std::move(changed);
    state_->timeoutMilliseconds = std::max(1, int(pollIntervalSeconds * 1000));
    state_->stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    state_->inotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (state_->inotify >= 0 &&
        ::inotify_add_watch(state_->inotify, folder.c_str(),
                            IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE) < 0) {
        hxLog("photo library: cannot watch %s (%s); polling for changes instead", folder.c_str(),
              std::strerror(errno));
        ::close(state_->inotify);
        state_->inotify = -1;
    }
    if (state_->inotify >= 0) {
        state_->timeoutMilliseconds = std::max(state_->timeoutMilliseconds, kSafetyNetMilliseconds);
    }
    if (state_->stop < 0) {
        hxLog("photo library: cannot make the watcher's stop signal: %s", std::strerror(errno));
        return;
    }
    thread_ = std::thread([state = state_] { state->run(); });
}

ChangeWatcher::~ChangeWatcher() {
    if (!thread_.joinable()) return;
    uint64_t one = 1;
    if (::write(state_->stop, &one, sizeof one) < 0) {
        hxLog("photo library: cannot stop the change watcher: %s", std::strerror(errno));
    }
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();  // the thread holds its state and ends by itself
    } else {
        thread_.join();
    }
}

bool ChangeWatcher::usesFileEvents() const {
    return state_->inotify >= 0;
}

}  // namespace hx::photos

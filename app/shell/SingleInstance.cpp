#include "app/shell/SingleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "app/shell/CommandLine.h"
#include "platform/log/Log.h"
#include "platform/paths/Paths.h"
#include "platform/runloop/RunLoop.h"

namespace hx::app {

namespace {

constexpr const char* kLockName = "halidex.lock";
constexpr const char* kSocketName = "halidex.sock";
// How long the listener waits for a connected client's line.
constexpr int kClientReadMilliseconds = 1000;
// Pause between attempts to reach a primary that is still starting.
constexpr auto kRetryPause = std::chrono::milliseconds(20);

using SteadyClock = std::chrono::steady_clock;

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool socketAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

int millisecondsUntil(SteadyClock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

// Reads up to a newline, at most `limit` bytes before it, until the deadline. Empty when no
// whole line came; `overlong` is set when the limit was passed.
std::optional<std::string> readLine(int fd, size_t limit, SteadyClock::time_point deadline,
                                    bool* overlong = nullptr) {
    std::string line;
    char buffer[256];
    while (true) {
        pollfd p{fd, POLLIN, 0};
        int ready = ::poll(&p, 1, millisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        line.append(buffer, static_cast<size_t>(n));
        if (size_t end = line.find('\n'); end != std::string::npos) {
            line.resize(end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.size() > limit) {
                if (overlong) *overlong = true;
                return std::nullopt;
            }
            return line;
        }
        if (line.size() > limit + 1) {
            if (overlong) *overlong = true;
            return std::nullopt;
        }
    }
}

bool sendAll(int fd, const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
        ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// The line as it may appear in the log: printable ASCII, shortened.
std::string printable(std::string_view line) {
    std::string shown;
    for (char c : line.substr(0, 80)) {
        unsigned char u = static_cast<unsigned char>(c);
        shown += (u >= 0x20 && u < 0x7f) ? c : '?';
    }
    if (line.size() > 80) shown += "...";
    return shown;
}

}  // namespace

struct SingleInstance::State {
    int listenFd = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::thread listener;
    // Main thread only.
    RequestHandler handler;
    std::vector<std::string> waiting;

    void deliver(const std::string& request) {
        if (handler) {
            handler(request);
        } else {
            waiting.push_back(request);
        }
    }

    // One client: read its line, answer, and hand a good request to the main thread.
    void serve(int client) {
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
            peer.uid != ::getuid()) {
            hxLog("halidex: refused a request from user %u", static_cast<unsigned>(peer.uid));
            sendAll(client, "refused\n");
            return;
        }
        bool overlong = false;
        auto deadline = SteadyClock::now() + std::chrono::milliseconds(kClientReadMilliseconds);
        auto line = readLine(client, kMaxRequestLength, deadline, &overlong);
        if (!line) {
            hxLog("halidex: refused a request from another launch: %s",
                  overlong ? "line too long" : "no request line");
            sendAll(client, "refused\n");
            return;
        }
        if (!isValidRequest(*line)) {
            hxLog("halidex: refused a request from another launch: %s", printable(*line).c_str());
            sendAll(client, "refused\n");
            return;
        }
        std::weak_ptr<State> weak = self;
        RunLoop::main().post([weak, request = *line] {
            if (auto state = weak.lock()) state->deliver(request);
        });
        sendAll(client, "ok\n");
    }

    void listen() {
        while (true) {
            pollfd fds[2] = {{listenFd, POLLIN, 0}, {wakeRead, POLLIN, 0}};
            int ready = ::poll(fds, 2, -1);
            if (ready < 0) {
                if (errno == EINTR) continue;
                hxLog("halidex: the single-instance listener stopped: %s", std::strerror(errno));
                return;
            }
            if (fds[1].revents) return;
            if (!(fds[0].revents & POLLIN)) continue;
            int client = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            serve(client);
            ::close(client);
        }
    }

    std::weak_ptr<State> self;
};

std::unique_ptr<SingleInstance> SingleInstance::acquire(std::string* error) {
    return acquireIn(paths::runtimeDirectory(), error);
}

std::unique_ptr<SingleInstance> SingleInstance::acquireIn(const std::string& directory,
                                                          std::string* error) {
    auto fail = [&](const std::string& message) -> std::unique_ptr<SingleInstance> {
        if (error) *error = message;
        return nullptr;
    };
    std::string reason;
    if (!paths::ensureDirectory(directory, &reason)) return fail(reason);

    std::unique_ptr<SingleInstance> instance(new SingleInstance());
    instance->socketPath_ = directory + "/" + kSocketName;
    sockaddr_un address;
    if (!socketAddress(instance->socketPath_, address))
        return fail("the socket path is too long: " + instance->socketPath_);

    std::string lockPath = directory + "/" + kLockName;
    int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0) return fail(systemError("cannot open " + lockPath));
    int locked;
    do {
        locked = ::flock(lockFd, LOCK_EX | LOCK_NB);
    } while (locked < 0 && errno == EINTR);
    if (locked < 0) {
        int cause = errno;
        ::close(lockFd);
        if (cause != EWOULDBLOCK) {
            errno = cause;
            return fail(systemError("cannot lock " + lockPath));
        }
        // Another instance holds the lock: this one forwards.
        return instance;
    }
    instance->primary_ = true;
    instance->lockFd_ = lockFd;

    // Under the lock no other primary exists, so a socket file here was left by one that died.
    if (::unlink(instance->socketPath_.c_str()) < 0 && errno != ENOENT)
        return fail(systemError("cannot remove the old socket " + instance->socketPath_));
    auto state = std::make_shared<State>();
    state->self = state;
    state->listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (state->listenFd < 0) return fail(systemError("cannot make a socket"));
    instance->state_ = state;  // from here the destructor cleans up
    if (::bind(state->listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0)
        return fail(systemError("cannot bind " + instance->socketPath_));
    ::chmod(instance->socketPath_.c_str(), 0600);
    if (::listen(state->listenFd, 16) < 0)
        return fail(systemError("cannot listen on " + instance->socketPath_));
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) < 0) return fail(systemError("cannot make a pipe"));
    state->wakeRead = pipeFds[0];
    state->wakeWrite = pipeFds[1];
    state->listener = std::thread([state] { state->listen(); });
    return instance;
}

SingleInstance::~SingleInstance() {
    if (state_) {
        if (state_->listener.joinable()) {
            char byte = 1;
            while (::write(state_->wakeWrite, &byte, 1) < 0 && errno == EINTR) {
            }
            state_->listener.join();
        }
        for (int fd : {state_->listenFd, state_->wakeRead, state_->wakeWrite}) {
            if (fd >= 0) ::close(fd);
        }
        state_->handler = nullptr;
        // Still under the lock, so the socket is this instance's own.
        ::unlink(socketPath_.c_str());
    }
    if (lockFd_ >= 0) ::close(lockFd_);
}

void SingleInstance::setRequestHandler(RequestHandler handler) {
    if (!state_) return;
    state_->handler = std::move(handler);
    if (state_->waiting.empty()) return;
    // Delivered from the run loop, not inside this call.
    std::weak_ptr<State> weak = state_;
    RunLoop::main().post([weak] {
        auto state = weak.lock();
        if (!state) return;
        auto waiting = std::move(state->waiting);
        state->waiting.clear();
        for (const auto& request : waiting) state->deliver(request);
    });
}

bool SingleInstance::forward(const std::string& request, std::string* error,
                             double timeoutSeconds) const {
    auto fail = [&](const std::string& message) {
        if (error) *error = message;
        return false;
    };
    if (!isValidRequest(request)) return fail("not a request: " + printable(request));
    sockaddr_un address;
    if (!socketAddress(socketPath_, address)) return fail("the socket path is too long");
    auto deadline =
        SteadyClock::now() +
        std::chrono::milliseconds(static_cast<long long>(std::max(0.0, timeoutSeconds) * 1000));
    while (true) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return fail(systemError("cannot make a socket"));
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
            int cause = errno;
            ::close(fd);
            bool starting =
                cause == ENOENT || cause == ECONNREFUSED || cause == EAGAIN || cause == EINTR;
            if (!starting || SteadyClock::now() + kRetryPause >= deadline) {
                errno = cause;
                return fail(systemError("the running halidex does not answer at " + socketPath_));
            }
            std::this_thread::sleep_for(kRetryPause);
            continue;
        }
        bool sent = sendAll(fd, request + "\n");
        auto answer = sent ? readLine(fd, 64, deadline) : std::nullopt;
        ::close(fd);
        if (!sent) return fail(systemError("cannot send the request"));
        if (!answer) return fail("the running halidex did not answer in time");
        if (*answer != "ok") return fail("the running halidex refused the request");
        return true;
    }
}

bool SingleInstance::isValidRequest(std::string_view line) {
    if (line == "activate") return true;
    constexpr std::string_view prefix = "action ";
    if (line.substr(0, prefix.size()) != prefix) return false;
    return isQuickActionName(std::string(line.substr(prefix.size())));
}

std::string SingleInstance::requestForAction(const std::string& action) {
    return action.empty() ? std::string("activate") : "action " + action;
}

}  // namespace hx::app

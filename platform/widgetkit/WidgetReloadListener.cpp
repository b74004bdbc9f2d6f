#include "platform/widgetkit/WidgetReloadListener.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "platform/log/Log.h"
#include "platform/paths/Paths.h"
#include "platform/runloop/RunLoop.h"
#include "platform/widgetkit/WidgetCenter.h"
#include "platform/widgetkit/WidgetDatagram.h"

namespace hx {

struct WidgetReloadListener::Run {
    int socketFd = -1;
    int wakeFd = -1;
    std::atomic<bool> stopping{false};
    // Called on the main thread only.
    std::function<void()> onReload;

    ~Run() {
        if (socketFd >= 0) ::close(socketFd);
        if (wakeFd >= 0) ::close(wakeFd);
    }
};

namespace {

namespace fs = std::filesystem;
using Run = WidgetReloadListener::Run;

// Reads every datagram waiting; true when one of them asked for a reload. A datagram longer
// than the buffer is measured whole (MSG_TRUNC), so that its cut-off start is not taken for a
// request.
bool drainRequests(Run& run) {
    bool reload = false;
    char buffer[WidgetDatagram::kMaxBytes + 1];
    while (true) {
        const ssize_t n = ::recv(run.socketFd, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC);
        if (n < 0) break;
        const auto length = static_cast<std::size_t>(n);
        std::string_view message(buffer, std::min(length, sizeof buffer));
        std::string padded;
        if (length > sizeof buffer) {
            padded.assign(message);
            padded.resize(length, '\0');
            message = padded;
        }
        WidgetDatagram datagram;
        std::string problem;
        if (!WidgetDatagram::parse(message, &datagram, &problem)) {
            hxLog("Widget host: ignoring a request of %zu bytes: %s", length, problem.c_str());
            continue;
        }
        if (datagram.request == WidgetRequest::reloadAllTimelines) reload = true;
    }
    return reload;
}

void listen(std::shared_ptr<Run> run) {
    while (!run->stopping.load()) {
        pollfd fds[2] = {{run->socketFd, POLLIN, 0}, {run->wakeFd, POLLIN, 0}};
        const int n = ::poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            hxLog("Widget host: waiting for requests failed: %s", std::strerror(errno));
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        RunLoop::PendingWork pending;  // a reload is on its way to the main queue
        if (!drainRequests(*run)) continue;
        auto held = std::make_shared<RunLoop::PendingWork>(std::move(pending));
        RunLoop::main().post([weak = std::weak_ptr(run), held] {
            std::shared_ptr<Run> r = weak.lock();
            if (r && !r->stopping.load() && r->onReload) r->onReload();
        });
    }
}

bool fail(std::string* error, std::string message) {
    if (error) *error = std::move(message);
    return false;
}

}  // namespace

WidgetReloadListener::WidgetReloadListener(std::function<void()> onReload)
    : onReload_(std::move(onReload)) {}

WidgetReloadListener::~WidgetReloadListener() {
    stop();
}

bool WidgetReloadListener::start(std::string* error) {
    stop();
    const std::string folder = WidgetCenter::hostsDirectory();
    if (!paths::ensureDirectory(folder, error)) return false;
    static std::atomic<unsigned> counter{0};
    const std::string path = folder + "/host-" + std::to_string(::getpid()) + "-" +
                             std::to_string(counter.fetch_add(1)) + ".sock";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return fail(error, "the widget host socket path is too long: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    auto run = std::make_shared<Run>();
    run->onReload = onReload_;
    run->socketFd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    run->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (run->socketFd < 0 || run->wakeFd < 0)
        return fail(error, std::string("cannot make a socket: ") + std::strerror(errno));
    // A socket of an earlier process with the same pid may still be there.
    ::unlink(path.c_str());
    if (::bind(run->socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return fail(error, "cannot listen at " + path + ": " + std::strerror(errno));
    path_ = path;
    run_ = run;
    thread_ = std::thread(listen, run);
    return true;
}

void WidgetReloadListener::stop() {
    if (!run_) return;
    run_->stopping.store(true);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(run_->wakeFd, &one, sizeof one);
    if (thread_.joinable()) thread_.join();
    ::unlink(path_.c_str());
    path_.clear();
    run_.reset();
}

}  // namespace hx

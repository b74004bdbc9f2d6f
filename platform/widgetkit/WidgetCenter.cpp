#include "platform/widgetkit/WidgetCenter.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/log/Log.h"
#include "platform/paths/Paths.h"

namespace hx {

namespace fs = std::filesystem;

WidgetCenter& WidgetCenter::shared() {
    static WidgetCenter* const center = new WidgetCenter;
    return *center;
}

std::string WidgetCenter::hostsDirectory() {
    return (fs::path(paths::runtimeDirectory()) / "widget-hosts").string();
}

std::size_t WidgetCenter::reloadAllTimelines() {
    std::error_code ec;
    fs::directory_iterator entries(hostsDirectory(), ec);
    if (ec) return 0;  // no host has ever run

    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        hxLog("Cannot ask the widget hosts to reload: %s", std::strerror(errno));
        return 0;
    }
    const std::size_t length = std::strlen(kReloadAllTimelinesMessage);
    std::size_t reached = 0;
    for (const fs::directory_entry& entry : entries) {
        if (!entry.is_socket(ec)) continue;
        const std::string path = entry.path().string();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() >= sizeof address.sun_path) continue;  // no host could have bound it
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        const ssize_t sent = ::sendto(fd, kReloadAllTimelinesMessage, length, MSG_NOSIGNAL,
                                      reinterpret_cast<const sockaddr*>(&address), sizeof address);
        if (sent >= 0) {
            ++reached;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // The host has requests queued it has not read yet; it will reload anyway.
            ++reached;
        } else if (errno == ECONNREFUSED || errno == ENOENT) {
            // Nobody listens there any more: a host that did not clean up after itself.
            fs::remove(entry.path(), ec);
        } else {
            hxLog("Cannot reach the widget host at %s: %s", path.c_str(), std::strerror(errno));
        }
    }
    ::close(fd);
    return reached;
}

}  // namespace hx

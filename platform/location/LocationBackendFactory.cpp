#include "platform/location/LocationBackendFactory.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>

#include "platform/location/simulated/NmeaLog.h"
#include "platform/location/simulated/SimulatedLocationBackend.h"
#include "platform/log/Log.h"

#if HX_HAVE_GPSD
#include "platform/location/gpsd/GpsdLocationBackend.h"
#endif

namespace hx {
namespace {

std::unique_ptr<LocationBackend> fixedPoint() {
    return std::make_unique<SimulatedLocationBackend>(
        SimulatedLocationBackend::defaultFixedPoint());
}

// "gpsd", "gpsd:host" or "gpsd:host:port" (the same after "auto"); a host may be a bracketed
// IPv6 address.
std::pair<std::string, std::string> gpsdAddress(const std::string& address, size_t prefix) {
    std::string host = "localhost";
    std::string port = "2947";
    if (address.size() > prefix + 1) {
        std::string rest = address.substr(prefix + 1);
        std::size_t colon = rest.rfind(':');
        if (rest.front() == '[') {
            const std::size_t close = rest.find(']');
            if (close != std::string::npos) {
                host = rest.substr(1, close - 1);
                if (close + 1 < rest.size() && rest[close + 1] == ':')
                    port = rest.substr(close + 2);
            }
        } else if (colon != std::string::npos) {
            host = rest.substr(0, colon);
            port = rest.substr(colon + 1);
        } else {
            host = rest;
        }
    }
    return {host, port};
}

std::unique_ptr<LocationBackend> gpsd(const std::string& address) {
#if HX_HAVE_GPSD
    auto [host, port] = gpsdAddress(address, 4);
    return std::make_unique<GpsdLocationBackend>(host, port);
#else
    hxLog("HALIDEX_LOCATION=%s: this build has no gpsd support; using a fixed point",
          address.c_str());
    return fixedPoint();
#endif
}

// Whether something accepts connections at host:port within a short while.
bool answers(const std::string& host, const std::string& port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return false;
    bool connected = false;
    for (addrinfo* a = found; a && !connected; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
            connected = true;
        } else if (errno == EINPROGRESS) {
            pollfd waiting{fd, POLLOUT, 0};
            int error = 0;
            socklen_t length = sizeof error;
            connected = ::poll(&waiting, 1, 300) == 1 &&
                        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        }
        ::close(fd);
    }
    freeaddrinfo(found);
    return connected;
}

// gpsd when it answers, else the fixed point; said aloud only when asked for by name.
std::unique_ptr<LocationBackend> automatic(const std::string& choice, bool named) {
#if HX_HAVE_GPSD
    auto [host, port] = gpsdAddress(choice, 4);
    if (answers(host, port)) return std::make_unique<GpsdLocationBackend>(host, port);
    if (named)
        hxLog("HALIDEX_LOCATION=%s: no gpsd answers at %s:%s; using a fixed point", choice.c_str(),
              host.c_str(), port.c_str());
#else
    if (named)
        hxLog("HALIDEX_LOCATION=%s: this build has no gpsd support; using a fixed point",
              choice.c_str());
#endif
    return fixedPoint();
}

}  // namespace

std::unique_ptr<LocationBackend> makeLocationBackend() {
    const char* value = std::getenv("HALIDEX_LOCATION");
    const std::string choice = value ? value : "";
    if (choice == "simulated") return fixedPoint();
    if (choice.empty()) return automatic("auto", false);
    if (choice == "auto" || choice.rfind("auto:", 0) == 0) return automatic(choice, true);
    if (choice == "gpsd" || choice.rfind("gpsd:", 0) == 0) return gpsd(choice);
    NmeaLog log;
    std::string error;
    if (!NmeaLog::load(choice, log, &error)) {
        hxLog("HALIDEX_LOCATION: %s; using a fixed point", error.c_str());
        return fixedPoint();
    }
    return std::make_unique<SimulatedLocationBackend>(std::move(log.fixes));
}

}  // namespace hx

#include "platform/location/LocationBackendFactory.h"

#include <cstdlib>
#include <string>

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

std::unique_ptr<LocationBackend> gpsd(const std::string& address) {
#if HX_HAVE_GPSD
    // "gpsd", "gpsd:host" or "gpsd:host:port"; a host may be a bracketed IPv6 address.
    std::string host = "localhost";
    std::string port = "2947";
    if (address.size() > 5) {
        std::string rest = address.substr(5);
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
    return std::make_unique<GpsdLocationBackend>(host, port);
#else
    hxLog("HALIDEX_LOCATION=%s: this build has no gpsd support; using a fixed point",
          address.c_str());
    return fixedPoint();
#endif
}

}  // namespace

std::unique_ptr<LocationBackend> makeLocationBackend() {
    const char* value = std::getenv("HALIDEX_LOCATION");
    const std::string choice = value ? value : "";
    if (choice.empty() || choice == "simulated") return fixedPoint();
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

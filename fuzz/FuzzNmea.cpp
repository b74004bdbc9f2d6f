// Any bytes as a recorded NMEA log: every fix read from it is a position on the globe.
#include <cmath>
#include <string_view>

#include "platform/location/simulated/NmeaLog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const hx::NmeaLog log = hx::NmeaLog::parse(text);
    for (const auto& fix : log.fixes) {
        const auto& l = fix.location;
        if (!(std::fabs(l.latitude) <= 90) || !(std::fabs(l.longitude) <= 180)) __builtin_trap();
    }
    return 0;
}

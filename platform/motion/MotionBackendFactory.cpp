#include "platform/motion/MotionBackendFactory.h"

#include <cstdlib>
#include <string>

#include "platform/log/Log.h"
#include "platform/motion/iio/IioAccelerometer.h"
#include "platform/motion/simulated/SimulatedAccelerometer.h"

namespace hx {

std::unique_ptr<AccelerometerBackend> makeAccelerometerBackend() {
    const char* value = std::getenv("HALIDEX_MOTION");
    const std::string choice = value ? value : "";
    if (choice == "simulated") return std::make_unique<SimulatedAccelerometer>();
    auto iio = std::make_unique<IioAccelerometer>(IioAccelerometer::defaultRoot());
    if (choice == "iio" || iio->isAvailable()) return iio;
    if (!choice.empty() && choice != "auto")
        hxLog("HALIDEX_MOTION=%s is not one of auto, iio, simulated; using the simulated sensor",
              choice.c_str());
    return std::make_unique<SimulatedAccelerometer>();
}

}  // namespace hx

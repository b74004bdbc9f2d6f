#pragma once

// Chooses the accelerometer by HALIDEX_MOTION:
//   unset, "" or "auto"   a Linux IIO accelerometer when the machine has one, else simulated
//   "iio"                 the IIO accelerometer (unavailable when there is none)
//   "simulated"           the simulated one (see SimulatedAccelerometer.h)
// HALIDEX_IIO_ROOT moves the IIO device folder (default /sys/bus/iio/devices).

#include <memory>

#include "platform/motion/Accelerometer.h"

namespace hx {

std::unique_ptr<AccelerometerBackend> makeAccelerometerBackend();

}  // namespace hx

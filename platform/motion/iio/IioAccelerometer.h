#pragma once

// The accelerometer of tablets, convertibles and phones running Linux, read through the kernel's
// Industrial I/O sysfs files.
//
// The sensor is the first device under the IIO folder (iio:device0, iio:device1, ... in number
// order) that is named accel_3d or has in_accel_x_raw. Its scale, offset and mount matrix are
// read once, when the backend is made; each read takes the three raw values. The kernel gives
// m/s² as (raw + offset) × scale, along the same axes and with the same sign as our samples once
// the mount matrix has turned them into the device's frame; dividing by standard gravity gives g.
//
// Threads: read on the main thread; nothing is shared.

#include <array>
#include <string>

#include "platform/motion/Accelerometer.h"

namespace hx {

class IioAccelerometer : public AccelerometerBackend {
  public:
    explicit IioAccelerometer(std::string root = defaultRoot());

    bool isAvailable() const override { return !device_.empty(); }
    std::optional<Acceleration> read(std::string* error) override;
    const char* name() const override { return "iio"; }

    // The device folder in use; empty when none was found.
    const std::string& devicePath() const { return device_; }

    // HALIDEX_IIO_ROOT, else /sys/bus/iio/devices.
    static std::string defaultRoot();
    // The accelerometer's folder under root, or empty.
    static std::string findAccelerometer(const std::string& root);

  private:
    struct Axis {
        std::string rawPath;
        double scale = 1;
        double offset = 0;
    };
    std::string device_;
    std::array<Axis, 3> axes_;
    // Rows of the matrix that turns sensor axes into device axes.
    std::array<std::array<double, 3>, 3> mount_{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
};

inline constexpr double kStandardGravity = 9.80665;

}  // namespace hx

#pragma once

// Accelerometer samples and where they come from.
//
// Axes are the device's own: x to the right of the screen, y up the screen, z out of the screen
// towards the viewer; values are in g and point along gravity, so a device standing upright
// reads about (0, −1, 0) and one lying face up about (0, 0, −1).

#include <functional>
#include <optional>
#include <string>

namespace hx {

struct Acceleration {
    double x = 0;
    double y = 0;
    double z = 0;
};

struct AccelerometerData {
    double x = 0;
    double y = 0;
    double z = 0;
    double timestamp = 0;  // seconds on the run loop's clock
};

inline constexpr int kMotionErrorSensorUnreadable = 1;

struct MotionError {
    int code = kMotionErrorSensorUnreadable;
    std::string message;
};

// Exactly one of the two is set.
using AccelerometerHandler = std::function<void(const std::optional<AccelerometerData>& data,
                                                const std::optional<MotionError>& error)>;

// A sensor that is read on demand. Threads: called on the main thread only.
class AccelerometerBackend {
  public:
    virtual ~AccelerometerBackend() = default;
    virtual bool isAvailable() const = 0;
    // One reading; empty, with the reason, when the sensor cannot be read.
    virtual std::optional<Acceleration> read(std::string* error) = 0;
    virtual const char* name() const = 0;
};

}  // namespace hx

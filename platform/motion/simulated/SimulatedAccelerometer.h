#pragma once

// An accelerometer without hardware. SimulatedMotion holds the state of the one simulated
// sensor of the process: the vector it reads now (upright, (0, −1, 0), until told otherwise;
// the window will move it with keys), a script of readings for tests that each read takes in
// turn, availability, and a failing state. Every SimulatedAccelerometer reads that state.
//
// Threads: SimulatedMotion may be driven from any thread; the backend is read on the main thread.

#include <vector>

#include "platform/motion/Accelerometer.h"

namespace hx {

class SimulatedAccelerometer : public AccelerometerBackend {
  public:
    bool isAvailable() const override;
    std::optional<Acceleration> read(std::string* error) override;
    const char* name() const override { return "simulated"; }
};

class SimulatedMotion {
  public:
    static void setAcceleration(Acceleration value);
    static Acceleration acceleration();
    // Readings to give one per read, in order; after the last the sensor stays there.
    static void script(std::vector<Acceleration> readings);
    static void setAvailable(bool available);
    // While failing, every read fails.
    static void setFailing(bool failing);
    // Upright, available, not failing, no script.
    static void reset();
};

}  // namespace hx

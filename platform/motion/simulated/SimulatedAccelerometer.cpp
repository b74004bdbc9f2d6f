#include "platform/motion/simulated/SimulatedAccelerometer.h"

#include <deque>
#include <mutex>

namespace hx {
namespace {

struct SensorState {
    std::mutex mutex;
    Acceleration current{0, -1, 0};
    std::deque<Acceleration> script;
    bool available = true;
    bool failing = false;
};

SensorState& sensor() {
    static SensorState* const state = new SensorState;
    return *state;
}

}  // namespace

bool SimulatedAccelerometer::isAvailable() const {
    std::lock_guard lock(sensor().mutex);
    return sensor().available;
}

std::optional<Acceleration> SimulatedAccelerometer::read(std::string* error) {
    SensorState& s = sensor();
    std::lock_guard lock(s.mutex);
    if (s.failing || !s.available) {
        if (error) *error = "the simulated accelerometer is failing";
        return std::nullopt;
    }
    if (!s.script.empty()) {
        s.current = s.script.front();
        s.script.pop_front();
    }
    return s.current;
}

void SimulatedMotion::setAcceleration(Acceleration value) {
    std::lock_guard lock(sensor().mutex);
    sensor().current = value;
    sensor().script.clear();
}

Acceleration SimulatedMotion::acceleration() {
    std::lock_guard lock(sensor().mutex);
    return sensor().current;
}

void SimulatedMotion::script(std::vector<Acceleration> readings) {
    std::lock_guard lock(sensor().mutex);
    sensor().script.assign(readings.begin(), readings.end());
}

void SimulatedMotion::setAvailable(bool available) {
    std::lock_guard lock(sensor().mutex);
    sensor().available = available;
}

void SimulatedMotion::setFailing(bool failing) {
    std::lock_guard lock(sensor().mutex);
    sensor().failing = failing;
}

void SimulatedMotion::reset() {
    std::lock_guard lock(sensor().mutex);
    sensor().current = Acceleration{0, -1, 0};
    sensor().script.clear();
    sensor().available = true;
    sensor().failing = false;
}

}  // namespace hx

#include "platform/motion/MotionManager.h"

#include <algorithm>
#include <utility>

#include "platform/motion/MotionBackendFactory.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/Timer.h"

namespace hx {

namespace detail {

struct MotionManagerState {
    std::unique_ptr<AccelerometerBackend> backend;
    double interval = 0.1;
    DispatchQueue* queue = nullptr;
    AccelerometerHandler handler;
    std::shared_ptr<Timer> timer;
    // Lives while updates run; samples still queued after a stop hold it weakly and are dropped.
    std::shared_ptr<char> run;
    bool failureReported = false;
    std::optional<AccelerometerData> latest;
};

}  // namespace detail

namespace {

constexpr double kShortestInterval = 0.01;

using State = detail::MotionManagerState;

void sample(State& state) {
    if (!state.queue || !state.handler) return;
    std::string error;
    std::optional<Acceleration> reading = state.backend->read(&error);
    if (!reading) {
        // Once per outage: a handler that hears the same failure every tick learns nothing.
        if (state.failureReported) return;
        state.failureReported = true;
        state.queue->async([run = std::weak_ptr(state.run), handler = state.handler, error] {
            if (run.lock()) handler(std::nullopt, MotionError{kMotionErrorSensorUnreadable, error});
        });
        return;
    }
    state.failureReported = false;
    AccelerometerData data{reading->x, reading->y, reading->z, Clock::now()};
    state.latest = data;
    state.queue->async([run = std::weak_ptr(state.run), handler = state.handler, data] {
        if (run.lock()) handler(data, std::nullopt);
    });
}

void startTimer(const std::shared_ptr<State>& state) {
    if (state->timer) state->timer->invalidate();
    std::weak_ptr<State> weak = state;
    state->timer = Timer::scheduled(state->interval, true, [weak](Timer& timer) {
        if (auto s = weak.lock())
            sample(*s);
        else
            timer.invalidate();
    });
}

}  // namespace

MotionManager::MotionManager() : MotionManager(makeAccelerometerBackend()) {}

MotionManager::MotionManager(std::unique_ptr<AccelerometerBackend> backend)
    : state_(std::make_shared<State>()) {
    state_->backend = std::move(backend);
}

MotionManager::~MotionManager() {
    stopAccelerometerUpdates();
}

bool MotionManager::isAccelerometerAvailable() const {
    return state_->backend && state_->backend->isAvailable();
}

void MotionManager::setAccelerometerUpdateInterval(double seconds) {
    state_->interval = std::max(seconds, kShortestInterval);
    if (state_->timer) startTimer(state_);
}

double MotionManager::accelerometerUpdateInterval() const {
    return state_->interval;
}

void MotionManager::startAccelerometerUpdatesToQueue(DispatchQueue& queue,
                                                     AccelerometerHandler handler) {
    if (!isAccelerometerAvailable() || !handler) return;
    state_->queue = &queue;
    state_->handler = std::move(handler);
    state_->failureReported = false;
    state_->run = std::make_shared<char>();
    startTimer(state_);
}

void MotionManager::stopAccelerometerUpdates() {
    if (state_->timer) state_->timer->invalidate();
    state_->timer.reset();
    state_->run.reset();
    state_->queue = nullptr;
    state_->handler = nullptr;
}

bool MotionManager::isAccelerometerActive() const {
    return state_->timer != nullptr;
}

std::optional<AccelerometerData> MotionManager::accelerometerData() const {
    return state_->latest;
}

const char* MotionManager::backendName() const {
    return state_->backend ? state_->backend->name() : "none";
}

}  // namespace hx

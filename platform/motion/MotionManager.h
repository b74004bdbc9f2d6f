#pragma once

// The accelerometer as the camera screen uses it: ask whether there is one, set an update
// interval, and receive samples on a queue of the caller's choice until stopped. The sensor is
// read by a timer on the main run loop, so every sample follows the run loop's clock and tests
// step through samples by advancing it.
//
// A sensor that stops answering is reported once through the handler's error; sampling goes on
// and the next good reading is delivered as usual.
//
// Threads: make, use and destroy a manager on the main thread. The handler runs on the queue
// given to startAccelerometerUpdatesToQueue, which must outlive the updates.

#include <memory>
#include <optional>

#include "platform/motion/Accelerometer.h"
#include "platform/runloop/DispatchQueue.h"

namespace hx {

namespace detail {
struct MotionManagerState;
}

class MotionManager {
  public:
    // The backend that HALIDEX_MOTION names (see MotionBackendFactory.h).
    MotionManager();
    explicit MotionManager(std::unique_ptr<AccelerometerBackend> backend);
    ~MotionManager();
    MotionManager(const MotionManager&) = delete;
    MotionManager& operator=(const MotionManager&) = delete;

    bool isAccelerometerAvailable() const;

    // Seconds between samples, at least 0.01; applies at once to running updates.
    void setAccelerometerUpdateInterval(double seconds);
    double accelerometerUpdateInterval() const;

    // Does nothing when there is no accelerometer. A second call replaces queue and handler.
    void startAccelerometerUpdatesToQueue(DispatchQueue& queue, AccelerometerHandler handler);
    void stopAccelerometerUpdates();
    bool isAccelerometerActive() const;

    // The latest sample; empty before the first.
    std::optional<AccelerometerData> accelerometerData() const;

    const char* backendName() const;

  private:
    std::shared_ptr<detail::MotionManagerState> state_;
};

}  // namespace hx

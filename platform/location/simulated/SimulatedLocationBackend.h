#pragma once

// Positions without a receiver: a fixed point reported once each time updates start, or a
// recorded route (an NMEA log) replayed at its recorded pace on the run loop's clock, so tests
// move along the route by advancing the clock. SimulatedLocation lets tests and the window
// inject fixes and failures into every running simulated backend.
//
// Fixes carry the wall-clock time at which they are delivered, as a live receiver's would.
//
// Threads: main thread only, like the manager that owns it.

#include <memory>
#include <string>
#include <vector>

#include "platform/location/LocationBackend.h"
#include "platform/location/simulated/NmeaLog.h"
#include "platform/runloop/CancelToken.h"

namespace hx {

class SimulatedLocationBackend : public LocationBackend {
  public:
    explicit SimulatedLocationBackend(Location fixedPoint);
    explicit SimulatedLocationBackend(std::vector<RecordedFix> route);
    ~SimulatedLocationBackend() override;

    void start(LocationSink sink) override;
    void stop() override;
    const char* name() const override { return "simulated"; }

    bool isRunning() const { return running_; }

    // Reports to this backend's manager now (through the main queue), if running.
    void deliver(const Location& fix);
    void fail(LocationError error);

    // The point used when nothing else is configured: HALIDEX_LOCATION_POINT="lat,lon[,alt]",
    // or a default place.
    static Location defaultFixedPoint();
    // "lat,lon[,alt]" in degrees and metres; false when it does not parse or is out of range.
    static bool parsePoint(const std::string& text, Location& point);

  private:
    void scheduleRouteFix(std::size_t index);
    void post(std::function<void()> call);

    Location fixedPoint_;
    std::vector<RecordedFix> route_;
    bool replaying_ = false;
    bool running_ = false;
    double routeStartedAt_ = 0;
    LocationSink sink_;
    // Lives while running; queued calls hold it weakly, so those of an older run are dropped.
    std::shared_ptr<char> run_;
    CancelToken nextFix_;
};

// Drives every running simulated backend in this process. Main thread only.
class SimulatedLocation {
  public:
    static void deliver(const Location& fix);
    static void fail(LocationError error);
    static std::size_t runningBackends();

  private:
    friend class SimulatedLocationBackend;
    static std::vector<SimulatedLocationBackend*>& running();
};

}  // namespace hx

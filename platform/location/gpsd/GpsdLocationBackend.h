#pragma once

// Positions from a GPS receiver through gpsd, the Linux GPS daemon, read with libgps.
//
// A thread of this backend connects to gpsd, asks for reports and turns each position report
// (TPV) with a 2D or 3D fix into a Location, posted to the main queue. Altitude is known only in
// a 3D fix; a report without a course gives a negative course. When gpsd cannot be reached, or
// the connection drops, the manager hears kCLErrorLocationUnknown once and the thread tries
// again every retry interval until stopped.
//
// Threads: start() and stop() on the main thread; the sink is only called on the main thread.
// stop() wakes the thread and waits for it briefly; a thread caught in a slow connection
// attempt is left to finish on its own and reports nothing more.

#include <memory>
#include <string>
#include <thread>

#include "platform/location/LocationBackend.h"

namespace hx {

class GpsdLocationBackend : public LocationBackend {
  public:
    explicit GpsdLocationBackend(std::string host = "localhost", std::string port = "2947");
    ~GpsdLocationBackend() override;

    void start(LocationSink sink) override;
    void stop() override;
    const char* name() const override { return "gpsd"; }

    void setRetryInterval(double seconds) { retrySeconds_ = seconds; }

    struct Run;

  private:
    std::string host_;
    std::string port_;
    double retrySeconds_ = 3;
    std::shared_ptr<Run> run_;
    std::thread thread_;
};

}  // namespace hx

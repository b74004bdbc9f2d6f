#pragma once

// Where positions come from. A backend only produces fixes and failures; authorisation, the
// distance filter and the delegate belong to LocationManager, so every backend behaves the same
// towards the program.
//
// Threads: start() and stop() are called on the main thread. A backend calls its sink only on
// the main thread (backends with threads of their own post to the main queue), and never after
// stop() has returned.

#include <functional>
#include <vector>

#include "platform/location/Location.h"

namespace hx {

struct LocationSink {
    std::function<void(std::vector<Location>)> didUpdate;
    std::function<void(LocationError)> didFail;
};

class LocationBackend {
  public:
    virtual ~LocationBackend() = default;

    // Begins producing fixes; a second start() while running restarts.
    virtual void start(LocationSink sink) = 0;
    virtual void stop() = 0;
    // A short name for messages ("simulated", "gpsd").
    virtual const char* name() const = 0;
};

}  // namespace hx

#pragma once

// The location service as the camera uses it: a manager with a desired accuracy and a distance
// filter that is started and stopped, keeps the latest fix, and reports fixes, failures and
// authorisation changes to a delegate.
//
// Behaviour:
// - Right after a manager is made, its delegate hears didChangeAuthorization once with the
//   current status; it hears it again whenever the status changes.
// - startUpdatingLocation() while the user has not answered waits for the answer; once access
//   is granted updates begin. Refused or restricted access, or services switched off, give
//   didFailWithError with kCLErrorDenied and no updates.
// - A fix closer than the distance filter to the last one delivered is kept as location() but
//   not delivered.
//
// Threads: make, use and destroy a manager on the main thread. Every delegate callback arrives
// on the main queue, never inside the call that caused it. The delegate may destroy the manager
// from inside a callback.

#include <memory>
#include <optional>
#include <vector>

#include "platform/location/Location.h"
#include "platform/location/LocationBackend.h"

namespace hx {

class LocationManager;

namespace detail {
struct LocationManagerState;
}

// The delegate is not owned; clear it (or destroy the manager) before the delegate goes away.
class LocationManagerDelegate {
  public:
    virtual ~LocationManagerDelegate() = default;
    virtual void didUpdateLocations(LocationManager& manager,
                                    const std::vector<Location>& locations) {}
    virtual void didFailWithError(LocationManager& manager, LocationError error) {}
    virtual void didChangeAuthorization(LocationManager& manager, AuthorizationStatus status) {}
};

class LocationManager {
  public:
    // Positions from the backend that HALIDEX_LOCATION names (see LocationBackendFactory.h).
    LocationManager();
    explicit LocationManager(std::unique_ptr<LocationBackend> backend);
    ~LocationManager();
    LocationManager(const LocationManager&) = delete;
    LocationManager& operator=(const LocationManager&) = delete;

    // Location services for the whole device (see LocationAuthorization.h).
    static bool locationServicesEnabled();

    AuthorizationStatus authorizationStatus() const;
    // Asks the user for access while in use; the answer arrives as didChangeAuthorization.
    // Does nothing once the user has answered.
    void requestWhenInUseAuthorization();

    // Recorded for the caller; receivers deliver the accuracy they have.
    void setDesiredAccuracy(double metres);
    double desiredAccuracy() const;
    // Metres; kCLDistanceFilterNone (any negative value) lets every fix through.
    void setDistanceFilter(double metres);
    double distanceFilter() const;

    void startUpdatingLocation();
    void stopUpdatingLocation();

    // The latest fix received, kept after stopping; empty until the first.
    std::optional<Location> location() const;

    void setDelegate(LocationManagerDelegate* delegate);
    LocationManagerDelegate* delegate() const;

    const char* backendName() const;

  private:
    std::shared_ptr<detail::LocationManagerState> state_;
};

}  // namespace hx

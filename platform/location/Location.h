#pragma once

// A position fix and the values that go with the location service: accuracy and distance-filter
// constants, error codes and authorisation states, with the platform's names and values.

#include <cmath>
#include <limits>

namespace hx {

// One position fix. Unknown values are marked the way callers test for them: altitude NaN,
// course and horizontal accuracy negative.
struct Location {
    double latitude = 0;                                         // degrees, north positive
    double longitude = 0;                                        // degrees, east positive
    double altitude = std::numeric_limits<double>::quiet_NaN();  // metres above mean sea level
    double course = -1;              // degrees clockwise from true north; negative when unknown
    double horizontalAccuracy = -1;  // radius of uncertainty in metres; negative when unknown
    double timestamp = 0;            // seconds since 1970-01-01 UTC

    bool hasAltitude() const { return std::isfinite(altitude); }
    bool hasCourse() const { return course >= 0; }
};

// Great-circle distance in metres between two fixes (a spherical earth is close enough for a
// distance filter).
double distanceBetween(const Location& a, const Location& b);

// Desired accuracy, in metres; the two "best" values are negative markers.
inline constexpr double kCLLocationAccuracyBestForNavigation = -2;
inline constexpr double kCLLocationAccuracyBest = -1;
inline constexpr double kCLLocationAccuracyNearestTenMeters = 10;
inline constexpr double kCLLocationAccuracyHundredMeters = 100;
inline constexpr double kCLLocationAccuracyKilometer = 1000;
inline constexpr double kCLLocationAccuracyThreeKilometers = 3000;

// A distance filter that lets every update through.
inline constexpr double kCLDistanceFilterNone = -1;

// Error codes of LocationError.
inline constexpr int kCLErrorLocationUnknown = 0;  // no position could be had for now
inline constexpr int kCLErrorDenied = 1;           // the user refused, or services are off

struct LocationError {
    int code = kCLErrorLocationUnknown;
};

enum class AuthorizationStatus {
    NotDetermined = 0,
    Restricted = 1,
    Denied = 2,
    AuthorizedAlways = 3,
    AuthorizedWhenInUse = 4,
};

inline bool isAuthorized(AuthorizationStatus status) {
    return status == AuthorizationStatus::AuthorizedAlways ||
           status == AuthorizationStatus::AuthorizedWhenInUse;
}

}  // namespace hx

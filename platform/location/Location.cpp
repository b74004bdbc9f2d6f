#include "platform/location/Location.h"

#include <algorithm>
#include <numbers>

namespace hx {

double distanceBetween(const Location& a, const Location& b) {
    constexpr double kEarthRadiusMetres = 6'371'008.8;
    constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
    const double lat1 = a.latitude * kRadiansPerDegree;
    const double lat2 = b.latitude * kRadiansPerDegree;
    const double dLat = lat2 - lat1;
    const double dLon = (b.longitude - a.longitude) * kRadiansPerDegree;
    // Haversine: well conditioned for the short distances a filter compares.
    const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(lat1) * std::cos(lat2) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(h)));
}

}  // namespace hx

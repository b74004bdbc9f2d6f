#include "platform/geometry/Geometry.h"

namespace hx {

bool CGRect::containsRect(const CGRect& other) const {
    return other.minX() >= minX() && other.maxX() <= maxX() && other.minY() >= minY() &&
           other.maxY() <= maxY();
}

bool CGRect::intersects(const CGRect& other) const {
    return !intersection(other).isEmpty();
}

CGRect CGRect::intersection(const CGRect& other) const {
    double x0 = std::max(minX(), other.minX());
    double y0 = std::max(minY(), other.minY());
    double x1 = std::min(maxX(), other.maxX());
    double y1 = std::min(maxY(), other.maxY());
    if (x1 <= x0 || y1 <= y0) return CGRectZero;
    return {{x0, y0}, {x1 - x0, y1 - y0}};
}

CGRect CGRect::unionWith(const CGRect& other) const {
    if (isEmpty()) return other.standardized();
    if (other.isEmpty()) return standardized();
    double x0 = std::min(minX(), other.minX());
    double y0 = std::min(minY(), other.minY());
    double x1 = std::max(maxX(), other.maxX());
    double y1 = std::max(maxY(), other.maxY());
    return {{x0, y0}, {x1 - x0, y1 - y0}};
}

CGRect CGRect::insetBy(double dx, double dy) const {
    CGRect s = standardized();
    return {{s.origin.x + dx, s.origin.y + dy}, {s.size.width - 2 * dx, s.size.height - 2 * dy}};
}

CGRect CGRect::offsetBy(double dx, double dy) const {
    return {{origin.x + dx, origin.y + dy}, size};
}

}  // namespace hx

#pragma once

#include <optional>

#include "platform/image/Geometry.h"

namespace hx::image {

// Maps (x, y) to (a*x + c*y + tx, b*x + d*y + ty).
struct AffineTransform {
    double a = 1;
    double b = 0;
    double c = 0;
    double d = 1;
    double tx = 0;
    double ty = 0;

    static AffineTransform identity() { return {}; }
    static AffineTransform makeTranslation(double tx, double ty);
    static AffineTransform makeScale(double sx, double sy);
    static AffineTransform makeRotation(double radians);

    // `first` applied, then `second`.
    static AffineTransform concat(const AffineTransform& first, const AffineTransform& second);
    // These apply the new step before this transform, as changing a drawing surface's current
    // transform does: the step acts in the space the transform maps from.
    AffineTransform translate(double x, double y) const;
    AffineTransform scale(double sx, double sy) const;
    AffineTransform rotate(double radians) const;
    // This transform followed by `next`.
    AffineTransform concat(const AffineTransform& next) const { return concat(*this, next); }

    // Empty when the transform collapses the plane (zero or non-finite determinant).
    std::optional<AffineTransform> invert() const;
    bool isIdentity() const { return *this == AffineTransform{}; }

    Point apply(const Point& point) const;
    // The smallest rectangle holding the transformed corners.
    Rect apply(const Rect& rect) const;

    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

}  // namespace hx::image

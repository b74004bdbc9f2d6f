#pragma once
// Affine transforms of the plane: (x, y) maps to (a*x + c*y + tx, b*x + d*y + ty). A positive
// rotation turns from the x axis towards the y axis: clockwise on screen, where y grows
// downwards, and anticlockwise in a bitmap context's y-up space.

#include <optional>

#include "platform/geometry/Geometry.h"

namespace hx {

struct CGAffineTransform {
    double a = 1;
    double b = 0;
    double c = 0;
    double d = 1;
    double tx = 0;
    double ty = 0;

    bool isIdentity() const { return *this == CGAffineTransform{}; }
    // The transform that undoes this one; nothing when it collapses the plane.
    std::optional<CGAffineTransform> inverted() const;
    CGPoint apply(const CGPoint& point) const;
    // Applies the linear part only (no translation).
    CGSize applyToSize(const CGSize& size) const;
    // The smallest rectangle holding the four transformed corners.
    CGRect applyToRect(const CGRect& rect) const;

    // Decomposition for interpolation: rotation angle (radians), scales and translation.
    // Exact for rotations, scales and translations combined without shear.
    double rotationAngle() const;
    double scaleX() const;
    double scaleY() const;

    friend bool operator==(const CGAffineTransform&, const CGAffineTransform&) = default;
};

inline constexpr CGAffineTransform CGAffineTransformIdentity{};

CGAffineTransform CGAffineTransformMake(double a, double b, double c, double d, double tx,
                                        double ty);
CGAffineTransform CGAffineTransformMakeRotation(double angle);
CGAffineTransform CGAffineTransformMakeScale(double sx, double sy);
CGAffineTransform CGAffineTransformMakeTranslation(double tx, double ty);
// `t1` applied first, then `t2`.
CGAffineTransform CGAffineTransformConcat(const CGAffineTransform& t1, const CGAffineTransform& t2);
// These apply the new step before `t`, in the space `t` maps from.
CGAffineTransform CGAffineTransformRotate(const CGAffineTransform& t, double angle);
CGAffineTransform CGAffineTransformScale(const CGAffineTransform& t, double sx, double sy);
CGAffineTransform CGAffineTransformTranslate(const CGAffineTransform& t, double tx, double ty);
// The identity when `t` cannot be inverted.
CGAffineTransform CGAffineTransformInvert(const CGAffineTransform& t);
bool CGAffineTransformIsIdentity(const CGAffineTransform& t);
CGPoint CGPointApplyAffineTransform(const CGPoint& point, const CGAffineTransform& t);
CGSize CGSizeApplyAffineTransform(const CGSize& size, const CGAffineTransform& t);
CGRect CGRectApplyAffineTransform(const CGRect& rect, const CGAffineTransform& t);

}  // namespace hx

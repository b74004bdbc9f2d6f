#include "platform/ui/animation/TimingCurve.h"

#include <algorithm>
#include <cmath>

namespace hx {

namespace {

double bezier(double p1, double p2, double s) {
    double u = 1 - s;
    return 3 * u * u * s * p1 + 3 * u * s * s * p2 + s * s * s;
}

double bezierSlope(double p1, double p2, double s) {
    double u = 1 - s;
    return 3 * u * u * p1 + 6 * u * s * (p2 - p1) + 3 * s * s * (1 - p2);
}

}  // namespace

double TimingCurve::valueAt(double t) const {
    t = std::clamp(t, 0.0, 1.0);
    if (t == 0 || t == 1) return t;
    // Find the curve parameter whose x is t: Newton steps, then bisection if they stall.
    double s = t;
    for (int i = 0; i < 8; ++i) {
        double error = bezier(x1, x2, s) - t;
        if (std::abs(error) < 1e-9) return bezier(y1, y2, s);
        double slope = bezierSlope(x1, x2, s);
        if (std::abs(slope) < 1e-9) break;
        s = std::clamp(s - error / slope, 0.0, 1.0);
    }
    double lo = 0, hi = 1;
    s = t;
    for (int i = 0; i < 60; ++i) {
        double x = bezier(x1, x2, s);
        if (std::abs(x - t) < 1e-10) break;
        (x < t ? lo : hi) = s;
        s = (lo + hi) / 2;
    }
    return bezier(y1, y2, s);
}

}  // namespace hx

#pragma once
// The timing curves of view animations: cubic Béziers from (0, 0) to (1, 1).

namespace hx {

struct TimingCurve {
    double x1, y1, x2, y2;

    static TimingCurve linear() { return {0, 0, 1, 1}; }
    static TimingCurve easeIn() { return {0.42, 0, 1, 1}; }
    static TimingCurve easeOut() { return {0, 0, 0.58, 1}; }
    static TimingCurve easeInOut() { return {0.42, 0, 0.58, 1}; }

    // The eased progress at time fraction t (clamped to 0..1).
    double valueAt(double t) const;
};

}  // namespace hx

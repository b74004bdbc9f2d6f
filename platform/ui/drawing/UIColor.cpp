#include "platform/ui/drawing/UIColor.h"

#include <algorithm>

namespace hx {

namespace {
double clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}
}  // namespace

UIColor UIColor::colorWithRed(double red, double green, double blue, double alpha) {
    return UIColor(clamp01(red), clamp01(green), clamp01(blue), clamp01(alpha));
}

UIColor UIColor::colorWithWhite(double white, double alpha) {
    return colorWithRed(white, white, white, alpha);
}

UIColor UIColor::colorWithAlphaComponent(double alpha) const {
    return UIColor(red_, green_, blue_, clamp01(alpha));
}

}  // namespace hx

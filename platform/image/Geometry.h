#pragma once

#include <algorithm>

namespace hx::image {

struct Point {
    double x = 0;
    double y = 0;

    friend bool operator==(const Point&, const Point&) = default;
};

// A rectangle in a drawing surface's y-up space: (x, y) is its corner nearest the origin when
// width and height are positive. Negative sizes describe the same area measured the other way.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double minX() const { return std::min(x, x + width); }
    double maxX() const { return std::max(x, x + width); }
    double minY() const { return std::min(y, y + height); }
    double maxY() const { return std::max(y, y + height); }
    bool isEmpty() const { return !(width != 0 && height != 0); }
    // The same area with a non-negative width and height.
    Rect standardized() const { return {minX(), minY(), maxX() - minX(), maxY() - minY()}; }

    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace hx::image

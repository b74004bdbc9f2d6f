#pragma once
// Points, sizes, rectangles and insets, shared by the image, capture and UI layers. The UI
// measures in points with y growing downwards; a bitmap context's user space has y growing
// upwards. The types assume neither: "min" and "max" are simply the smaller and larger values.

#include <algorithm>
#include <cmath>

namespace hx {

struct CGPoint {
    double x = 0;
    double y = 0;
    friend bool operator==(const CGPoint&, const CGPoint&) = default;
};

struct CGSize {
    double width = 0;
    double height = 0;
    friend bool operator==(const CGSize&, const CGSize&) = default;
};

struct CGVector {
    double dx = 0;
    double dy = 0;
    friend bool operator==(const CGVector&, const CGVector&) = default;
};

// A rectangle by its top-left origin and size. Negative sizes describe the same area measured
// the other way; the accessors below always answer for the standardized rectangle.
struct CGRect {
    CGPoint origin;
    CGSize size;

    double minX() const { return std::min(origin.x, origin.x + size.width); }
    double maxX() const { return std::max(origin.x, origin.x + size.width); }
    double minY() const { return std::min(origin.y, origin.y + size.height); }
    double maxY() const { return std::max(origin.y, origin.y + size.height); }
    double midX() const { return (minX() + maxX()) / 2; }
    double midY() const { return (minY() + maxY()) / 2; }
    double width() const { return std::abs(size.width); }
    double height() const { return std::abs(size.height); }
    bool isEmpty() const { return size.width == 0 || size.height == 0; }
    CGRect standardized() const { return {{minX(), minY()}, {width(), height()}}; }
    // Half-open on the far edges, as hit-testing expects.
    bool contains(const CGPoint& point) const {
        return point.x >= minX() && point.x < maxX() && point.y >= minY() && point.y < maxY();
    }
    bool containsRect(const CGRect& other) const;
    bool intersects(const CGRect& other) const;
    // The shared area; an empty rectangle at the origin when they do not overlap.
    CGRect intersection(const CGRect& other) const;
    // The smallest rectangle holding both; an empty one counts as absent.
    CGRect unionWith(const CGRect& other) const;
    CGRect insetBy(double dx, double dy) const;
    CGRect offsetBy(double dx, double dy) const;

    friend bool operator==(const CGRect&, const CGRect&) = default;
};

struct UIEdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;
    friend bool operator==(const UIEdgeInsets&, const UIEdgeInsets&) = default;
};

inline constexpr CGPoint CGPointZero{};
inline constexpr CGSize CGSizeZero{};
inline constexpr CGRect CGRectZero{};
inline constexpr UIEdgeInsets UIEdgeInsetsZero{};

inline CGPoint CGPointMake(double x, double y) {
    return {x, y};
}
inline CGSize CGSizeMake(double width, double height) {
    return {width, height};
}
inline CGRect CGRectMake(double x, double y, double width, double height) {
    return {{x, y}, {width, height}};
}
inline UIEdgeInsets UIEdgeInsetsMake(double top, double left, double bottom, double right) {
    return {top, left, bottom, right};
}
inline double CGRectGetMinX(const CGRect& r) {
    return r.minX();
}
inline double CGRectGetMaxX(const CGRect& r) {
    return r.maxX();
}
inline double CGRectGetMinY(const CGRect& r) {
    return r.minY();
}
inline double CGRectGetMaxY(const CGRect& r) {
    return r.maxY();
}
inline double CGRectGetMidX(const CGRect& r) {
    return r.midX();
}
inline double CGRectGetMidY(const CGRect& r) {
    return r.midY();
}
inline double CGRectGetWidth(const CGRect& r) {
    return r.width();
}
inline double CGRectGetHeight(const CGRect& r) {
    return r.height();
}
inline bool CGRectContainsPoint(const CGRect& r, const CGPoint& p) {
    return r.contains(p);
}
inline bool CGRectIsEmpty(const CGRect& r) {
    return r.isEmpty();
}
inline CGRect CGRectInset(const CGRect& r, double dx, double dy) {
    return r.insetBy(dx, dy);
}
inline CGRect CGRectIntersection(const CGRect& a, const CGRect& b) {
    return a.intersection(b);
}
inline bool CGRectIntersectsRect(const CGRect& a, const CGRect& b) {
    return a.intersects(b);
}
inline CGRect UIEdgeInsetsInsetRect(const CGRect& r, const UIEdgeInsets& insets) {
    CGRect s = r.standardized();
    return {
        {s.origin.x + insets.left, s.origin.y + insets.top},
        {s.size.width - insets.left - insets.right, s.size.height - insets.top - insets.bottom}};
}

}  // namespace hx

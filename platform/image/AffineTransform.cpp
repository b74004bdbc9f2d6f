#include "platform/image/AffineTransform.h"

#include <cmath>

namespace hx::image {

AffineTransform AffineTransform::makeTranslation(double tx, double ty) {
    return {1, 0, 0, 1, tx, ty};
}

AffineTransform AffineTransform::makeScale(double sx, double sy) {
    return {sx, 0, 0, sy, 0, 0};
}

AffineTransform AffineTransform::makeRotation(double radians) {
    const double cosine = std::cos(radians);
    const double sine = std::sin(radians);
    return {cosine, sine, -sine, cosine, 0, 0};
}

AffineTransform AffineTransform::concat(const AffineTransform& first,
                                        const AffineTransform& second) {
    return {
        first.a * second.a + first.b * second.c,
        first.a * second.b + first.b * second.d,
        first.c * second.a + first.d * second.c,
        first.c * second.b + first.d * second.d,
        first.tx * second.a + first.ty * second.c + second.tx,
        first.tx * second.b + first.ty * second.d + second.ty,
    };
}

AffineTransform AffineTransform::translate(double x, double y) const {
    return concat(makeTranslation(x, y), *this);
}

AffineTransform AffineTransform::scale(double sx, double sy) const {
    return concat(makeScale(sx, sy), *this);
}

AffineTransform AffineTransform::rotate(double radians) const {
    return concat(makeRotation(radians), *this);
}

std::optional<AffineTransform> AffineTransform::invert() const {
    const double determinant = a * d - b * c;
    if (determinant == 0 || !std::isfinite(determinant)) return std::nullopt;
    const double inverse = 1 / determinant;
    return AffineTransform{
        d * inverse,
        -b * inverse,
        -c * inverse,
        a * inverse,
        (c * ty - d * tx) * inverse,
        (b * tx - a * ty) * inverse,
    };
}

Point AffineTransform::apply(const Point& point) const {
    return {a * point.x + c * point.y + tx, b * point.x + d * point.y + ty};
}

Rect AffineTransform::apply(const Rect& rect) const {
    const Point corners[] = {
        apply(Point{rect.x, rect.y}),
        apply(Point{rect.x + rect.width, rect.y}),
        apply(Point{rect.x, rect.y + rect.height}),
        apply(Point{rect.x + rect.width, rect.y + rect.height}),
    };
    double minX = corners[0].x, maxX = corners[0].x, minY = corners[0].y, maxY = corners[0].y;
    for (const Point& corner : corners) {
        minX = std::min(minX, corner.x);
        maxX = std::max(maxX, corner.x);
        minY = std::min(minY, corner.y);
        maxY = std::max(maxY, corner.y);
    }
    return {minX, minY, maxX - minX, maxY - minY};
}

}  // namespace hx::image

#include "platform/geometry/AffineTransform.h"

#include <cmath>

namespace hx {

std::optional<CGAffineTransform> CGAffineTransform::inverted() const {
    double det = a * d - b * c;
    if (det == 0 || !std::isfinite(det)) return std::nullopt;
    CGAffineTransform inv;
    inv.a = d / det;
    inv.b = -b / det;
    inv.c = -c / det;
    inv.d = a / det;
    inv.tx = -(inv.a * tx + inv.c * ty);
    inv.ty = -(inv.b * tx + inv.d * ty);
    return inv;
}

CGPoint CGAffineTransform::apply(const CGPoint& p) const {
    return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty};
}

CGSize CGAffineTransform::applyToSize(const CGSize& s) const {
    return {a * s.width + c * s.height, b * s.width + d * s.height};
}

CGRect CGAffineTransform::applyToRect(const CGRect& rect) const {
    CGRect r = rect.standardized();
    CGPoint corners[4] = {apply({r.minX(), r.minY()}), apply({r.maxX(), r.minY()}),
                          apply({r.minX(), r.maxY()}), apply({r.maxX(), r.maxY()})};
    double x0 = corners[0].x, x1 = corners[0].x, y0 = corners[0].y, y1 = corners[0].y;
    for (const CGPoint& p : corners) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    return {{x0, y0}, {x1 - x0, y1 - y0}};
}

double CGAffineTransform::rotationAngle() const {
    return std::atan2(b, a);
}
double CGAffineTransform::scaleX() const {
    return std::hypot(a, b);
}
double CGAffineTransform::scaleY() const {
    double sx = scaleX();
    return sx == 0 ? std::hypot(c, d) : (a * d - b * c) / sx;
}

CGAffineTransform CGAffineTransformMake(double a, double b, double c, double d, double tx,
                                        double ty) {
    return {a, b, c, d, tx, ty};
}

CGAffineTransform CGAffineTransformMakeRotation(double angle) {
    double cosine = std::cos(angle);
    double sine = std::sin(angle);
    // Snap the quarter turns the screens use, so that frames come out exact.
    auto snap = [](double v) { return std::abs(v) < 1e-12 ? 0.0 : v; };
    return {snap(cosine), snap(sine), snap(-sine), snap(cosine), 0, 0};
}

CGAffineTransform CGAffineTransformMakeScale(double sx, double sy) {
    return {sx, 0, 0, sy, 0, 0};
}

CGAffineTransform CGAffineTransformMakeTranslation(double tx, double ty) {
    return {1, 0, 0, 1, tx, ty};
}

CGAffineTransform CGAffineTransformConcat(const CGAffineTransform& t1,
                                          const CGAffineTransform& t2) {
    return {t1.a * t2.a + t1.b * t2.c,           t1.a * t2.b + t1.b * t2.d,
            t1.c * t2.a + t1.d * t2.c,           t1.c * t2.b + t1.d * t2.d,
            t1.tx * t2.a + t1.ty * t2.c + t2.tx, t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

CGAffineTransform CGAffineTransformRotate(const CGAffineTransform& t, double angle) {
    return CGAffineTransformConcat(CGAffineTransformMakeRotation(angle), t);
}

CGAffineTransform CGAffineTransformScale(const CGAffineTransform& t, double sx, double sy) {
    return CGAffineTransformConcat(CGAffineTransformMakeScale(sx, sy), t);
}

CGAffineTransform CGAffineTransformTranslate(const CGAffineTransform& t, double tx, double ty) {
    return CGAffineTransformConcat(CGAffineTransformMakeTranslation(tx, ty), t);
}

CGAffineTransform CGAffineTransformInvert(const CGAffineTransform& t) {
    return t.inverted().value_or(CGAffineTransformIdentity);
}

bool CGAffineTransformIsIdentity(const CGAffineTransform& t) {
    return t.isIdentity();
}

CGPoint CGPointApplyAffineTransform(const CGPoint& point, const CGAffineTransform& t) {
    return t.apply(point);
}

CGSize CGSizeApplyAffineTransform(const CGSize& size, const CGAffineTransform& t) {
    return t.applyToSize(size);
}

CGRect CGRectApplyAffineTransform(const CGRect& rect, const CGAffineTransform& t) {
    return t.applyToRect(rect);
}

}  // namespace hx

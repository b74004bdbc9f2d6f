#include "platform/ui/drawing/CGContext.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include <QPainter>
#include <QPainterPath>

#include "platform/ui/drawing/UIImage.h"

namespace hx {

namespace {

thread_local CGContext* currentContext = nullptr;

QColor toQColor(double r, double g, double b, double a) {
    return QColor::fromRgbF(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b),
                            static_cast<float>(a));
}

QRectF toQRect(const CGRect& rect) {
    CGRect r = rect.standardized();
    return QRectF(r.origin.x, r.origin.y, r.size.width, r.size.height);
}

}  // namespace

struct CGContext::Impl {
    struct GraphicsState {
        QColor fill = Qt::black;
        QColor stroke = Qt::black;
        double lineWidth = 1;
        Qt::PenCapStyle cap = Qt::FlatCap;
        Qt::PenJoinStyle join = Qt::MiterJoin;
        CGAffineTransform textMatrix;
    };
    GraphicsState state;
    std::vector<GraphicsState> saved;
    QPainterPath path;

    QPen pen() const {
        QPen pen(state.stroke);
        pen.setWidthF(state.lineWidth);
        pen.setCapStyle(state.cap);
        pen.setJoinStyle(state.join);
        return pen;
    }
};

CGContext::CGContext(QPainter& painter) : painter_(painter), impl_(std::make_unique<Impl>()) {}

CGContext::~CGContext() {
    // Leave the painter as it was given, whatever saves the drawing left open.
    while (!impl_->saved.empty()) {
        impl_->saved.pop_back();
        painter_.restore();
    }
}

CGContext::CurrentScope::CurrentScope(CGContext& context) : previous_(currentContext) {
    currentContext = &context;
}

CGContext::CurrentScope::~CurrentScope() {
    currentContext = previous_;
}

CGContextRef UIGraphicsGetCurrentContext() {
    return currentContext;
}

namespace {

// Fills or strokes with the painter's opacity left as the caller set it.
void drawPath(CGContext& context, const QPainterPath& path, bool fill, bool stroke,
              Qt::FillRule rule) {
    auto& impl = context.impl();
    QPainter& painter = context.painter();
    QPainterPath shape = path;
    shape.setFillRule(rule);
    if (fill) painter.fillPath(shape, impl.state.fill);
    if (stroke) painter.strokePath(shape, impl.pen());
}

}  // namespace

void CGContextSaveGState(CGContextRef context) {
    if (!context) return;
    context->impl().saved.push_back(context->impl().state);
    context->painter().save();
}

void CGContextRestoreGState(CGContextRef context) {
    if (!context || context->impl().saved.empty()) return;
    context->impl().state = context->impl().saved.back();
    context->impl().saved.pop_back();
    context->painter().restore();
}

void CGContextSetRGBFillColor(CGContextRef context, double red, double green, double blue,
                              double alpha) {
    if (context) context->impl().state.fill = toQColor(red, green, blue, alpha);
}

void CGContextSetRGBStrokeColor(CGContextRef context, double red, double green, double blue,
                                double alpha) {
    if (context) context->impl().state.stroke = toQColor(red, green, blue, alpha);
}

void CGContextSetGrayFillColor(CGContextRef context, double gray, double alpha) {
    CGContextSetRGBFillColor(context, gray, gray, gray, alpha);
}

void CGContextSetGrayStrokeColor(CGContextRef context, double gray, double alpha) {
    CGContextSetRGBStrokeColor(context, gray, gray, gray, alpha);
}

void CGContextSetFillColorWithColor(CGContextRef context, const UIColor& color) {
    CGContextSetRGBFillColor(context, color.red(), color.green(), color.blue(), color.alpha());
}

void CGContextSetStrokeColorWithColor(CGContextRef context, const UIColor& color) {
    CGContextSetRGBStrokeColor(context, color.red(), color.green(), color.blue(), color.alpha());
}

void CGContextSetAlpha(CGContextRef context, double alpha) {
    if (context) context->painter().setOpacity(std::clamp(alpha, 0.0, 1.0));
}

void CGContextSetLineWidth(CGContextRef context, double width) {
    if (context) context->impl().state.lineWidth = std::max(0.0, width);
}

void CGContextSetLineCap(CGContextRef context, CGLineCap cap) {
    if (!context) return;
    static constexpr Qt::PenCapStyle styles[] = {Qt::FlatCap, Qt::RoundCap, Qt::SquareCap};
    context->impl().state.cap = styles[static_cast<int>(cap)];
}

void CGContextSetLineJoin(CGContextRef context, CGLineJoin join) {
    if (!context) return;
    static constexpr Qt::PenJoinStyle styles[] = {Qt::MiterJoin, Qt::RoundJoin, Qt::BevelJoin};
    context->impl().state.join = styles[static_cast<int>(join)];
}

void CGContextSetShouldAntialias(CGContextRef context, bool antialias) {
    if (context) context->painter().setRenderHint(QPainter::Antialiasing, antialias);
}

void CGContextSetTextMatrix(CGContextRef context, const CGAffineTransform& transform) {
    if (context) context->impl().state.textMatrix = transform;
}

CGAffineTransform CGContextGetTextMatrix(CGContextRef context) {
    return context ? context->impl().state.textMatrix : CGAffineTransformIdentity;
}

void CGContextTranslateCTM(CGContextRef context, double tx, double ty) {
    if (context) context->painter().translate(tx, ty);
}

void CGContextScaleCTM(CGContextRef context, double sx, double sy) {
    if (context) context->painter().scale(sx, sy);
}

void CGContextRotateCTM(CGContextRef context, double angle) {
    if (context) context->painter().rotate(angle * 180 / std::numbers::pi);
}

void CGContextConcatCTM(CGContextRef context, const CGAffineTransform& t) {
    if (context)
        context->painter().setWorldTransform(QTransform(t.a, t.b, t.c, t.d, t.tx, t.ty), true);
}

void CGContextBeginPath(CGContextRef context) {
    if (context) context->impl().path = QPainterPath();
}

void CGContextMoveToPoint(CGContextRef context, double x, double y) {
    if (context) context->impl().path.moveTo(x, y);
}

void CGContextAddLineToPoint(CGContextRef context, double x, double y) {
    if (context) context->impl().path.lineTo(x, y);
}

void CGContextAddRect(CGContextRef context, const CGRect& rect) {
    if (context) context->impl().path.addRect(toQRect(rect));
}

void CGContextAddEllipseInRect(CGContextRef context, const CGRect& rect) {
    if (context) context->impl().path.addEllipse(toQRect(rect));
}

void CGContextAddArc(CGContextRef context, double x, double y, double radius, double startAngle,
                     double endAngle, bool clockwise) {
    if (!context) return;
    // Angles run clockwise on screen (y down). Qt's arcTo counts degrees anticlockwise.
    double sweep = endAngle - startAngle;
    if (clockwise) {
        while (sweep > 0) sweep -= 2 * std::numbers::pi;
    } else {
        while (sweep < 0) sweep += 2 * std::numbers::pi;
    }
    QPainterPath& path = context->impl().path;
    QPointF start(x + radius * std::cos(startAngle), y + radius * std::sin(startAngle));
    if (path.elementCount() == 0) {
        path.moveTo(start);
    } else {
        path.lineTo(start);
    }
    QRectF box(x - radius, y - radius, 2 * radius, 2 * radius);
    path.arcTo(box, -startAngle * 180 / std::numbers::pi, -sweep * 180 / std::numbers::pi);
}

void CGContextClosePath(CGContextRef context) {
    if (context) context->impl().path.closeSubpath();
}

bool CGContextIsPathEmpty(CGContextRef context) {
    return !context || context->impl().path.elementCount() == 0;
}

void CGContextDrawPath(CGContextRef context, CGPathDrawingMode mode) {
    if (!context) return;
    bool evenOdd = mode == CGPathDrawingMode::EOFill || mode == CGPathDrawingMode::EOFillStroke;
    bool fill = mode != CGPathDrawingMode::Stroke;
    bool stroke = mode == CGPathDrawingMode::Stroke || mode == CGPathDrawingMode::FillStroke ||
                  mode == CGPathDrawingMode::EOFillStroke;
    drawPath(*context, context->impl().path, fill, stroke,
             evenOdd ? Qt::OddEvenFill : Qt::WindingFill);
    context->impl().path = QPainterPath();
}

void CGContextFillPath(CGContextRef context) {
    CGContextDrawPath(context, CGPathDrawingMode::Fill);
}

void CGContextEOFillPath(CGContextRef context) {
    CGContextDrawPath(context, CGPathDrawingMode::EOFill);
}

void CGContextStrokePath(CGContextRef context) {
    CGContextDrawPath(context, CGPathDrawingMode::Stroke);
}

void CGContextClip(CGContextRef context) {
    if (!context) return;
    context->painter().setClipPath(context->impl().path, Qt::IntersectClip);
    context->impl().path = QPainterPath();
}

void CGContextFillRect(CGContextRef context, const CGRect& rect) {
    if (context) context->painter().fillRect(toQRect(rect), context->impl().state.fill);
}

void CGContextStrokeRect(CGContextRef context, const CGRect& rect) {
    if (!context) return;
    QPainterPath path;
    path.addRect(toQRect(rect));
    drawPath(*context, path, false, true, Qt::WindingFill);
}

void CGContextStrokeRectWithWidth(CGContextRef context, const CGRect& rect, double width) {
    if (!context) return;
    double saved = context->impl().state.lineWidth;
    context->impl().state.lineWidth = width;
    CGContextStrokeRect(context, rect);
    context->impl().state.lineWidth = saved;
}

void CGContextFillEllipseInRect(CGContextRef context, const CGRect& rect) {
    if (!context) return;
    QPainterPath path;
    path.addEllipse(toQRect(rect));
    drawPath(*context, path, true, false, Qt::WindingFill);
}

void CGContextStrokeEllipseInRect(CGContextRef context, const CGRect& rect) {
    if (!context) return;
    QPainterPath path;
    path.addEllipse(toQRect(rect));
    drawPath(*context, path, false, true, Qt::WindingFill);
}

void CGContextClearRect(CGContextRef context, const CGRect& rect) {
    if (!context) return;
    QPainter& painter = context->painter();
    auto mode = painter.compositionMode();
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.fillRect(toQRect(rect), Qt::transparent);
    painter.setCompositionMode(mode);
}

void CGContextClipToRect(CGContextRef context, const CGRect& rect) {
    if (context) context->painter().setClipRect(toQRect(rect), Qt::IntersectClip);
}

void CGContextDrawImage(CGContextRef context, const CGRect& rect, const UIImage& image) {
    if (!context) return;
    const QImage& pixels = image.qimage();
    if (pixels.isNull()) return;
    context->painter().drawImage(toQRect(rect), pixels);
}

}  // namespace hx

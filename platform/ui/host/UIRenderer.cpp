#include "platform/ui/host/UIRenderer.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPainterPath>

#include "platform/ui/drawing/CGContext.h"
#include "platform/ui/host/QtApplication.h"
#include "platform/ui/view/DrawableComposition.h"
#include "platform/ui/window/UIScreen.h"
#include "platform/ui/window/UIWindow.h"

namespace hx {

namespace {

QColor toQColor(const UIColor& c) {
    return QColor::fromRgbF(static_cast<float>(c.red()), static_cast<float>(c.green()),
                            static_cast<float>(c.blue()), static_cast<float>(c.alpha()));
}

QPainterPath outline(const QRectF& rect, double radius) {
    QPainterPath path;
    if (radius > 0) {
        double r = std::min({radius, rect.width() / 2, rect.height() / 2});
        path.addRoundedRect(rect, r, r);
    } else {
        path.addRect(rect);
    }
    return path;
}

QTransform superviewToBounds(const UIViewPresentation& p) {
    // Bounds coordinates -> superview coordinates: about the bounds' centre, turned by the
    // transform, placed at the centre.
    const CGAffineTransform& t = p.transform;
    QTransform m = QTransform::fromTranslate(-(p.bounds.midX()), -(p.bounds.midY()));
    m *= QTransform(t.a, t.b, t.c, t.d, t.tx, t.ty);
    m *= QTransform::fromTranslate(p.center.x, p.center.y);
    return m;
}

// The area a view and its visible subviews cover, in its bounds coordinates.
QRectF subtreeBox(UIView& view, const UIViewPresentation& p) {
    QRectF box(p.bounds.minX(), p.bounds.minY(), p.bounds.width(), p.bounds.height());
    if (view.clipsToBounds()) return box;
    for (const auto& child : view.subviews()) {
        if (child->isHidden()) continue;
        UIViewPresentation cp = child->presentation();
        box |= superviewToBounds(cp).mapRect(subtreeBox(*child, cp));
    }
    return box;
}

}  // namespace

void UIRenderer::layoutTree(UIView& root) {
    root.layoutIfNeeded();
}

QImage UIRenderer::renderWindow(UIWindow& window, double scale, DrawableComposition* composition) {
    ui::ensureQtApplication();
    if (scale <= 0) scale = UIScreen::mainScreen().scale();
    layoutTree(window);
    CGRect frame = window.frame();
    int width = std::max(1, static_cast<int>(std::lround(frame.width() * scale)));
    int height = std::max(1, static_cast<int>(std::lround(frame.height() * scale)));
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    painter.translate(-frame.minX(), -frame.minY());
    if (composition) {
        DrawableComposition::Scope scope(*composition, &image);
        drawView(window, painter, scale);
    } else {
        drawView(window, painter, scale);
    }
    painter.end();
    return image;
}

QImage UIRenderer::renderView(UIView& view, double scale) {
    ui::ensureQtApplication();
    layoutTree(view);
    CGRect b = view.bounds();
    int width = std::max(1, static_cast<int>(std::lround(b.width() * scale)));
    int height = std::max(1, static_cast<int>(std::lround(b.height() * scale)));
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    // Place the view so that its bounds fill the image, whatever its centre and transform.
    UIViewPresentation p = view.presentation();
    painter.translate(-b.minX(), -b.minY());
    QTransform toSuperview = superviewToBounds(p);
    painter.setWorldTransform(toSuperview.inverted(), true);
    drawView(view, painter, scale);
    painter.end();
    return image;
}

void UIRenderer::drawView(UIView& view, QPainter& painter, double scale) {
    if (view.isHidden()) return;
    UIViewPresentation p = view.presentation();
    if (p.alpha <= 0) return;
    painter.save();
    painter.setWorldTransform(superviewToBounds(p), true);

    auto drawBody = [&](QPainter& target) {
        QRectF rect(p.bounds.minX(), p.bounds.minY(), p.bounds.width(), p.bounds.height());
        const CALayer& layer = view.layer();
        QPainterPath shape = outline(rect, layer.cornerRadius());
        if (!p.backgroundColor.isClear()) target.fillPath(shape, toQColor(p.backgroundColor));
        target.save();
        if (view.clipsToBounds()) target.setClipPath(shape, Qt::IntersectClip);
        {
            target.save();
            CGContext context(target);
            context.setBackingScale(scale);
            CGContext::CurrentScope current(context);
            view.drawContent(context);
            target.restore();
        }
        auto children = view.subviews();
        for (const auto& child : children) drawView(*child, target, scale);
        target.restore();
        if (layer.borderWidth() > 0) {
            double w = layer.borderWidth();
            QRectF inner = rect.adjusted(w / 2, w / 2, -w / 2, -w / 2);
            QPen pen(toQColor(layer.borderColor()), w);
            pen.setJoinStyle(Qt::MiterJoin);
            target.strokePath(outline(inner, std::max(0.0, layer.cornerRadius() - w / 2)), pen);
        }
    };

    if (p.alpha >= 1 || view.subviews().empty()) {
        painter.setOpacity(painter.opacity() * p.alpha);
        drawBody(painter);
    } else {
        // A translucent view with subviews fades as one picture, not view by view.
        QRectF deviceBox = painter.worldTransform().mapRect(subtreeBox(view, p));
        QRect deviceRect = deviceBox.toAlignedRect().intersected(
            QRect(0, 0, painter.device()->width(), painter.device()->height()));
        if (!deviceRect.isEmpty()) {
            QImage layer(deviceRect.size(), QImage::Format_ARGB32_Premultiplied);
            layer.fill(Qt::transparent);
            QPainter layerPainter(&layer);
            layerPainter.setRenderHints(painter.renderHints());
            layerPainter.setWorldTransform(
                painter.worldTransform() *
                QTransform::fromTranslate(-deviceRect.left(), -deviceRect.top()));
            drawBody(layerPainter);
            layerPainter.end();
            painter.save();
            painter.resetTransform();
            painter.setOpacity(painter.opacity() * p.alpha);
            painter.drawImage(deviceRect.topLeft(), layer);
            painter.restore();
        }
    }
    painter.restore();
}

}  // namespace hx

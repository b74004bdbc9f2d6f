#include "platform/widgetkit/WidgetRenderer.h"

#include <cmath>

#include <QPainter>
#include <QPainterPath>

#include "platform/ui/drawing/CGContext.h"
#include "platform/ui/host/QtApplication.h"

namespace hx {

namespace {

QImage blankImage(WidgetFamily family, double scale) {
    const CGSize size = widgetDisplaySize(family);
    QImage image(static_cast<int>(std::lround(size.width * scale)),
                 static_cast<int>(std::lround(size.height * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void drawView(const View& view, WidgetFamily family, double scale, QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    CGContext context(painter);
    context.setBackingScale(scale);
    EnvironmentValues environment;
    environment.widgetFamily = family;
    environment.displayScale = scale;
    drawWidgetView(view, context, widgetDisplaySize(family), environment);
}

// The plate's outline in points.
QPainterPath plateShape(WidgetFamily family) {
    const CGSize size = widgetDisplaySize(family);
    QPainterPath path;
    if (family == WidgetFamily::accessoryCircular) {
        path.addEllipse(QRectF(0, 0, size.width, size.height));
    } else {
        const double radius = isAccessoryFamily(family) ? std::min(12.0, size.height / 2) : 21.67;
        path.addRoundedRect(QRectF(0, 0, size.width, size.height), radius, radius);
    }
    return path;
}

}  // namespace

QImage WidgetRenderer::renderContent(const View& view, WidgetFamily family, double scale) {
    ui::ensureQtApplication();
    QImage image = blankImage(family, scale);
    QPainter painter(&image);
    drawView(view, family, scale, painter);
    painter.end();
    return image;
}

QImage WidgetRenderer::renderOnPlate(const View& view, WidgetFamily family, double scale) {
    ui::ensureQtApplication();
    QImage image = blankImage(family, scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = QTransform::fromScale(scale, scale).map(plateShape(family));
    // Home-screen plates are light; lock-screen accessories sit on a dim, translucent disc.
    painter.fillPath(shape,
                     isAccessoryFamily(family) ? QColor(40, 40, 40, 160) : QColor(242, 242, 247));
    painter.setClipPath(shape);
    drawView(view, family, scale, painter);
    painter.end();
    return image;
}

}  // namespace hx

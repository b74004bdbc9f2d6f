#pragma once
// Draws a widget's view as the widget host shows it: the family's size at a screen scale, on
// the host's plate (a rounded square for home-screen families, a disc or rounded bar for the
// lock-screen accessories) that shows where the widget's own background is clear, and cut to
// the plate's shape.
//
// Threads: main thread only (Qt painting).

#include <QImage>

#include "platform/widgetkit/WidgetFamily.h"
#include "platform/widgetkit/WidgetViews.h"

namespace hx {

class WidgetRenderer {
  public:
    // The view alone, transparent where it draws nothing; family size × scale pixels.
    static QImage renderContent(const View& view, WidgetFamily family, double scale);
    // The view on the host's plate, transparent outside the plate's shape.
    static QImage renderOnPlate(const View& view, WidgetFamily family, double scale);
};

}  // namespace hx

#pragma once
// The host's widgets on the desktop: one small frameless window per widget, showing its
// picture at the screen's scale, which a person can drag to where it should stay; the place
// is remembered per widget and family (in the host's own settings) for the next start. Also
// drives the main run loop from Qt's event loop.
//
// Threads: main thread only.

#include <map>
#include <memory>
#include <string>

class QWidget;

#include "tools/halidex-widget-host/WidgetHost.h"

namespace hx::widget_host {

class WidgetWindows {
  public:
    explicit WidgetWindows(WidgetHost& host);
    ~WidgetWindows();
    WidgetWindows(const WidgetWindows&) = delete;
    WidgetWindows& operator=(const WidgetWindows&) = delete;

    // Shows (or updates) the window of an instance.
    void show(WidgetInstance& instance);
    // Runs Qt's event loop until quit() or every window is closed.
    int exec();
    void quit();

    // The pixels per point of the desktop's main screen.
    static double screenScale();
    // The settings key of a widget's place.
    static std::string placeKey(const WidgetInstance& instance);

    // The window of an instance; null before its first picture.
    QWidget* windowOf(const WidgetInstance& instance) const;

    class Window;

  private:
    void pump();

    WidgetHost& host_;
    std::map<const WidgetInstance*, std::unique_ptr<Window>> windows_;
    struct Pump;
    std::unique_ptr<Pump> pump_;
    int placed_ = 0;
};

}  // namespace hx::widget_host

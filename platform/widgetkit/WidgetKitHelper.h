#pragma once

// What the camera calls once each time its screen loads: ask the widget service to reload the
// timelines of all of the application's widgets. Failures are not reported; a widget that
// misses the request refreshes at its next scheduled reload.

namespace hx {

class WidgetKitHelper {
  public:
    static void reloadAllWidgets();
};

}  // namespace hx

#include "platform/widgetkit/WidgetKitHelper.h"

#include "platform/widgetkit/WidgetCenter.h"

namespace hx {

void WidgetKitHelper::reloadAllWidgets() {
    WidgetCenter::shared().reloadAllTimelines();
}

}  // namespace hx

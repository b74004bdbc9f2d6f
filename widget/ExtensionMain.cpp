// The extension's entry point: the one symbol the widget host looks up.

#include "widget/halidexwidget.h"

extern "C" __attribute__((visibility("default"))) hx::WidgetBundle* hxWidgetExtensionMain() {
    return new hx::halidexwidgetBundle();
}

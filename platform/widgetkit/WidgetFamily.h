#pragma once
// The sizes and places a widget can be shown in, with their size in points as the widget host
// lays them out, and the names the host's command line uses for them.
//
// Threads: any (pure functions).

#include <optional>
#include <string>
#include <vector>

#include "platform/geometry/Geometry.h"

namespace hx {

enum class WidgetFamily : int {
    systemSmall = 0,
    systemMedium = 1,
    systemLarge = 2,
    systemExtraLarge = 3,
    accessoryCircular = 10,
    accessoryRectangular = 11,
    accessoryInline = 12,
};

// "small", "medium", "large", "extra-large", "accessory-circular", "accessory-rectangular",
// "accessory-inline".
const char* widgetFamilyName(WidgetFamily family);
std::optional<WidgetFamily> widgetFamilyFromName(const std::string& name);
std::vector<WidgetFamily> allWidgetFamilies();

// The widget's size in points: small 170 × 170, medium 364 × 170, large 364 × 382, extra large
// 715 × 382, accessory circular 76 × 76, rectangular 172 × 76, inline 257 × 26.
CGSize widgetDisplaySize(WidgetFamily family);
// Home-screen families sit on a rounded plate; accessory families on the lock screen.
bool isAccessoryFamily(WidgetFamily family);

// Pixels per point of the screen widgets are drawn for: the widget host sets it from the
// desktop's screen (2 until then). Any thread.
double widgetScreenScale();
void setWidgetScreenScale(double scale);

}  // namespace hx

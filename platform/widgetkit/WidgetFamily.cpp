#include "platform/widgetkit/WidgetFamily.h"

#include <atomic>
#include <cmath>

namespace hx {

namespace {

struct FamilyInfo {
    WidgetFamily family;
    const char* name;
    double width;
    double height;
};

constexpr FamilyInfo kFamilies[] = {
    {WidgetFamily::systemSmall, "small", 170, 170},
    {WidgetFamily::systemMedium, "medium", 364, 170},
    {WidgetFamily::systemLarge, "large", 364, 382},
    {WidgetFamily::systemExtraLarge, "extra-large", 715, 382},
    {WidgetFamily::accessoryCircular, "accessory-circular", 76, 76},
    {WidgetFamily::accessoryRectangular, "accessory-rectangular", 172, 76},
    {WidgetFamily::accessoryInline, "accessory-inline", 257, 26},
};

const FamilyInfo& infoFor(WidgetFamily family) {
    for (const FamilyInfo& info : kFamilies)
        if (info.family == family) return info;
    return kFamilies[0];
}

std::atomic<double> screenScale{2.0};

}  // namespace

const char* widgetFamilyName(WidgetFamily family) {
    return infoFor(family).name;
}

std::optional<WidgetFamily> widgetFamilyFromName(const std::string& name) {
    for (const FamilyInfo& info : kFamilies)
        if (name == info.name) return info.family;
    return std::nullopt;
}

std::vector<WidgetFamily> allWidgetFamilies() {
    std::vector<WidgetFamily> families;
    for (const FamilyInfo& info : kFamilies) families.push_back(info.family);
    return families;
}

CGSize widgetDisplaySize(WidgetFamily family) {
    const FamilyInfo& info = infoFor(family);
    return {info.width, info.height};
}

bool isAccessoryFamily(WidgetFamily family) {
    return family == WidgetFamily::accessoryCircular ||
           family == WidgetFamily::accessoryRectangular || family == WidgetFamily::accessoryInline;
}

double widgetScreenScale() {
    return screenScale.load();
}

void setWidgetScreenScale(double scale) {
    if (std::isfinite(scale) && scale > 0 && scale <= 8) screenScale.store(scale);
}

}  // namespace hx

#include "platform/ui/controllers/UITraitCollection.h"

#include <algorithm>

namespace hx {

namespace {

// Phones at least this wide in portrait keep a regular width in landscape.
constexpr double kLargePhoneWidth = 414;

}  // namespace

UITraitCollection UITraitCollection::current() {
    return forOrientation(UIWindowScene::mainScene().interfaceOrientation());
}

UITraitCollection UITraitCollection::forOrientation(UIInterfaceOrientation orientation) {
    DeviceProfile profile = DeviceProfile::current();
    using Size = UIUserInterfaceSizeClass;
    if (profile.idiom == UserInterfaceIdiom::Pad)
        return {Size::Regular, Size::Regular, profile.scale, profile.idiom};
    if (UIInterfaceOrientationIsLandscape(orientation)) {
        double shortSide = std::min(profile.width, profile.height);
        Size horizontal = shortSide >= kLargePhoneWidth ? Size::Regular : Size::Compact;
        return {horizontal, Size::Compact, profile.scale, profile.idiom};
    }
    return {Size::Compact, Size::Regular, profile.scale, profile.idiom};
}

}  // namespace hx

#include "platform/ui/window/UIScreen.h"

#include "platform/ui/window/UIWindowScene.h"

namespace hx {

UIScreen& UIScreen::mainScreen() {
    static UIScreen screen;
    return screen;
}

CGRect UIScreen::nativeBounds() const {
    DeviceProfile p = profile();
    return CGRectMake(0, 0, p.width, p.height);
}

CGRect UIScreen::bounds() const {
    CGRect portrait = nativeBounds();
    if (UIInterfaceOrientationIsLandscape(UIWindowScene::mainScene().interfaceOrientation())) {
        return CGRectMake(0, 0, portrait.size.height, portrait.size.width);
    }
    return portrait;
}

double UIScreen::scale() const {
    return profile().scale;
}

UIEdgeInsets UIScreen::portraitSafeAreaInsets() const {
    SafeAreaInsets i = profile().safeAreaInsets;
    return {i.top, i.left, i.bottom, i.right};
}

}  // namespace hx

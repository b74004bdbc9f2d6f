// What installing a window's root view controller does: its view fills the window beneath
// everything else there, with the appearance calls, and the previous root's view leaves.

#include "platform/ui/controllers/InterfaceOrientationTransition.h"
#include "platform/ui/controllers/UIViewController.h"
#include "platform/ui/window/UIWindow.h"

namespace hx {

void installRootViewController(UIWindow& window,
                               const std::shared_ptr<UIViewController>& controller,
                               const std::shared_ptr<UIViewController>& previous) {
    ui::followInterfaceOrientation();
    if (previous && previous != controller && previous->isViewLoaded()) {
        const bool shown = previous->view()->superview().get() == &window;
        if (shown) previous->beginAppearanceTransition(false, false);
        previous->view()->removeFromSuperview();
        if (shown) previous->endAppearanceTransition();
    }
    if (!controller) return;
    const std::shared_ptr<UIView>& view = controller->view();
    if (view->superview().get() == &window) return;
    view->setFrame(window.bounds());
    controller->beginAppearanceTransition(true, false);
    window.insertSubview(view, 0);
    controller->endAppearanceTransition();
}

}  // namespace hx

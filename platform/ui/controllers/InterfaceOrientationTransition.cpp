#include "platform/ui/controllers/InterfaceOrientationTransition.h"

#include <vector>

#include "platform/ui/controllers/UIViewController.h"
#include "platform/ui/window/UIScreen.h"
#include "platform/ui/window/UIWindow.h"

namespace hx::ui {

namespace {

// The window's root controller and the chain of controllers presented from it.
std::vector<std::shared_ptr<UIViewController>> presentationChain(const UIWindow& window) {
    std::vector<std::shared_ptr<UIViewController>> chain;
    for (auto each = window.rootViewController(); each; each = each->presentedViewController())
        chain.push_back(each);
    return chain;
}

}  // namespace

void followInterfaceOrientation() {
    static bool following = false;
    if (following) return;
    following = true;
    UIWindowScene::mainScene().addOrientationObserver(transitionInterfaceOrientation);
}

void transitionInterfaceOrientation(UIInterfaceOrientation from, UIInterfaceOrientation to) {
    if (from == to) return;
    const UITraitCollection oldTraits = UITraitCollection::forOrientation(from);
    const UITraitCollection newTraits = UITraitCollection::forOrientation(to);
    const CGRect bounds = UIScreen::mainScreen().bounds();
    auto coordinator =
        std::make_shared<UIViewControllerTransitionCoordinator>(true, kRotationDuration);

    struct WindowChain {
        std::shared_ptr<UIWindow> window;
        std::vector<std::shared_ptr<UIViewController>> controllers;
    };
    std::vector<WindowChain> windows;
    for (const auto& window : UIWindowScene::mainScene().windows()) {
        if (!window->rootViewController()) continue;
        windows.push_back({window, presentationChain(*window)});
    }
    for (const WindowChain& each : windows) {
        for (const auto& controller : each.controllers) {
            if (oldTraits != newTraits)
                controller->willTransitionToTraitCollection(newTraits, coordinator);
            controller->viewWillTransitionToSize(bounds.size, coordinator);
        }
    }
    UIView::animateWithDuration(
        kRotationDuration, 0, UIViewAnimationOptionCurveEaseInOut,
        [&windows, &bounds, &coordinator] {
            for (const WindowChain& each : windows) {
                each.window->setFrame(bounds);
                for (const auto& controller : each.controllers) {
                    if (!controller->isViewLoaded()) continue;
                    const std::shared_ptr<UIView>& view = controller->view();
                    if (view->superview() != each.window) continue;
                    view->setFrame(bounds);
                    view->setNeedsLayout();
                    view->layoutIfNeeded();
                }
            }
            coordinator->runAlongsideAnimations();
        },
        [coordinator](bool) { coordinator->runCompletions(); });
}

}  // namespace hx::ui

#include "platform/ui/window/UIWindow.h"

#include "platform/ui/events/TouchDispatcher.h"
#include "platform/ui/window/UIScreen.h"

namespace hx {

UIWindow::UIWindow() : UIWindow(UIScreen::mainScreen().bounds()) {}

UIWindow::UIWindow(const CGRect& frame) : UIView(frame) {
    setBackgroundColor(UIColor::clearColor());
    setMultipleTouchEnabled(true);
}

UIWindow::~UIWindow() {
    UIWindowScene::mainScene().unregisterWindow(this);
}

std::shared_ptr<UIWindow> UIWindow::make(const CGRect& frame) {
    auto window = std::make_shared<UIWindow>(frame);
    window->didRegister();
    return window;
}

std::shared_ptr<UIWindow> UIWindow::make() {
    return make(UIScreen::mainScreen().bounds());
}

std::shared_ptr<UIWindow> UIWindow::window() const {
    auto self = std::const_pointer_cast<UIView>(weak_from_this().lock());
    return std::static_pointer_cast<UIWindow>(self);
}

void UIWindow::didRegister() {
    if (registered_) return;
    auto self = window();
    if (!self) return;
    registered_ = true;
    UIWindowScene::mainScene().registerWindow(self);
}

void UIWindow::setRootViewController(std::shared_ptr<UIViewController> controller) {
    if (controller == rootViewController_) return;
    auto previous = std::move(rootViewController_);
    rootViewController_ = std::move(controller);
    installRootViewController(*this, rootViewController_, previous);
}

void UIWindow::makeKeyAndVisible() {
    setHidden(false);
    makeKeyWindow();
}

void UIWindow::makeKeyWindow() {
    didRegister();
    if (auto self = window()) UIWindowScene::mainScene().setKeyWindow(self);
}

bool UIWindow::isKeyWindow() const {
    return UIWindowScene::mainScene().keyWindow().get() == this;
}

UIEdgeInsets UIWindow::windowSafeAreaInsets() const {
    if (insetsOverride_) return *insetsOverride_;
    UIEdgeInsets p = UIScreen::mainScreen().portraitSafeAreaInsets();
    switch (windowScene()->interfaceOrientation()) {
        case UIInterfaceOrientation::PortraitUpsideDown:
            return {p.bottom, p.right, p.top, p.left};
        case UIInterfaceOrientation::LandscapeRight:
            // Turned anticlockwise: the top of the device is at the left.
            return {p.left, p.top, p.right, p.bottom};
        case UIInterfaceOrientation::LandscapeLeft:
            return {p.right, p.bottom, p.left, p.top};
        default:
            return p;
    }
}

TouchDispatcher& UIWindow::touchDispatcher() {
    if (!dispatcher_) dispatcher_ = std::make_unique<TouchDispatcher>(*this);
    return *dispatcher_;
}

void UIWindow::sendEvent(UIEvent& event) {
    // Touches arrive finger by finger through the dispatcher; an event built elsewhere is
    // replayed by finger and phase.
    TouchDispatcher& dispatcher = touchDispatcher();
    for (const auto& touch : event.allTouches()) {
        switch (touch->phase()) {
            case UITouchPhase::Began:
                dispatcher.fingerDown(touch->finger(), touch->windowLocation());
                break;
            case UITouchPhase::Moved:
            case UITouchPhase::Stationary:
                dispatcher.fingerMoved(touch->finger(), touch->windowLocation());
                break;
            case UITouchPhase::Ended:
                dispatcher.fingerUp(touch->finger(), touch->windowLocation());
                break;
            case UITouchPhase::Cancelled:
                dispatcher.cancelAll();
                break;
        }
    }
}

}  // namespace hx

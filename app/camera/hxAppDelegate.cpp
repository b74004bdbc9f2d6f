#include "app/camera/hxAppDelegate.h"

#include "platform/bundle/Bundle.h"
#include "platform/ui/drawing/UIColor.h"
#include "platform/ui/window/UIScreen.h"

namespace hx::app {

std::string applicationIdentifier() {
    if (auto identifier = Bundle::main().objectForInfoDictionaryKey("CFBundleIdentifier"))
        return *identifier;
    return "org.halidex.camera";
}

std::string takePhotoShortcutType() {
    return applicationIdentifier() + ".takephoto";
}

std::string takeSelfieShortcutType() {
    return applicationIdentifier() + ".takeselfie";
}

bool hxAppDelegate::applicationDidFinishLaunchingWithOptions(UIApplication& application,
                                                             const UIApplicationLaunchOptions&) {
    window_ = UIWindow::make(UIScreen::mainScreen().bounds());
    window_->setBackgroundColor(UIColor::blackColor());
    viewController_ = std::make_shared<hxViewController>();
    window_->setRootViewController(viewController_);
    window_->makeKeyAndVisible();
    return true;
}

void hxAppDelegate::applicationWillResignActive(UIApplication&) {
    if (viewController_) viewController_->goBackground();
}

void hxAppDelegate::applicationDidEnterBackground(UIApplication&) {
    if (viewController_) viewController_->goBackground();
}

void hxAppDelegate::applicationDidBecomeActive(UIApplication&) {
    if (viewController_) viewController_->goForeground();
}

void hxAppDelegate::applicationPerformActionForShortcutItem(
    UIApplication&, const UIApplicationShortcutItem& item,
    std::function<void(bool succeeded)> completionHandler) {
    bool handled = false;
    if (viewController_ && item.type == takePhotoShortcutType()) {
        viewController_->shortCutAction(1);
        handled = true;
    } else if (viewController_ && item.type == takeSelfieShortcutType()) {
        viewController_->shortCutAction(2);
        handled = true;
    }
    if (completionHandler) completionHandler(handled);
}

hxAppDelegate* sharedAppDelegate() {
    return dynamic_cast<hxAppDelegate*>(UIApplication::sharedApplication().delegate().get());
}

}  // namespace hx::app

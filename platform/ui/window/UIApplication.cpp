#include "platform/ui/window/UIApplication.h"

#include "platform/runloop/NotificationCenter.h"
#include "platform/ui/sharing/OpenURL.h"
#include "platform/ui/window/UIWindow.h"

namespace hx {

UIApplication& UIApplication::sharedApplication() {
    static UIApplication application;
    return application;
}

std::shared_ptr<UIWindow> UIApplication::keyWindow() const {
    return UIWindowScene::mainScene().keyWindow();
}

void UIApplication::post(const char* name) {
    NotificationCenter::defaultCenter().postNotificationName(name, this);
}

bool UIApplication::finishLaunching(const UIApplicationLaunchOptions& options) {
    auto delegate = delegate_;
    bool result =
        delegate ? delegate->applicationDidFinishLaunchingWithOptions(*this, options) : true;
    post(UIApplicationDidFinishLaunchingNotification);
    becomeActive();
    return result;
}

void UIApplication::performActionForShortcutItem(const UIApplicationShortcutItem& item) {
    if (auto delegate = delegate_) {
        delegate->applicationPerformActionForShortcutItem(*this, item, [](bool) {});
    }
}

void UIApplication::becomeActive() {
    if (state_ == UIApplicationState::Background) enterForeground();
    if (state_ == UIApplicationState::Active) return;
    state_ = UIApplicationState::Active;
    if (auto delegate = delegate_) delegate->applicationDidBecomeActive(*this);
    post(UIApplicationDidBecomeActiveNotification);
}

void UIApplication::resignActive() {
    if (state_ != UIApplicationState::Active) return;
    if (auto delegate = delegate_) delegate->applicationWillResignActive(*this);
    post(UIApplicationWillResignActiveNotification);
    state_ = UIApplicationState::Inactive;
}

void UIApplication::enterBackground() {
    resignActive();
    if (state_ == UIApplicationState::Background) return;
    state_ = UIApplicationState::Background;
    if (auto delegate = delegate_) delegate->applicationDidEnterBackground(*this);
    post(UIApplicationDidEnterBackgroundNotification);
}

void UIApplication::enterForeground() {
    if (state_ != UIApplicationState::Background) return;
    if (auto delegate = delegate_) delegate->applicationWillEnterForeground(*this);
    post(UIApplicationWillEnterForegroundNotification);
    state_ = UIApplicationState::Inactive;
}

void UIApplication::openURL(const NSURL& url, std::function<void(bool success)> completion) {
    hx::openURL(url, std::move(completion));
}

bool UIApplication::canOpenURL(const NSURL& url) const {
    return hx::canOpenURL(url);
}

void UIApplication::terminate() {
    if (auto delegate = delegate_) delegate->applicationWillTerminate(*this);
    post(UIApplicationWillTerminateNotification);
}

void UIApplication::resetForTesting() {
    state_ = UIApplicationState::Inactive;
    delegate_.reset();
    idleTimerDisabled_ = false;
}

}  // namespace hx

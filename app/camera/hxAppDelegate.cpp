// Placeholder until the delegate lands.
#include "app/camera/hxAppDelegate.h"

namespace hx::app {
std::string applicationIdentifier() { return "org.halidex.camera"; }
std::string takePhotoShortcutType() { return applicationIdentifier() + ".takephoto"; }
std::string takeSelfieShortcutType() { return applicationIdentifier() + ".takeselfie"; }
bool hxAppDelegate::applicationDidFinishLaunchingWithOptions(UIApplication&,
                                                             const UIApplicationLaunchOptions&) {
    return true;
}
void hxAppDelegate::applicationWillResignActive(UIApplication&) {}
void hxAppDelegate::applicationDidEnterBackground(UIApplication&) {}
void hxAppDelegate::applicationDidBecomeActive(UIApplication&) {}
void hxAppDelegate::applicationPerformActionForShortcutItem(UIApplication&,
                                                            const UIApplicationShortcutItem&,
                                                            std::function<void(bool)>) {}
hxAppDelegate* sharedAppDelegate() { return nullptr; }
}  // namespace hx::app

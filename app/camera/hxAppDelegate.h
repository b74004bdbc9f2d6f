#pragma once
// The application's delegate: makes the window with the camera screen as its root, passes the
// application's lifecycle on to the camera screen, and turns the two quick actions (take a
// photo, take a selfie) into the camera screen's shortcut action.
//
// Threads: main thread only.

#include <memory>
#include <string>

#include "app/camera/hxViewController.h"
#include "platform/ui/window/UIApplication.h"
#include "platform/ui/window/UIWindow.h"

namespace hx::app {

// The quick-action types: the application's identifier followed by ".takephoto" and
// ".takeselfie".
std::string applicationIdentifier();
std::string takePhotoShortcutType();
std::string takeSelfieShortcutType();

class hxAppDelegate : public UIApplicationDelegate {
  public:
    bool applicationDidFinishLaunchingWithOptions(
        UIApplication& application, const UIApplicationLaunchOptions& options) override;
    void applicationWillResignActive(UIApplication& application) override;
    void applicationDidEnterBackground(UIApplication& application) override;
    void applicationWillEnterForeground(UIApplication& application) override {}
    void applicationDidBecomeActive(UIApplication& application) override;
    void applicationWillTerminate(UIApplication& application) override {}
    void applicationPerformActionForShortcutItem(
        UIApplication& application, const UIApplicationShortcutItem& item,
        std::function<void(bool succeeded)> completionHandler) override;

    std::shared_ptr<UIWindow> window() const override { return window_; }
    const std::shared_ptr<hxViewController>& viewController() const { return viewController_; }

  private:
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<hxViewController> viewController_;
};

// The application delegate of the running program; null before launch.
hxAppDelegate* sharedAppDelegate();

}  // namespace hx::app

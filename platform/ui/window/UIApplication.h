#pragma once
// The application object: its state (active, inactive, background), its delegate and the
// lifecycle notifications posted through hx::NotificationCenter::defaultCenter() with the
// application as the sender. Hosts call the transition methods: becomeActive() when the window
// gets focus, resignActive() when it loses it, enterBackground() when it is minimised or hidden
// and enterForeground() when it comes back.
//
// Threads: main thread only.

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace hx {

class UIWindow;
class UIApplication;
class NSURL;

inline constexpr const char* UIApplicationDidFinishLaunchingNotification =
    "UIApplicationDidFinishLaunchingNotification";
inline constexpr const char* UIApplicationDidBecomeActiveNotification =
    "UIApplicationDidBecomeActiveNotification";
inline constexpr const char* UIApplicationWillResignActiveNotification =
    "UIApplicationWillResignActiveNotification";
inline constexpr const char* UIApplicationDidEnterBackgroundNotification =
    "UIApplicationDidEnterBackgroundNotification";
inline constexpr const char* UIApplicationWillEnterForegroundNotification =
    "UIApplicationWillEnterForegroundNotification";
inline constexpr const char* UIApplicationWillTerminateNotification =
    "UIApplicationWillTerminateNotification";

enum class UIApplicationState { Active = 0, Inactive = 1, Background = 2 };

// A home-screen quick action.
struct UIApplicationShortcutItem {
    std::string type;
    std::string localizedTitle;
};

using UIApplicationLaunchOptions = std::map<std::string, std::string>;

// The application's delegate; every method has an empty default.
class UIApplicationDelegate {
  public:
    virtual ~UIApplicationDelegate() = default;
    virtual bool applicationDidFinishLaunchingWithOptions(
        UIApplication& application, const UIApplicationLaunchOptions& options) {
        return true;
    }
    virtual void applicationPerformActionForShortcutItem(
        UIApplication& application, const UIApplicationShortcutItem& item,
        std::function<void(bool succeeded)> completionHandler) {
        if (completionHandler) completionHandler(false);
    }
    virtual void applicationDidBecomeActive(UIApplication& application) {}
    virtual void applicationWillResignActive(UIApplication& application) {}
    virtual void applicationDidEnterBackground(UIApplication& application) {}
    virtual void applicationWillEnterForeground(UIApplication& application) {}
    virtual void applicationWillTerminate(UIApplication& application) {}
    // The delegate's window, if it keeps one.
    virtual std::shared_ptr<UIWindow> window() const { return nullptr; }
};

class UIApplication {
  public:
    static UIApplication& sharedApplication();

    UIApplicationState applicationState() const { return state_; }
    // Shared so that a host and the application keep it alive together.
    const std::shared_ptr<UIApplicationDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<UIApplicationDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    std::shared_ptr<UIWindow> keyWindow() const;

    // Runs the delegate's launch method, posts did-finish-launching, then becomes active.
    bool finishLaunching(const UIApplicationLaunchOptions& options = {});
    // Delivers a quick action to the delegate.
    void performActionForShortcutItem(const UIApplicationShortcutItem& item);

    // Transitions; each one that changes the state calls the delegate and posts its
    // notification. Going to the background from active resigns active first; coming back
    // from the background enters the foreground (inactive) first.
    void becomeActive();
    void resignActive();
    void enterBackground();
    void enterForeground();
    void terminate();

    // Hands the URL to the desktop (see OpenURL.h); the completion runs on the main queue.
    void openURL(const NSURL& url, std::function<void(bool success)> completion = nullptr);
    bool canOpenURL(const NSURL& url) const;

    bool isIdleTimerDisabled() const { return idleTimerDisabled_; }
    void setIdleTimerDisabled(bool disabled) { idleTimerDisabled_ = disabled; }

    // Back to the launch state with no delegate (tests).
    void resetForTesting();

  private:
    void post(const char* name);

    UIApplicationState state_ = UIApplicationState::Inactive;
    std::shared_ptr<UIApplicationDelegate> delegate_;
    bool idleTimerDisabled_ = false;
};

}  // namespace hx

#pragma once
// The window: the root of a view tree, with a root view controller, safe-area insets from the
// screen, key status and the touch dispatch for its views.
//
// The window holds its root view controller (shared). What installing one does (adding its
// view, appearance calls) is up to the view controller layer, through
// installRootViewController(), which this layer declares and the controllers define.
//
// Threads: main thread only.

#include <memory>

#include "platform/ui/view/UIView.h"
#include "platform/ui/window/UIWindowScene.h"

namespace hx {

class UIViewController;
class TouchDispatcher;

class UIWindow : public UIView {
  public:
    // A window the size of the main screen's bounds.
    UIWindow();
    explicit UIWindow(const CGRect& frame);
    ~UIWindow() override;
    static std::shared_ptr<UIWindow> make(const CGRect& frame);
    static std::shared_ptr<UIWindow> make();

    std::shared_ptr<UIWindow> window() const override;

    const std::shared_ptr<UIViewController>& rootViewController() const {
        return rootViewController_;
    }
    void setRootViewController(std::shared_ptr<UIViewController> controller);

    void makeKeyAndVisible();
    void makeKeyWindow();
    bool isKeyWindow() const;
    UIWindowScene* windowScene() const { return &UIWindowScene::mainScene(); }

    // The screen's insets for the scene's interface orientation.
    UIEdgeInsets windowSafeAreaInsets() const;
    // Overrides the screen's insets (tests, hosts); nothing returns to the screen's.
    void setSafeAreaInsetsOverride(std::optional<UIEdgeInsets> insets) { insetsOverride_ = insets; }

    // Sends the event's touches to their views and recognisers.
    void sendEvent(UIEvent& event);
    // Touch dispatch state (hosts feed it fingers).
    TouchDispatcher& touchDispatcher();

    // For the window scene: where the window registers itself.
    void didRegister();

  private:
    std::shared_ptr<UIViewController> rootViewController_;
    std::optional<UIEdgeInsets> insetsOverride_;
    std::unique_ptr<TouchDispatcher> dispatcher_;
    bool registered_ = false;
};

// Defined by the view controller layer: adds the controller's view to the window and makes the
// appearance calls. Called by setRootViewController() after the pointer is stored (with null
// when it is cleared); `previous` is the controller that was there before.
void installRootViewController(UIWindow& window,
                               const std::shared_ptr<UIViewController>& controller,
                               const std::shared_ptr<UIViewController>& previous);

}  // namespace hx

#pragma once
// A stack of view controllers shown one at a time, with a navigation bar at the top for the
// top controller's navigation item (and a back button) and a toolbar at the bottom for its
// toolbar items (hidden by default).
//
// The controllers' views fill the navigation controller's view, under the bars (the bars are
// translucent). Pushing slides the new view in from the right; popping slides the top one out
// to the right. Appearance calls, while the navigation controller itself is on screen:
// pushing B over A calls A.viewWillDisappear, B.viewWillAppear, then (after the animation)
// A.viewDidDisappear, B.viewDidAppear; popping runs the same with the roles swapped. A push or
// pop while another is animating first ends that one at once.
//
// Threads: main thread only.

#include <memory>
#include <vector>

#include "platform/ui/controllers/UIViewController.h"
#include "platform/ui/navigation/UINavigationBar.h"
#include "platform/ui/navigation/UIToolbar.h"

namespace hx {

class UINavigationController : public UIViewController {
  public:
    static constexpr double kPushDuration = 0.35;
    static constexpr double kBarDuration = 0.25;

    // initWithRootViewController:
    explicit UINavigationController(std::shared_ptr<UIViewController> rootViewController = nullptr);
    ~UINavigationController() override;

    static std::shared_ptr<UINavigationController> make(
        std::shared_ptr<UIViewController> rootViewController) {
        return std::make_shared<UINavigationController>(std::move(rootViewController));
    }

    // The stack, root first.
    std::vector<std::shared_ptr<UIViewController>> viewControllers() const { return stack_; }
    void setViewControllers(std::vector<std::shared_ptr<UIViewController>> controllers,
                            bool animated);
    std::shared_ptr<UIViewController> topViewController() const;
    // What is on screen: the controller the top one presents, else the top one.
    std::shared_ptr<UIViewController> visibleViewController() const;

    void pushViewController(std::shared_ptr<UIViewController> controller, bool animated);
    // The controller taken off; null (and nothing done) when only the root is left.
    std::shared_ptr<UIViewController> popViewControllerAnimated(bool animated);
    std::vector<std::shared_ptr<UIViewController>> popToRootViewControllerAnimated(bool animated);

    const std::shared_ptr<UINavigationBar>& navigationBar() const { return navigationBar_; }
    bool isNavigationBarHidden() const { return navigationBarHidden_; }
    void setNavigationBarHidden(bool hidden, bool animated);
    const std::shared_ptr<UIToolbar>& toolbar() const { return toolbar_; }
    bool isToolbarHidden() const { return toolbarHidden_; }
    void setToolbarHidden(bool hidden, bool animated);

    // The top controller's answers.
    bool prefersStatusBarHidden() const override;
    UIInterfaceOrientationMask supportedInterfaceOrientations() const override;

    void loadView() override;

    // For UIViewController::setToolbarItems.
    void toolbarItemsDidChange(UIViewController& controller, bool animated);

  protected:
    std::vector<std::shared_ptr<UIViewController>> childViewControllersForAppearance()
        const override;

  private:
    class ContainerView;
    struct Transition;

    // Makes the controllers of the stack children once this controller is shared (a
    // constructor cannot).
    void adoptStack();
    void layoutContainer();
    void updateBars();
    void startTransition(std::function<void()> finish, bool animated,
                         std::function<void()> animations);
    void finishTransition();
    CGRect navigationBarFrame(bool shown) const;
    CGRect toolbarFrame(bool shown) const;
    // Shows or hides a bar, sliding it in or out from off-screen when animated. `hiddenFlag` is
    // the bar's member; a slide that ends after the flag changed again leaves the bar visible.
    void slideBar(const std::shared_ptr<UIView>& bar, bool hidden, bool animated,
                  CGRect (UINavigationController::*frameFor)(bool) const,
                  bool UINavigationController::*hiddenFlag);
    UIEdgeInsets safeInsets() const;

    std::vector<std::shared_ptr<UIViewController>> stack_;
    std::shared_ptr<UINavigationBar> navigationBar_;
    std::shared_ptr<UIToolbar> toolbar_;
    bool navigationBarHidden_ = false;
    bool toolbarHidden_ = true;
    std::shared_ptr<Transition> transition_;
};

}  // namespace hx

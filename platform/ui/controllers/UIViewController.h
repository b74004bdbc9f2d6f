#pragma once
// A screen: it owns a view (loaded on first use, from the interface file named after the
// controller when it has one), gets told when the view loads, appears and disappears, presents
// other controllers modally, and may hold child controllers (a navigation controller's stack).
//
// Creating: always through std::make_shared (or make()): presentation and containment keep weak
// references to controllers.
//
// Appearance calls come in balanced pairs. Presenting B full screen from A calls
// A.viewWillDisappear, B.viewWillAppear, then (after the animation, if any) B.viewDidAppear,
// A.viewDidDisappear; dismissing calls B.viewWillDisappear, A.viewWillAppear, A.viewDidAppear,
// B.viewDidDisappear. A presentation over the full screen (alerts) leaves the presenter's view
// in place and makes no calls on it. A container passes its calls on to the children it shows.
//
// Memory: a controller holds its view, its children and the controller it presents; its
// parent and its presenter are weak. The view's owning responder is this controller (plain
// pointer, cleared when the controller goes).
//
// Threads: main thread only.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/controllers/UITraitCollection.h"
#include "platform/ui/controllers/UIViewControllerTransitionCoordinator.h"
#include "platform/ui/interface/InterfaceOwner.h"
#include "platform/ui/view/UIResponder.h"
#include "platform/ui/view/UIView.h"
#include "platform/ui/window/UIWindowScene.h"

namespace hx {

class Bundle;
class UINavigationController;
class PresentationTransition;
class UINavigationItem;
class UIBarButtonItem;
class UIWindow;

enum class UIModalPresentationStyle {
    FullScreen = 0,
    PageSheet = 1,
    FormSheet = 2,
    CurrentContext = 3,
    Custom = 4,
    OverFullScreen = 5,
};

enum class UIModalTransitionStyle { CoverVertical = 0, FlipHorizontal = 1, CrossDissolve = 2 };

class UIViewController : public UIResponder,
                         public InterfaceOwner,
                         public std::enable_shared_from_this<UIViewController> {
  public:
    // initWithNibName:bundle: — the interface file the view is loaded from; empty for a plain
    // view (or one made by an overridden loadView()). The main bundle when `bundle` is null.
    explicit UIViewController(std::string nibName = {}, Bundle* bundle = nullptr);
    ~UIViewController() override;
    UIViewController(const UIViewController&) = delete;
    UIViewController& operator=(const UIViewController&) = delete;

    static std::shared_ptr<UIViewController> make(std::string nibName = {}) {
        return std::make_shared<UIViewController>(std::move(nibName));
    }

    const std::string& nibName() const { return nibName_; }

    // The view, loaded (and viewDidLoad called) on first use.
    const std::shared_ptr<UIView>& view();
    bool isViewLoaded() const { return view_ != nullptr; }
    void loadViewIfNeeded() { view(); }
    void setView(std::shared_ptr<UIView> view);
    // Makes the view: from the interface file when there is one (its "view" outlet, or its
    // only top-level view), else a plain view the size of the screen. A file that cannot be
    // built leaves a plain view and a log line.
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool animated) {}
    virtual void viewDidAppear(bool animated) {}
    virtual void viewWillDisappear(bool animated) {}
    virtual void viewDidDisappear(bool animated) {}
    virtual void didReceiveMemoryWarning() {}

    // Outlets: "view" is the controller's view; the rest are the declared ones.
    bool setOutlet(const std::string& name, const std::shared_ptr<UIView>& view,
                   std::string* error) override;

    // The superview of the view (a controller's view passes touches to what holds it).
    UIResponder* nextResponder() const override;

    virtual bool prefersStatusBarHidden() const { return false; }
    // Portrait and both landscapes by default (phones), all four on tablets.
    virtual UIInterfaceOrientationMask supportedInterfaceOrientations() const;

    // Traits and their transitions. The defaults pass the call on to the children.
    UITraitCollection traitCollection() const { return UITraitCollection::current(); }
    virtual void willTransitionToTraitCollection(
        const UITraitCollection& collection,
        const std::shared_ptr<UIViewControllerTransitionCoordinator>& coordinator);
    virtual void viewWillTransitionToSize(
        CGSize size, const std::shared_ptr<UIViewControllerTransitionCoordinator>& coordinator);

    // Modal presentation. The controller shown full screen presents (a child presents through
    // its container); presenting while something is presented already is refused with a log
    // line. `completion` runs when the controller is on screen (at once without animation).
    void presentViewController(std::shared_ptr<UIViewController> controller, bool animated,
                               std::function<void()> completion = nullptr);
    // Dismisses what this controller presents (with everything that presents in turn), or,
    // when it presents nothing, this controller from its presenter.
    void dismissViewControllerAnimated(bool animated, std::function<void()> completion = nullptr);
    // What this controller (or its container) presents; null when nothing.
    std::shared_ptr<UIViewController> presentedViewController() const;
    // Who presents this controller (or its container); null when not presented.
    std::shared_ptr<UIViewController> presentingViewController() const;
    bool isBeingPresented() const { return beingPresented_; }
    bool isBeingDismissed() const { return beingDismissed_; }
    UIModalPresentationStyle modalPresentationStyle() const { return presentationStyle_; }
    void setModalPresentationStyle(UIModalPresentationStyle style) { presentationStyle_ = style; }
    UIModalTransitionStyle modalTransitionStyle() const { return transitionStyle_; }
    void setModalTransitionStyle(UIModalTransitionStyle style) { transitionStyle_ = style; }

    // Containment.
    std::shared_ptr<UIViewController> parentViewController() const { return parent_.lock(); }
    const std::vector<std::shared_ptr<UIViewController>>& childViewControllers() const {
        return children_;
    }
    // Takes the child from any other parent first; calls willMoveToParentViewController.
    void addChildViewController(const std::shared_ptr<UIViewController>& child);
    // Calls didMoveToParentViewController(nullptr).
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(UIViewController* parent) {}
    virtual void didMoveToParentViewController(UIViewController* parent) {}

    // The nearest navigation controller above this one; null when none.
    UINavigationController* navigationController() const;
    UINavigationItem& navigationItem();
    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    const std::vector<std::shared_ptr<UIBarButtonItem>>& toolbarItems() const {
        return toolbarItems_;
    }
    void setToolbarItems(std::vector<std::shared_ptr<UIBarButtonItem>> items,
                         bool animated = false);

    // Appearance transitions, for containers and presentation: begin calls viewWillAppear or
    // viewWillDisappear (once per change), end the matching did; both pass on to the children
    // in childViewControllersForAppearance().
    void beginAppearanceTransition(bool isAppearing, bool animated);
    void endAppearanceTransition();
    bool isAppearedOrAppearing() const;

  protected:
    // The children whose appearance follows this controller's: all of them by default.
    virtual std::vector<std::shared_ptr<UIViewController>> childViewControllersForAppearance()
        const {
        return children_;
    }

  private:
    friend class PresentationTransition;
    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };

    // The controller that presents for this one: the top of its container chain.
    UIViewController& presentationRoot();
    const UIViewController& presentationRoot() const;

    std::string nibName_;
    Bundle* bundle_;
    std::shared_ptr<UIView> view_;
    bool loadingView_ = false;
    std::weak_ptr<UIViewController> parent_;
    std::vector<std::shared_ptr<UIViewController>> children_;
    std::shared_ptr<UIViewController> presented_;
    std::weak_ptr<UIViewController> presenting_;
    // The presentation or dismissal being animated from this controller, if any.
    std::shared_ptr<PresentationTransition> transition_;
    bool beingPresented_ = false;
    bool beingDismissed_ = false;
    UIModalPresentationStyle presentationStyle_ = UIModalPresentationStyle::FullScreen;
    UIModalTransitionStyle transitionStyle_ = UIModalTransitionStyle::CoverVertical;
    Appearance appearance_ = Appearance::Disappeared;
    bool appearingAnimated_ = false;
    std::unique_ptr<UINavigationItem> navigationItem_;
    std::string title_;
    std::vector<std::shared_ptr<UIBarButtonItem>> toolbarItems_;
};

using UIViewControllerRef = std::shared_ptr<UIViewController>;

}  // namespace hx

#include "platform/ui/navigation/UINavigationController.h"

#include <algorithm>

#include "platform/log/Log.h"
#include "platform/ui/navigation/UINavigationItem.h"
#include "platform/ui/window/UIScreen.h"
#include "platform/ui/window/UIWindow.h"

namespace hx {

namespace {

// How far the view underneath moves while another slides over it, as a share of the width.
constexpr double kUnderlap = 0.3;

}  // namespace

// The navigation controller's view: it lays out the stack and the bars whenever it changes
// size.
class UINavigationController::ContainerView : public UIView {
  public:
    using UIView::UIView;
    std::function<void()> onLayout;
    void layoutSubviews() override {
        if (onLayout) onLayout();
    }
};

struct UINavigationController::Transition {
    std::function<void()> finish;
};

UINavigationController::UINavigationController(std::shared_ptr<UIViewController> rootViewController)
    : navigationBar_(std::make_shared<UINavigationBar>()), toolbar_(std::make_shared<UIToolbar>()) {
    if (rootViewController) stack_.push_back(std::move(rootViewController));
    toolbar_->setHidden(true);
}

UINavigationController::~UINavigationController() {
    // The items belong to the controllers of the stack; the bar may outlive them in a view tree.
    navigationBar_->setItems(nullptr, nullptr);
    navigationBar_->setBackAction(nullptr);
}

void UINavigationController::adoptStack() {
    if (weak_from_this().expired()) return;
    for (const auto& controller : stack_)
        if (controller->parentViewController().get() != this) {
            addChildViewController(controller);
            controller->didMoveToParentViewController(this);
        }
}

std::shared_ptr<UIViewController> UINavigationController::topViewController() const {
    return stack_.empty() ? nullptr : stack_.back();
}

std::shared_ptr<UIViewController> UINavigationController::visibleViewController() const {
    if (auto presented = presentedViewController()) return presented;
    return topViewController();
}

std::vector<std::shared_ptr<UIViewController>>
UINavigationController::childViewControllersForAppearance() const {
    if (stack_.empty()) return {};
    return {stack_.back()};
}

bool UINavigationController::prefersStatusBarHidden() const {
    auto top = topViewController();
    return top ? top->prefersStatusBarHidden() : UIViewController::prefersStatusBarHidden();
}

UIInterfaceOrientationMask UINavigationController::supportedInterfaceOrientations() const {
    auto top = topViewController();
    return top ? top->supportedInterfaceOrientations()
               : UIViewController::supportedInterfaceOrientations();
}

void UINavigationController::loadView() {
    auto container = std::make_shared<ContainerView>(UIScreen::mainScreen().bounds());
    container->setBackgroundColor(UIColor::blackColor());
    std::weak_ptr<UIViewController> weak = weak_from_this();
    container->onLayout = [weak] {
        if (auto strong = weak.lock())
            static_cast<UINavigationController&>(*strong).layoutContainer();
    };
    setView(container);
    container->addSubview(navigationBar_);
    container->addSubview(toolbar_);
    navigationBar_->setHidden(navigationBarHidden_);
    toolbar_->setHidden(toolbarHidden_);
    navigationBar_->setBackAction([weak] {
        if (auto strong = weak.lock())
            static_cast<UINavigationController&>(*strong).popViewControllerAnimated(true);
    });
    adoptStack();
    if (auto top = topViewController()) {
        top->view()->setFrame(container->bounds());
        container->insertSubview(top->view(), 0);
    }
    updateBars();
    layoutContainer();
}

UIEdgeInsets UINavigationController::safeInsets() const {
    if (isViewLoaded()) {
        auto& self = const_cast<UINavigationController&>(*this);
        if (auto window = self.view()->window()) return self.view()->safeAreaInsets();
    }
    return UIScreen::mainScreen().portraitSafeAreaInsets();
}

CGRect UINavigationController::navigationBarFrame(bool shown) const {
    auto& self = const_cast<UINavigationController&>(*this);
    CGRect b = self.view()->bounds();
    double top = safeInsets().top;
    double y = shown ? b.minY() + top : b.minY() - UINavigationBar::kHeight;
    return CGRectMake(b.minX(), y, b.width(), UINavigationBar::kHeight);
}

CGRect UINavigationController::toolbarFrame(bool shown) const {
    auto& self = const_cast<UINavigationController&>(*this);
    CGRect b = self.view()->bounds();
    double bottom = safeInsets().bottom;
    double y = shown ? b.maxY() - bottom - UIToolbar::kHeight : b.maxY();
    return CGRectMake(b.minX(), y, b.width(), UIToolbar::kHeight);
}

void UINavigationController::layoutContainer() {
    if (!isViewLoaded()) return;
    const std::shared_ptr<UIView>& container = view();
    if (!transition_) {
        if (auto top = topViewController(); top && top->isViewLoaded())
            top->view()->setFrame(container->bounds());
    }
    UIEdgeInsets insets = safeInsets();
    navigationBar_->setBackgroundExtension(insets.top);
    toolbar_->setBackgroundExtension(insets.bottom);
    if (!navigationBar_->hasRunningAnimations())
        navigationBar_->setFrame(navigationBarFrame(!navigationBarHidden_));
    if (!toolbar_->hasRunningAnimations()) toolbar_->setFrame(toolbarFrame(!toolbarHidden_));
    container->bringSubviewToFront(toolbar_);
    container->bringSubviewToFront(navigationBar_);
    // The bars place their items now, so that they can be found where they show.
    navigationBar_->layoutIfNeeded();
    toolbar_->layoutIfNeeded();
}

void UINavigationController::updateBars() {
    std::shared_ptr<UIViewController> top = topViewController();
    std::shared_ptr<UIViewController> below =
        stack_.size() > 1 ? stack_[stack_.size() - 2] : nullptr;
    navigationBar_->setItems(top ? &top->navigationItem() : nullptr,
                             below ? &below->navigationItem() : nullptr);
    toolbar_->setItems(top ? top->toolbarItems() : std::vector<std::shared_ptr<UIBarButtonItem>>{});
}

void UINavigationController::toolbarItemsDidChange(UIViewController& controller, bool animated) {
    if (topViewController().get() == &controller)
        toolbar_->setItems(controller.toolbarItems(), animated);
}

void UINavigationController::finishTransition() {
    if (!transition_) return;
    std::shared_ptr<Transition> transition = std::move(transition_);
    transition_.reset();
    transition->finish();
    layoutContainer();
}

void UINavigationController::startTransition(std::function<void()> finish, bool animated,
                                             std::function<void()> animations) {
    auto transition = std::make_shared<Transition>();
    transition->finish = std::move(finish);
    transition_ = transition;
    if (!animated) {
        finishTransition();
        return;
    }
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    std::weak_ptr<Transition> weakTransition = transition;
    UIView::animateWithDuration(
        kPushDuration, 0, UIViewAnimationOptionCurveEaseInOut, std::move(animations),
        [weakSelf, weakTransition](bool) {
            auto self = std::static_pointer_cast<UINavigationController>(weakSelf.lock());
            auto transition = weakTransition.lock();
            // Only the transition this animation belongs to.
            if (self && transition && self->transition_ == transition) self->finishTransition();
        });
}

void UINavigationController::pushViewController(std::shared_ptr<UIViewController> controller,
                                                bool animated) {
    if (!controller) return;
    if (std::find(stack_.begin(), stack_.end(), controller) != stack_.end()) {
        hxLog("Cannot push a view controller that is on the navigation stack already");
        return;
    }
    finishTransition();
    adoptStack();
    std::shared_ptr<UIViewController> old = topViewController();
    stack_.push_back(controller);
    if (!weak_from_this().expired()) addChildViewController(controller);
    if (!isViewLoaded()) {
        updateBars();
        controller->didMoveToParentViewController(this);
        return;
    }
    const std::shared_ptr<UIView>& container = view();
    const CGRect b = container->bounds();
    const bool onScreen = isAppearedOrAppearing();
    const std::shared_ptr<UIView>& newView = controller->view();
    if (onScreen) {
        if (old) old->beginAppearanceTransition(false, animated);
        controller->beginAppearanceTransition(true, animated);
    }
    UIView::performWithoutAnimation(
        [&] { newView->setFrame(animated ? b.offsetBy(b.width(), 0) : b); });
    container->insertSubviewBelowSubview(newView, toolbar_);
    updateBars();
    std::shared_ptr<UIView> oldView = old ? old->view() : nullptr;
    UINavigationController* self = this;
    startTransition(
        [self, old, oldView, controller, onScreen] {
            if (oldView) {
                oldView->removeAllAnimations();
                oldView->removeFromSuperview();
            }
            controller->view()->removeAllAnimations();
            if (onScreen) {
                if (old) old->endAppearanceTransition();
                controller->endAppearanceTransition();
            }
            controller->didMoveToParentViewController(self);
        },
        animated,
        [newView, oldView, b] {
            newView->setFrame(b);
            if (oldView) oldView->setFrame(b.offsetBy(-b.width() * kUnderlap, 0));
        });
}

std::shared_ptr<UIViewController> UINavigationController::popViewControllerAnimated(bool animated) {
    adoptStack();
    if (stack_.size() < 2) return nullptr;
    finishTransition();
    std::shared_ptr<UIViewController> old = stack_.back();
    stack_.pop_back();
    std::shared_ptr<UIViewController> now = stack_.back();
    old->willMoveToParentViewController(nullptr);
    if (!isViewLoaded()) {
        old->removeFromParentViewController();
        updateBars();
        return old;
    }
    const std::shared_ptr<UIView>& container = view();
    const CGRect b = container->bounds();
    const bool onScreen = isAppearedOrAppearing();
    if (onScreen) {
        old->beginAppearanceTransition(false, animated);
        now->beginAppearanceTransition(true, animated);
    }
    std::shared_ptr<UIView> oldView = old->view();
    const std::shared_ptr<UIView>& nowView = now->view();
    UIView::performWithoutAnimation(
        [&] { nowView->setFrame(animated ? b.offsetBy(-b.width() * kUnderlap, 0) : b); });
    if (oldView->superview() == container)
        container->insertSubviewBelowSubview(nowView, oldView);
    else
        container->insertSubviewBelowSubview(nowView, toolbar_);
    updateBars();
    startTransition(
        [old, oldView, now, onScreen] {
            oldView->removeAllAnimations();
            oldView->removeFromSuperview();
            now->view()->removeAllAnimations();
            old->removeFromParentViewController();
            if (onScreen) {
                old->endAppearanceTransition();
                now->endAppearanceTransition();
            }
        },
        animated,
        [oldView, nowView, b] {
            oldView->setFrame(b.offsetBy(b.width(), 0));
            nowView->setFrame(b);
        });
    return old;
}

std::vector<std::shared_ptr<UIViewController>>
UINavigationController::popToRootViewControllerAnimated(bool animated) {
    adoptStack();
    std::vector<std::shared_ptr<UIViewController>> removed;
    if (stack_.size() < 2) return removed;
    finishTransition();
    // Those between the root and the top leave at once; the top is popped as usual.
    while (stack_.size() > 2) {
        std::shared_ptr<UIViewController> middle = stack_[1];
        stack_.erase(stack_.begin() + 1);
        middle->willMoveToParentViewController(nullptr);
        middle->removeFromParentViewController();
        removed.push_back(middle);
    }
    if (auto top = popViewControllerAnimated(animated)) removed.push_back(top);
    return removed;
}

void UINavigationController::setViewControllers(
    std::vector<std::shared_ptr<UIViewController>> controllers, bool animated) {
    finishTransition();
    adoptStack();
    std::shared_ptr<UIViewController> oldTop = topViewController();
    std::shared_ptr<UIViewController> newTop = controllers.empty() ? nullptr : controllers.back();
    const bool onScreen = isViewLoaded() && isAppearedOrAppearing();
    const bool topChanges = oldTop != newTop;
    if (onScreen && topChanges) {
        if (oldTop) oldTop->beginAppearanceTransition(false, animated);
        if (newTop) newTop->beginAppearanceTransition(true, animated);
    }
    for (const auto& controller : stack_) {
        if (std::find(controllers.begin(), controllers.end(), controller) != controllers.end())
            continue;
        controller->willMoveToParentViewController(nullptr);
        if (controller->isViewLoaded() && isViewLoaded() &&
            controller->view()->superview() == view())
            controller->view()->removeFromSuperview();
        controller->removeFromParentViewController();
    }
    stack_ = std::move(controllers);
    adoptStack();
    if (isViewLoaded() && topChanges) {
        if (oldTop && oldTop->isViewLoaded() && oldTop->view()->superview() == view())
            oldTop->view()->removeFromSuperview();
        if (newTop) {
            newTop->view()->setFrame(view()->bounds());
            view()->insertSubviewBelowSubview(newTop->view(), toolbar_);
        }
    }
    updateBars();
    if (onScreen && topChanges) {
        if (oldTop) oldTop->endAppearanceTransition();
        if (newTop) newTop->endAppearanceTransition();
    }
    if (isViewLoaded()) layoutContainer();
}

void UINavigationController::setNavigationBarHidden(bool hidden, bool animated) {
    if (hidden == navigationBarHidden_) return;
    navigationBarHidden_ = hidden;
    if (!isViewLoaded()) return;
    slideBar(navigationBar_, hidden, animated, &UINavigationController::navigationBarFrame,
             &UINavigationController::navigationBarHidden_);
}

void UINavigationController::setToolbarHidden(bool hidden, bool animated) {
    if (hidden == toolbarHidden_) return;
    toolbarHidden_ = hidden;
    if (!isViewLoaded()) {
        toolbar_->setHidden(hidden);
        return;
    }
    slideBar(toolbar_, hidden, animated, &UINavigationController::toolbarFrame,
             &UINavigationController::toolbarHidden_);
}

void UINavigationController::slideBar(const std::shared_ptr<UIView>& bar, bool hidden,
                                      bool animated,
                                      CGRect (UINavigationController::*frameFor)(bool) const,
                                      bool UINavigationController::*hiddenFlag) {
    CGRect target = (this->*frameFor)(!hidden);
    if (!animated) {
        bar->removeAllAnimations();
        bar->setFrame(target);
        bar->setHidden(hidden);
        return;
    }
    if (!hidden) {
        bar->setHidden(false);
        UIView::performWithoutAnimation([&] { bar->setFrame((this->*frameFor)(false)); });
    }
    std::weak_ptr<UIViewController> weak = weak_from_this();
    UIView::animateWithDuration(
        kBarDuration, 0, UIViewAnimationOptionCurveEaseInOut,
        [bar, target] { bar->setFrame(target); },
        [weak, bar, hidden, hiddenFlag](bool) {
            auto self = std::static_pointer_cast<UINavigationController>(weak.lock());
            if (self && (*self).*hiddenFlag == hidden) bar->setHidden(hidden);
        });
}

}  // namespace hx

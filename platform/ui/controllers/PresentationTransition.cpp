#include "platform/ui/controllers/PresentationTransition.h"

#include "platform/log/Log.h"
#include "platform/ui/controllers/UIViewController.h"
#include "platform/ui/window/UIWindow.h"

namespace hx {

namespace {

// Whether the presenter's view stays visible under the presented one.
bool keepsPresenterVisible(const UIViewController& presented) {
    return presented.modalPresentationStyle() == UIModalPresentationStyle::OverFullScreen ||
           presented.modalPresentationStyle() == UIModalPresentationStyle::Custom;
}

bool fades(const UIViewController& presented) {
    return presented.modalTransitionStyle() == UIModalTransitionStyle::CrossDissolve;
}

// Runs `finish` after animating, or at once; in both cases through `transition`, so that a
// later transition can end this one early.
void run(const std::shared_ptr<PresentationTransition>& transition, bool animated, double duration,
         const std::function<void()>& animations) {
    if (!animated) {
        transition->finish();
        return;
    }
    std::weak_ptr<PresentationTransition> weak = transition;
    UIView::animateWithDuration(duration, 0, UIViewAnimationOptionCurveEaseInOut, animations,
                                [weak](bool) {
                                    if (auto strong = weak.lock()) strong->finish();
                                });
}

}  // namespace

void PresentationTransition::finish() {
    if (!finish_) return;
    std::function<void()> ending = std::move(finish_);
    finish_ = nullptr;
    ending();
}

void PresentationTransition::present(UIViewController& presenter,
                                     std::shared_ptr<UIViewController> presented, bool animated,
                                     std::function<void()> completion) {
    if (presenter.transition_) presenter.transition_->finish();
    if (presenter.presented_) {
        hxLog("Cannot present a view controller: one is presented already");
        return;
    }
    if (presented->parentViewController() || presented->presentingViewController() ||
        presented.get() == &presenter) {
        hxLog("Cannot present a view controller that is a child or presented already");
        return;
    }
    std::shared_ptr<UIWindow> window =
        presenter.isViewLoaded() ? presenter.view()->window() : nullptr;
    if (!window) {
        hxLog("Cannot present a view controller from one whose view is not in a window");
        return;
    }

    presenter.presented_ = presented;
    presented->presenting_ = presenter.weak_from_this();
    presented->beingPresented_ = true;
    const bool coversPresenter = !keepsPresenterVisible(*presented);
    const std::shared_ptr<UIView>& view = presented->view();
    CGRect bounds = window->bounds();

    if (coversPresenter) presenter.beginAppearanceTransition(false, animated);
    presented->beginAppearanceTransition(true, animated);
    UIView::performWithoutAnimation([&] {
        view->setFrame(bounds);
        if (animated && fades(*presented))
            view->setAlpha(0);
        else if (animated)
            view->setFrame(bounds.offsetBy(0, bounds.height()));
    });
    window->addSubview(view);

    auto transition = std::make_shared<PresentationTransition>();
    presenter.transition_ = transition;
    std::weak_ptr<UIViewController> presenterRef = presenter.weak_from_this();
    UIViewController* presenterPointer = &presenter;
    // A presenter made without shared ownership cannot be tracked; it is taken to be alive.
    const bool tracked = !presenterRef.expired();
    transition->finish_ = [presenterRef, presenterPointer, tracked, presented, coversPresenter,
                           completion = std::move(completion)] {
        std::shared_ptr<UIViewController> held = presenterRef.lock();
        if (tracked && !held) return;
        UIViewController* presenter = held ? held.get() : presenterPointer;
        presented->view()->removeAllAnimations();
        presented->beingPresented_ = false;
        presented->endAppearanceTransition();
        if (coversPresenter) {
            presenter->endAppearanceTransition();
            if (presenter->isViewLoaded()) presenter->view()->removeFromSuperview();
        }
        presenter->transition_.reset();
        if (completion) completion();
    };
    run(transition, animated, fades(*presented) ? kFadeDuration : kSlideDuration, [view, bounds] {
        view->setAlpha(1);
        view->setFrame(bounds);
    });
}

void PresentationTransition::dismiss(UIViewController& presenter, bool animated,
                                     std::function<void()> completion) {
    if (presenter.transition_) presenter.transition_->finish();
    if (!presenter.presented_) return;

    std::vector<std::shared_ptr<UIViewController>> chain;
    for (auto each = presenter.presented_; each; each = each->presented_) {
        if (each->transition_) each->transition_->finish();
        chain.push_back(each);
    }
    std::shared_ptr<UIViewController> first = chain.front();
    std::shared_ptr<UIViewController> top = chain.back();
    const bool presenterReturns = !keepsPresenterVisible(*first);
    std::shared_ptr<UIWindow> window = top->isViewLoaded() ? top->view()->window() : nullptr;

    first->beingDismissed_ = true;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        (*it)->beginAppearanceTransition(false, animated);
    if (presenterReturns) {
        const std::shared_ptr<UIView>& presenterView = presenter.view();
        if (window && !presenterView->superview()) {
            presenterView->setFrame(window->bounds());
            window->insertSubviewBelowSubview(presenterView, first->view());
        }
        presenter.beginAppearanceTransition(true, animated);
    }
    // What lies between the presenter and the top goes at once; only the top is animated.
    for (const auto& each : chain)
        if (each != top && each->isViewLoaded()) each->view()->removeFromSuperview();

    auto transition = std::make_shared<PresentationTransition>();
    presenter.transition_ = transition;
    std::weak_ptr<UIViewController> presenterRef = presenter.weak_from_this();
    UIViewController* presenterPointer = &presenter;
    const bool tracked = !presenterRef.expired();
    transition->finish_ = [presenterRef, presenterPointer, tracked, chain, presenterReturns,
                           completion = std::move(completion)] {
        std::shared_ptr<UIViewController> held = presenterRef.lock();
        if (tracked && !held) return;
        UIViewController* presenter = held ? held.get() : presenterPointer;
        for (const auto& each : chain) {
            if (each->isViewLoaded()) {
                each->view()->removeAllAnimations();
                each->view()->removeFromSuperview();
                UIView::performWithoutAnimation([&] { each->view()->setAlpha(1); });
            }
        }
        if (presenterReturns) presenter->endAppearanceTransition();
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) (*it)->endAppearanceTransition();
        for (const auto& each : chain) {
            each->presenting_.reset();
            each->presented_.reset();
            each->beingDismissed_ = false;
        }
        presenter->presented_.reset();
        presenter->transition_.reset();
        if (completion) completion();
    };
    if (!window) animated = false;
    const std::shared_ptr<UIView>& topView = top->view();
    CGRect offscreen = window ? topView->frame().offsetBy(0, window->bounds().height()) : CGRect{};
    const bool fade = fades(*top);
    run(transition, animated, fade ? kFadeDuration : kSlideDuration, [topView, offscreen, fade] {
        if (fade)
            topView->setAlpha(0);
        else
            topView->setFrame(offscreen);
    });
}

}  // namespace hx

#include "platform/ui/controllers/UIViewController.h"

#include "platform/log/Log.h"
#include "platform/ui/controllers/PresentationTransition.h"
#include "platform/ui/interface/UINib.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/navigation/UINavigationItem.h"
#include "platform/ui/window/UIScreen.h"

namespace hx {

UIViewController::UIViewController(std::string nibName, Bundle* bundle)
    : nibName_(std::move(nibName)), bundle_(bundle) {}

UIViewController::~UIViewController() {
    if (view_ && view_->owningResponder() == this) view_->setOwningResponder(nullptr);
}

const std::shared_ptr<UIView>& UIViewController::view() {
    if (!view_ && !loadingView_) {
        loadingView_ = true;
        loadView();
        if (!view_) setView(UIView::make(UIScreen::mainScreen().bounds()));
        loadingView_ = false;
        viewDidLoad();
    }
    return view_;
}

void UIViewController::setView(std::shared_ptr<UIView> view) {
    if (view_ == view) return;
    if (view_ && view_->owningResponder() == this) view_->setOwningResponder(nullptr);
    view_ = std::move(view);
    if (view_) view_->setOwningResponder(this);
}

void UIViewController::loadView() {
    if (!nibName_.empty()) {
        if (std::shared_ptr<UINib> nib = UINib::nibWithNibName(nibName_, bundle_)) {
            std::vector<std::shared_ptr<UIView>> views = nib->instantiateWithOwner(this);
            if (!view_ && views.size() == 1) setView(views.front());
            if (!view_ && !views.empty())
                hxLog("Interface file %s has several views and none is the \"view\" outlet",
                      nibName_.c_str());
        }
    }
    if (!view_) setView(UIView::make(UIScreen::mainScreen().bounds()));
}

bool UIViewController::setOutlet(const std::string& name, const std::shared_ptr<UIView>& view,
                                 std::string* error) {
    if (name == "view") {
        setView(view);
        return true;
    }
    return InterfaceOwner::setOutlet(name, view, error);
}

UIResponder* UIViewController::nextResponder() const {
    return view_ ? view_->superview().get() : nullptr;
}

UIInterfaceOrientationMask UIViewController::supportedInterfaceOrientations() const {
    return UITraitCollection::current().userInterfaceIdiom() == UserInterfaceIdiom::Pad
               ? UIInterfaceOrientationMaskAll
               : UIInterfaceOrientationMaskAllButUpsideDown;
}

void UIViewController::willTransitionToTraitCollection(
    const UITraitCollection& collection,
    const std::shared_ptr<UIViewControllerTransitionCoordinator>& coordinator) {
    for (const auto& child : std::vector(children_))
        child->willTransitionToTraitCollection(collection, coordinator);
}

void UIViewController::viewWillTransitionToSize(
    CGSize size, const std::shared_ptr<UIViewControllerTransitionCoordinator>& coordinator) {
    for (const auto& child : std::vector(children_))
        child->viewWillTransitionToSize(size, coordinator);
}

UIViewController& UIViewController::presentationRoot() {
    UIViewController* root = this;
    while (auto parent = root->parent_.lock()) root = parent.get();
    return *root;
}

const UIViewController& UIViewController::presentationRoot() const {
    return const_cast<UIViewController*>(this)->presentationRoot();
}

void UIViewController::presentViewController(std::shared_ptr<UIViewController> controller,
                                             bool animated, std::function<void()> completion) {
    if (!controller) return;
    PresentationTransition::present(presentationRoot(), std::move(controller), animated,
                                    std::move(completion));
}

void UIViewController::dismissViewControllerAnimated(bool animated,
                                                     std::function<void()> completion) {
    UIViewController& root = presentationRoot();
    if (root.presented_) {
        PresentationTransition::dismiss(root, animated, std::move(completion));
    } else if (auto presenter = root.presenting_.lock()) {
        PresentationTransition::dismiss(*presenter, animated, std::move(completion));
    }
}

std::shared_ptr<UIViewController> UIViewController::presentedViewController() const {
    return presentationRoot().presented_;
}

std::shared_ptr<UIViewController> UIViewController::presentingViewController() const {
    return presentationRoot().presenting_.lock();
}

void UIViewController::addChildViewController(const std::shared_ptr<UIViewController>& child) {
    if (!child || child.get() == this) return;
    if (auto old = child->parent_.lock()) {
        if (old.get() == this) return;
        child->removeFromParentViewController();
    }
    child->willMoveToParentViewController(this);
    children_.push_back(child);
    child->parent_ = weak_from_this();
}

void UIViewController::removeFromParentViewController() {
    auto parent = parent_.lock();
    if (!parent) return;
    // Keep this controller alive while the parent lets go of it.
    std::shared_ptr<UIViewController> self = shared_from_this();
    std::erase(parent->children_, self);
    parent_.reset();
    didMoveToParentViewController(nullptr);
}

UINavigationController* UIViewController::navigationController() const {
    for (auto parent = parent_.lock(); parent; parent = parent->parent_.lock())
        if (auto* navigation = dynamic_cast<UINavigationController*>(parent.get()))
            return navigation;
    return nullptr;
}

UINavigationItem& UIViewController::navigationItem() {
    if (!navigationItem_) navigationItem_ = std::make_unique<UINavigationItem>(title_);
    return *navigationItem_;
}

void UIViewController::setTitle(std::string title) {
    title_ = std::move(title);
    navigationItem().setTitle(title_);
}

void UIViewController::setToolbarItems(std::vector<std::shared_ptr<UIBarButtonItem>> items,
                                       bool animated) {
    toolbarItems_ = std::move(items);
    if (UINavigationController* navigation = navigationController())
        navigation->toolbarItemsDidChange(*this, animated);
}

void UIViewController::beginAppearanceTransition(bool isAppearing, bool animated) {
    if (isAppearing) {
        if (appearance_ == Appearance::Appeared || appearance_ == Appearance::Appearing) return;
        loadViewIfNeeded();
        appearance_ = Appearance::Appearing;
        appearingAnimated_ = animated;
        viewWillAppear(animated);
    } else {
        if (appearance_ == Appearance::Disappeared || appearance_ == Appearance::Disappearing)
            return;
        appearance_ = Appearance::Disappearing;
        appearingAnimated_ = animated;
        viewWillDisappear(animated);
    }
    for (const auto& child : childViewControllersForAppearance())
        child->beginAppearanceTransition(isAppearing, animated);
}

void UIViewController::endAppearanceTransition() {
    if (appearance_ == Appearance::Appearing) {
        appearance_ = Appearance::Appeared;
        viewDidAppear(appearingAnimated_);
    } else if (appearance_ == Appearance::Disappearing) {
        appearance_ = Appearance::Disappeared;
        viewDidDisappear(appearingAnimated_);
    } else {
        return;
    }
    for (const auto& child : childViewControllersForAppearance()) child->endAppearanceTransition();
}

bool UIViewController::isAppearedOrAppearing() const {
    return appearance_ == Appearance::Appeared || appearance_ == Appearance::Appearing;
}

}  // namespace hx

#include "app/CameraScriptTarget.h"

#include "app/browse/BrowseProtocols.h"
#include "app/browse/hxFilterViewController.h"
#include "app/browse/mPvViewController.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/window/UIApplication.h"

namespace hx::app {

namespace {

// Whether the view shows on screen: neither it nor a view above it is hidden, and it is in a
// window.
bool isVisible(const std::shared_ptr<UIView>& view) {
    if (!view || !view->window()) return false;
    for (auto* v = view.get(); v; v = v->superview().get())
        if (v->isHidden() || v->alpha() <= 0) return false;
    return true;
}

// A field of the browsing screen in front: the grid or the viewer inside the browser, or the
// re-filter screen over them.
std::shared_ptr<UIView> browsingViewNamed(const std::shared_ptr<UIViewController>& top,
                                          const std::string& field) {
    std::shared_ptr<UIViewController> screen = top;
    if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(top))
        screen = navigation->topViewController();
    auto scriptable = std::dynamic_pointer_cast<hxScriptableScreen>(screen);
    if (!scriptable) return nullptr;
    auto view = scriptable->viewForField(field);
    return isVisible(view) ? view : nullptr;
}

// The re-filter screen in front reads its photo or renders a film.
bool browsingBusy(const std::shared_ptr<UIViewController>& camera) {
    for (auto shown = camera->presentedViewController(); shown;
         shown = shown->presentedViewController()) {
        auto filter = std::dynamic_pointer_cast<hxFilterViewController>(shown);
        if (filter && filter->isBusy()) return true;
    }
    return false;
}

}  // namespace

bool CameraScriptTarget::isIdle() {
    const auto& controller = delegate_->viewController();
    if (controller && browsingBusy(controller)) return false;
    return !controller || !controller->isBusy();
}

bool CameraScriptTarget::isCameraGone() {
    const auto& controller = delegate_->viewController();
    return controller && controller->isCameraGone();
}

std::shared_ptr<UIView> CameraScriptTarget::viewNamed(const std::string& field) {
    const auto& controller = delegate_->viewController();
    if (!controller) return nullptr;
    // Only the front-most screen answers: a view of the camera screen under an open browser
    // cannot be pressed.
    std::shared_ptr<UIViewController> top = controller;
    while (top->presentedViewController()) top = top->presentedViewController();
    if (top != controller) return browsingViewNamed(top, field);
    auto view = controller->viewForField(field);
    return isVisible(view) ? view : nullptr;
}

void CameraScriptTarget::performAction(const std::string& action) {
    performQuickAction(action);
}

bool CameraScriptTarget::pressCameraKey(char key) {
    const auto& controller = delegate_->viewController();
    return controller && controller->keyCommand(key);
}

std::string CameraScriptTarget::chooseFilm(int film) {
    const auto& controller = delegate_->viewController();
    if (!controller) return "the camera screen is not open";
    if (controller->selectFilm(film)) return "";
    return "film " + std::to_string(film) + " is not offered: the picker has " +
           std::to_string(controller->filmCount()) + " films";
}

void CameraScriptTarget::setExposureSteps(int thirds) {
    if (const auto& controller = delegate_->viewController()) controller->setExposureSteps(thirds);
}

void CameraScriptTarget::setZoom(double factor) {
    const auto& controller = delegate_->viewController();
    if (!controller) return;
    controller->zoomTo(static_cast<float>(factor));
}

bool CameraScriptTarget::shareToFolder(const std::string& folder, bool withoutLocation,
                                       ShareDone done, std::string* error) {
    const auto& controller = delegate_->viewController();
    auto navigation = controller ? controller->_nav : nullptr;
    auto viewer =
        navigation ? std::dynamic_pointer_cast<mPvViewController>(navigation->topViewController())
                   : nullptr;
    // Only a viewer in front shares: not under a menu or the re-filter screen.
    if (!viewer || controller->presentedViewController() != navigation ||
        navigation->presentedViewController()) {
        if (error) *error = "no photo viewer in front";
        return false;
    }
    const bool started = viewer->saveCopyToFolder(
        folder, withoutLocation,
        [done](std::optional<std::string> path, const std::string& failure) {
            done(path ? std::string() : (failure.empty() ? "nothing written" : failure));
        });
    if (!started && error) *error = "the viewer has no photo to share, or shares already";
    return started;
}

void performQuickAction(const std::string& action) {
    UIApplicationShortcutItem item;
    item.type = action == "takephoto"    ? takePhotoShortcutType()
                : action == "takeselfie" ? takeSelfieShortcutType()
                                         : action;
    UIApplication::sharedApplication().performActionForShortcutItem(item);
}

}  // namespace hx::app

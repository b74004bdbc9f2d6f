#include "app/CameraScriptTarget.h"

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

}  // namespace

bool CameraScriptTarget::isIdle() {
    const auto& controller = delegate_->viewController();
    return !controller || !controller->isBusy();
}

std::shared_ptr<UIView> CameraScriptTarget::viewNamed(const std::string& field) {
    const auto& controller = delegate_->viewController();
    if (!controller) return nullptr;
    // Only the front-most screen answers: a view of the camera screen under an open browser
    // cannot be pressed.
    std::shared_ptr<UIViewController> top = controller;
    while (top->presentedViewController()) top = top->presentedViewController();
    if (top != controller) return nullptr;
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

void performQuickAction(const std::string& action) {
    UIApplicationShortcutItem item;
    item.type = action == "takephoto"    ? takePhotoShortcutType()
                : action == "takeselfie" ? takeSelfieShortcutType()
                                         : action;
    UIApplication::sharedApplication().performActionForShortcutItem(item);
}

}  // namespace hx::app

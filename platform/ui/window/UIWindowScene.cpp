#include "platform/ui/window/UIWindowScene.h"

#include <algorithm>

#include "platform/ui/window/UIWindow.h"

namespace hx {

UIWindowScene& UIWindowScene::mainScene() {
    static UIWindowScene scene;
    return scene;
}

void UIWindowScene::setInterfaceOrientation(UIInterfaceOrientation orientation) {
    if (orientation == orientation_) return;
    UIInterfaceOrientation from = orientation_;
    orientation_ = orientation;
    auto observers = observers_;
    for (auto& [token, observer] : observers) observer(from, orientation);
}

int UIWindowScene::addOrientationObserver(OrientationObserver observer) {
    int token = nextToken_++;
    observers_.emplace_back(token, std::move(observer));
    return token;
}

void UIWindowScene::removeOrientationObserver(int token) {
    std::erase_if(observers_, [&](const auto& entry) { return entry.first == token; });
}

std::vector<std::shared_ptr<UIWindow>> UIWindowScene::windows() const {
    std::vector<std::shared_ptr<UIWindow>> result;
    for (const auto& weak : windows_) {
        if (auto window = weak.lock()) result.push_back(window);
    }
    return result;
}

std::shared_ptr<UIWindow> UIWindowScene::keyWindow() const {
    return keyWindow_.lock();
}

void UIWindowScene::registerWindow(const std::weak_ptr<UIWindow>& window) {
    auto strong = window.lock();
    if (!strong) return;
    std::erase_if(windows_, [&](const auto& w) { return w.expired() || w.lock() == strong; });
    windows_.push_back(window);
}

void UIWindowScene::unregisterWindow(const UIWindow* window) {
    std::erase_if(windows_, [&](const auto& w) {
        auto strong = w.lock();
        return !strong || strong.get() == window;
    });
}

}  // namespace hx

#include "platform/ui/events/UITouch.h"

#include <algorithm>

#include "platform/ui/view/UIView.h"
#include "platform/ui/window/UIWindow.h"

namespace hx {

UITouch::UITouch(int finger, std::weak_ptr<UIWindow> window, CGPoint windowLocation,
                 double timestamp)
    : finger_(finger),
      window_(std::move(window)),
      location_(windowLocation),
      previousLocation_(windowLocation),
      timestamp_(timestamp) {}

void UITouch::update(UITouchPhase phase, CGPoint windowLocation, double timestamp) {
    previousLocation_ = location_;
    location_ = windowLocation;
    phase_ = phase;
    timestamp_ = timestamp;
}

CGPoint UITouch::convertFromWindow(CGPoint point, const UIView* view) const {
    if (!view) return point;
    auto win = window_.lock();
    if (!win) return view->convertPointFromView(point, nullptr);
    return view->convertPointFromView(point, win.get());
}

CGPoint UITouch::locationInView(const UIView* view) const {
    return convertFromWindow(location_, view);
}

CGPoint UITouch::previousLocationInView(const UIView* view) const {
    return convertFromWindow(previousLocation_, view);
}

bool UITouchSet::contains(const UITouch* touch) const {
    return std::any_of(touches_.begin(), touches_.end(),
                       [&](const UITouchRef& t) { return t.get() == touch; });
}

void UITouchSet::add(UITouchRef touch) {
    if (!touch || contains(touch.get())) return;
    auto at = std::find_if(touches_.begin(), touches_.end(),
                           [&](const UITouchRef& t) { return t->finger() > touch->finger(); });
    touches_.insert(at, std::move(touch));
}

UITouchSet UIEvent::touchesForView(const UIView* view) const {
    UITouchSet result;
    for (const auto& touch : touches_) {
        if (touch->view().get() == view) result.add(touch);
    }
    return result;
}

UITouchSet UIEvent::touchesForWindow(const UIWindow* window) const {
    UITouchSet result;
    for (const auto& touch : touches_) {
        if (touch->window().get() == window) result.add(touch);
    }
    return result;
}

}  // namespace hx

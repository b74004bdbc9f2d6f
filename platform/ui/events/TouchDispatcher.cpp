#include "platform/ui/events/TouchDispatcher.h"

#include <algorithm>
#include <cmath>

#include "platform/runloop/Clock.h"
#include "platform/ui/controls/UIControl.h"
#include "platform/ui/controls/UISlider.h"
#include "platform/ui/events/GestureRecognizers.h"
#include "platform/ui/window/UIWindow.h"

namespace hx {

namespace {

// A control keeps its own taps (and a slider its drags) from the recognisers of the views
// around it, so that a button inside a tappable view still works as a button. That holds for
// double-tap recognisers too: two quick presses of a button are two presses, not the view's
// double tap taking the second one.
bool controlKeepsTouchFrom(const UIView& hitView, const UIGestureRecognizer& recognizer) {
    auto* control = dynamic_cast<const UIControl*>(&hitView);
    if (!control || !control->isEnabled() || recognizer.view() == &hitView) return false;
    if (auto* tap = dynamic_cast<const UITapGestureRecognizer*>(&recognizer)) {
        return tap->numberOfTouchesRequired() == 1;
    }
    if (dynamic_cast<const UISlider*>(control)) {
        return dynamic_cast<const UIPanGestureRecognizer*>(&recognizer) != nullptr;
    }
    return false;
}

}  // namespace

TouchDispatcher::TouchDispatcher(UIWindow& window) : window_(window) {}

TouchDispatcher::~TouchDispatcher() {
    // Recognisers may outlive the window; they must not call back into it.
    for (auto& weak : participants_) {
        if (auto recognizer = weak.lock()) recognizer->setRecognitionListener(nullptr);
    }
}

std::vector<std::shared_ptr<UIGestureRecognizer>> TouchDispatcher::recognizersFor(
    const std::shared_ptr<UIView>& view) const {
    std::vector<std::shared_ptr<UIGestureRecognizer>> result;
    for (auto v = view; v; v = v->superview()) {
        for (const auto& recognizer : v->gestureRecognizers()) {
            if (!recognizer->isEnabled() || controlKeepsTouchFrom(*view, *recognizer)) continue;
            result.push_back(recognizer);
        }
    }
    return result;
}

void TouchDispatcher::fingerDown(int finger, CGPoint point) {
    if (isFingerDown(finger)) return fingerMoved(finger, point);
    double now = Clock::now();
    std::weak_ptr<UIWindow> window =
        std::static_pointer_cast<UIWindow>(window_.weak_from_this().lock());
    auto touch = std::make_shared<UITouch>(finger, window, point, now);
    std::shared_ptr<UIView> view = window_.hitTest(point, &event_);
    touch->setView(view);
    if (view) {
        bool quickRepeat =
            lastTapTime_ >= 0 && now - lastTapTime_ <= kMultiTapInterval &&
            std::hypot(point.x - lastTapPoint_.x, point.y - lastTapPoint_.y) <= kMultiTapDistance &&
            lastTapView_.lock() == view;
        touch->setTapCount(quickRepeat ? lastTapCount_ + 1 : 1);
        touch->setGestureRecognizers(recognizersFor(view));
        if (!view->isMultipleTouchEnabled()) {
            bool viewBusy = std::any_of(touches_.begin(), touches_.end(), [&](const auto& entry) {
                return entry.second->view() == view;
            });
            if (viewBusy) withheld_.push_back(touch.get());
        }
    }
    touches_[finger] = touch;
    deliver(touch, UITouchPhase::Began);
}

void TouchDispatcher::fingerMoved(int finger, CGPoint point) {
    auto it = touches_.find(finger);
    if (it == touches_.end()) return;
    UITouchRef touch = it->second;
    touch->update(UITouchPhase::Moved, point, Clock::now());
    deliver(touch, UITouchPhase::Moved);
}

void TouchDispatcher::fingerUp(int finger, CGPoint point) {
    auto it = touches_.find(finger);
    if (it == touches_.end()) return;
    UITouchRef touch = it->second;
    touch->update(UITouchPhase::Ended, point, Clock::now());
    deliver(touch, UITouchPhase::Ended);
    lastTapTime_ = touch->timestamp();
    lastTapPoint_ = point;
    lastTapCount_ = touch->tapCount();
    lastTapView_ = touch->view();
    touches_.erase(finger);
    std::erase(withheld_, touch.get());
    resetFinishedRecognizers();
}

void TouchDispatcher::fingerUp(int finger) {
    auto it = touches_.find(finger);
    if (it == touches_.end()) return;
    fingerUp(finger, it->second->windowLocation());
}

void TouchDispatcher::cancelAll() {
    auto touches = touches_;
    for (auto& [finger, touch] : touches) {
        touch->update(UITouchPhase::Cancelled, touch->windowLocation(), Clock::now());
        deliver(touch, UITouchPhase::Cancelled);
    }
    touches_.clear();
    withheld_.clear();
    lastTapTime_ = -1;
    resetFinishedRecognizers();
}

bool TouchDispatcher::deliversToView(const UITouchRef& touch) const {
    return touch->view() && !touch->isCancelledForView() &&
           std::find(withheld_.begin(), withheld_.end(), touch.get()) == withheld_.end();
}

void TouchDispatcher::deliver(const UITouchRef& touch, UITouchPhase phase) {
    std::vector<UITouchRef> all;
    for (auto& [finger, t] : touches_) all.push_back(t);
    event_.setTouches(all, touch->timestamp());
    UITouchSet touches({touch});

    // Recognisers first, so that one that recognises on this touch can take it from the view.
    auto recognizers = touch->gestureRecognizers();
    for (const auto& recognizer : recognizers) {
        if (phase == UITouchPhase::Began) {
            bool known = std::any_of(participants_.begin(), participants_.end(),
                                     [&](const auto& w) { return w.lock() == recognizer; });
            if (!known) participants_.push_back(recognizer);
            recognizer->setRecognitionListener([this](UIGestureRecognizer& r) { recognized(r); });
        }
        if (!recognizer->isEnabled() || recognizer->isFinished() || !recognizer->view()) continue;
        switch (phase) {
            case UITouchPhase::Began:
                recognizer->touchesBegan(touches, &event_);
                break;
            case UITouchPhase::Moved:
            case UITouchPhase::Stationary:
                recognizer->touchesMoved(touches, &event_);
                break;
            case UITouchPhase::Ended:
                recognizer->touchesEnded(touches, &event_);
                break;
            case UITouchPhase::Cancelled:
                recognizer->touchesCancelled(touches, &event_);
                break;
        }
    }

    if (!deliversToView(touch)) return;
    std::shared_ptr<UIView> view = touch->view();
    switch (phase) {
        case UITouchPhase::Began:
            view->touchesBegan(touches, &event_);
            break;
        case UITouchPhase::Moved:
        case UITouchPhase::Stationary:
            view->touchesMoved(touches, &event_);
            break;
        case UITouchPhase::Ended:
            view->touchesEnded(touches, &event_);
            break;
        case UITouchPhase::Cancelled:
            view->touchesCancelled(touches, &event_);
            break;
    }
}

void TouchDispatcher::recognized(UIGestureRecognizer& recognizer) {
    // The winner takes the touches it shares with others: they fail, and the views lose them.
    for (auto& [finger, touch] : std::map<int, UITouchRef>(touches_)) {
        const auto& list = touch->gestureRecognizers();
        if (std::none_of(list.begin(), list.end(),
                         [&](const auto& r) { return r.get() == &recognizer; })) {
            continue;
        }
        for (const auto& other : list) {
            if (other.get() != &recognizer &&
                other->state() == UIGestureRecognizerState::Possible) {
                other->failOrCancel();
            }
        }
        if (recognizer.cancelsTouchesInView() && deliversToView(touch)) {
            touch->setCancelledForView(true);
            std::vector<UITouchRef> all;
            for (auto& [f, t] : touches_) all.push_back(t);
            event_.setTouches(all, Clock::now());
            touch->view()->touchesCancelled(UITouchSet({touch}), &event_);
        }
    }
}

void TouchDispatcher::resetFinishedRecognizers() {
    std::vector<std::weak_ptr<UIGestureRecognizer>> still;
    for (auto& weak : participants_) {
        auto recognizer = weak.lock();
        if (!recognizer) continue;
        bool hasFinger = std::any_of(touches_.begin(), touches_.end(), [&](const auto& entry) {
            const auto& list = entry.second->gestureRecognizers();
            return std::find(list.begin(), list.end(), recognizer) != list.end();
        });
        if (hasFinger) {
            still.push_back(weak);
            continue;
        }
        if (recognizer->isFinished()) {
            recognizer->reset();
        } else if (recognizer->isInPlay()) {
            still.push_back(weak);  // a tap waiting for its next tap
        }
    }
    participants_ = std::move(still);
}

}  // namespace hx

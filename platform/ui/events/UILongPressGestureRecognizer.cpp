#include <cmath>

#include "platform/runloop/RunLoop.h"
#include "platform/ui/events/GestureRecognizers.h"

namespace hx {

void UILongPressGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    if (state() != UIGestureRecognizerState::Possible) return;
    UIGestureRecognizer::touchesBegan(touches, event);
    auto count = static_cast<int>(trackedTouches().size());
    if (count > touchesRequired_) {
        setState(UIGestureRecognizerState::Failed);
        return;
    }
    if (count < touchesRequired_) return;
    start_ = UIGestureRecognizer::locationInView(nullptr);
    unsigned generation = ++generation_;
    std::weak_ptr<UIGestureRecognizer> weak = weak_from_this();
    RunLoop::main().postAfter(minimumPressDuration_, [weak, generation] {
        if (auto self = std::static_pointer_cast<UILongPressGestureRecognizer>(weak.lock())) {
            self->pressTimerFired(generation);
        }
    });
}

void UILongPressGestureRecognizer::pressTimerFired(unsigned generation) {
    if (generation != generation_ || state() != UIGestureRecognizerState::Possible) return;
    if (static_cast<int>(trackedTouches().size()) != touchesRequired_) return;
    setState(UIGestureRecognizerState::Began);
}

void UILongPressGestureRecognizer::touchesMoved(const UITouchSet&, UIEvent*) {
    if (state() == UIGestureRecognizerState::Possible) {
        if (static_cast<int>(trackedTouches().size()) < touchesRequired_) return;
        CGPoint now = UIGestureRecognizer::locationInView(nullptr);
        if (std::hypot(now.x - start_.x, now.y - start_.y) > allowableMovement_) {
            ++generation_;
            setState(UIGestureRecognizerState::Failed);
        }
    } else if (state() == UIGestureRecognizerState::Began ||
               state() == UIGestureRecognizerState::Changed) {
        setState(UIGestureRecognizerState::Changed);
    }
}

void UILongPressGestureRecognizer::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    if (isFinished()) return;
    UIGestureRecognizer::touchesEnded(touches, event);
    if (state() == UIGestureRecognizerState::Began ||
        state() == UIGestureRecognizerState::Changed) {
        setState(UIGestureRecognizerState::Ended);
    } else {
        ++generation_;
        setState(UIGestureRecognizerState::Failed);
    }
}

void UILongPressGestureRecognizer::touchesCancelled(const UITouchSet& touches, UIEvent* event) {
    ++generation_;
    UIGestureRecognizer::touchesCancelled(touches, event);
}

void UILongPressGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    ++generation_;
}

}  // namespace hx

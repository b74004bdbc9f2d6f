#include <cmath>

#include "platform/ui/events/GestureRecognizers.h"
#include "platform/ui/view/UIView.h"

namespace hx {

CGPoint UIPanGestureRecognizer::centroidInWindow() const {
    return trackedTouches().empty() ? lastCentroid_ : UIGestureRecognizer::locationInView(nullptr);
}

CGPoint UIPanGestureRecognizer::windowDeltaToView(CGPoint delta, const UIView* view) const {
    if (!view) return delta;
    CGPoint origin = view->convertPointFromView(CGPointZero, nullptr);
    CGPoint moved = view->convertPointFromView(delta, nullptr);
    return {moved.x - origin.x, moved.y - origin.y};
}

CGPoint UIPanGestureRecognizer::translationInView(const UIView* view) const {
    CGPoint now = centroidInWindow();
    return windowDeltaToView({now.x - startCentroid_.x, now.y - startCentroid_.y}, view);
}

void UIPanGestureRecognizer::setTranslation(const CGPoint& translation, const UIView* view) {
    CGPoint inWindow = translation;
    if (view) {
        CGPoint origin = view->convertPointToView(CGPointZero, nullptr);
        CGPoint moved = view->convertPointToView(translation, nullptr);
        inWindow = {moved.x - origin.x, moved.y - origin.y};
    }
    CGPoint now = centroidInWindow();
    startCentroid_ = {now.x - inWindow.x, now.y - inWindow.y};
}

CGPoint UIPanGestureRecognizer::velocityInView(const UIView* view) const {
    return windowDeltaToView(velocity_, view);
}

void UIPanGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    if (isFinished()) return;
    CGPoint before = centroidInWindow();
    bool hadTouches = !trackedTouches().empty();
    UIGestureRecognizer::touchesBegan(touches, event);
    if (trackedTouches().size() > maximumTouches_) {
        if (!started_) setState(UIGestureRecognizerState::Failed);
        return;
    }
    CGPoint after = centroidInWindow();
    if (!hadTouches) {
        startCentroid_ = after;
    } else {
        // A finger added keeps the translation where it was.
        startCentroid_ = {startCentroid_.x + after.x - before.x,
                          startCentroid_.y + after.y - before.y};
    }
    lastCentroid_ = after;
    lastTimestamp_ = event ? event->timestamp() : 0;
}

void UIPanGestureRecognizer::touchesMoved(const UITouchSet&, UIEvent* event) {
    if (isFinished()) return;
    CGPoint now = centroidInWindow();
    double timestamp = event ? event->timestamp() : lastTimestamp_;
    double dt = timestamp - lastTimestamp_;
    if (dt > 0) {
        velocity_ = {(now.x - lastCentroid_.x) / dt, (now.y - lastCentroid_.y) / dt};
    }
    lastCentroid_ = now;
    lastTimestamp_ = timestamp;
    if (!started_) {
        double moved = std::hypot(now.x - startCentroid_.x, now.y - startCentroid_.y);
        if (moved >= kMinimumMovement && trackedTouches().size() >= minimumTouches_) {
            started_ = true;
            setState(UIGestureRecognizerState::Began);
        }
    } else {
        setState(UIGestureRecognizerState::Changed);
    }
}

void UIPanGestureRecognizer::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    if (isFinished()) return;
    CGPoint before = centroidInWindow();
    lastCentroid_ = before;
    UIGestureRecognizer::touchesEnded(touches, event);
    if (started_) {
        if (trackedTouches().size() < std::max<std::size_t>(1, minimumTouches_)) {
            setState(UIGestureRecognizerState::Ended);
        } else {
            CGPoint after = centroidInWindow();
            startCentroid_ = {startCentroid_.x + after.x - before.x,
                              startCentroid_.y + after.y - before.y};
            lastCentroid_ = after;
        }
    } else if (trackedTouches().empty()) {
        setState(UIGestureRecognizerState::Failed);
    }
}

void UIPanGestureRecognizer::touchesCancelled(const UITouchSet& touches, UIEvent* event) {
    lastCentroid_ = centroidInWindow();
    UIGestureRecognizer::touchesCancelled(touches, event);
}

void UIPanGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    started_ = false;
    velocity_ = CGPointZero;
}

}  // namespace hx

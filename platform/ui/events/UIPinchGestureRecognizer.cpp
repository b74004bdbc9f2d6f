#include <cmath>

#include "platform/ui/events/GestureRecognizers.h"

namespace hx {

double UIPinchGestureRecognizer::currentSpread() const {
    const auto& touches = trackedTouches();
    if (touches.size() < 2) return 0;
    CGPoint a = touches[0]->windowLocation();
    CGPoint b = touches[1]->windowLocation();
    return std::hypot(a.x - b.x, a.y - b.y);
}

void UIPinchGestureRecognizer::setScale(double scale) {
    scale_ = scale;
    baseScale_ = scale;
    if (double spread = currentSpread(); spread > 0) baseSpread_ = spread;
}

void UIPinchGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    if (isFinished()) return;
    if (trackedTouches().size() >= 2) return;  // a third finger plays no part
    UIGestureRecognizer::touchesBegan(touches, event);
    if (trackedTouches().size() >= 2 && !started_) {
        startSpread_ = baseSpread_ = currentSpread();
        baseScale_ = scale_ = 1;
        lastTimestamp_ = event ? event->timestamp() : 0;
    }
}

void UIPinchGestureRecognizer::touchesMoved(const UITouchSet&, UIEvent* event) {
    if (isFinished() || trackedTouches().size() < 2 || baseSpread_ <= 0) return;
    double spread = currentSpread();
    double previous = scale_;
    double timestamp = event ? event->timestamp() : lastTimestamp_;
    if (!started_) {
        if (std::abs(spread - startSpread_) < kMinimumSpreadChange) return;
        started_ = true;
        scale_ = baseScale_ * spread / baseSpread_;
        lastTimestamp_ = timestamp;
        setState(UIGestureRecognizerState::Began);
        return;
    }
    scale_ = baseScale_ * spread / baseSpread_;
    double dt = timestamp - lastTimestamp_;
    if (dt > 0) velocity_ = (scale_ - previous) / dt;
    lastTimestamp_ = timestamp;
    setState(UIGestureRecognizerState::Changed);
}

void UIPinchGestureRecognizer::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    if (isFinished()) return;
    UIGestureRecognizer::touchesEnded(touches, event);
    if (started_) {
        if (trackedTouches().size() < 2) setState(UIGestureRecognizerState::Ended);
    } else if (trackedTouches().empty()) {
        setState(UIGestureRecognizerState::Failed);
    }
}

void UIPinchGestureRecognizer::touchesCancelled(const UITouchSet& touches, UIEvent* event) {
    UIGestureRecognizer::touchesCancelled(touches, event);
}

void UIPinchGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    started_ = false;
    velocity_ = 0;
    scale_ = 1;
    baseScale_ = 1;
    baseSpread_ = startSpread_ = 0;
}

}  // namespace hx

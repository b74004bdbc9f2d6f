#include <cmath>

#include "platform/ui/events/GestureRecognizers.h"
#include "platform/ui/view/UIView.h"

namespace hx {

CGPoint UITapGestureRecognizer::locationInView(const UIView* view) const {
    // Once the fingers are up, the tap is where all of them were as the first one lifted.
    if (trackedTouches().empty() && hasRecognizedLocation_) {
        return view ? view->convertPointFromView(recognizedLocation_, nullptr)
                    : recognizedLocation_;
    }
    return UIGestureRecognizer::locationInView(view);
}

std::size_t UITapGestureRecognizer::numberOfTouches() const {
    if (trackedTouches().empty() && hasRecognizedLocation_) return recognizedTouches_.size();
    return UIGestureRecognizer::numberOfTouches();
}

CGPoint UITapGestureRecognizer::locationOfTouch(std::size_t index, const UIView* view) const {
    if (trackedTouches().empty() && hasRecognizedLocation_) {
        if (index >= recognizedTouches_.size()) return locationInView(view);
        return view ? view->convertPointFromView(recognizedTouches_[index], nullptr)
                    : recognizedTouches_[index];
    }
    return UIGestureRecognizer::locationOfTouch(index, view);
}

void UITapGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    if (state() != UIGestureRecognizerState::Possible) return;
    cancelPendingTimeout();
    bool firstFinger = fingersDown_ == 0;
    UIGestureRecognizer::touchesBegan(touches, event);
    fingersDown_ += static_cast<int>(touches.count());
    fingersInTap_ = std::max(fingersInTap_, fingersDown_);
    if (fingersDown_ > touchesRequired_) {
        setState(UIGestureRecognizerState::Failed);
        return;
    }
    if (!firstFinger) return;
    tapStart_ = UIGestureRecognizer::locationInView(nullptr);
    // A tap elsewhere on the view is a new gesture, not the second tap of this one.
    if (tapsDone_ == 0) {
        firstTapStart_ = tapStart_;
    } else if (std::hypot(tapStart_.x - firstTapStart_.x, tapStart_.y - firstTapStart_.y) >
               kAllowableTapDistance) {
        setState(UIGestureRecognizerState::Failed);
    }
}

void UITapGestureRecognizer::touchesMoved(const UITouchSet& touches, UIEvent*) {
    if (state() != UIGestureRecognizerState::Possible) return;
    for (const auto& touch : touches) {
        CGPoint now = touch->windowLocation();
        if (std::hypot(now.x - tapStart_.x, now.y - tapStart_.y) >
            kAllowableMovement + 30 * (touchesRequired_ - 1)) {
            setState(UIGestureRecognizerState::Failed);
            return;
        }
    }
}

void UITapGestureRecognizer::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    if (state() != UIGestureRecognizerState::Possible) return;
    if (fingersDown_ == fingersInTap_) {
        recognizedLocation_ = UIGestureRecognizer::locationInView(nullptr);
        recognizedTouches_.clear();
        for (std::size_t i = 0; i < UIGestureRecognizer::numberOfTouches(); ++i)
            recognizedTouches_.push_back(UIGestureRecognizer::locationOfTouch(i, nullptr));
        hasRecognizedLocation_ = true;
    }
    UIGestureRecognizer::touchesEnded(touches, event);
    fingersDown_ = std::max(0, fingersDown_ - static_cast<int>(touches.count()));
    if (fingersDown_ > 0) return;
    if (fingersInTap_ != touchesRequired_) {
        setState(UIGestureRecognizerState::Failed);
        return;
    }
    fingersInTap_ = 0;
    if (++tapsDone_ >= tapsRequired_) {
        setState(UIGestureRecognizerState::Ended);
    } else {
        failAfter(kMaximumTapInterval);
    }
}

void UITapGestureRecognizer::touchesCancelled(const UITouchSet& touches, UIEvent* event) {
    fingersDown_ = std::max(0, fingersDown_ - static_cast<int>(touches.count()));
    UIGestureRecognizer::touchesCancelled(touches, event);
}

void UITapGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    tapsDone_ = 0;
    fingersInTap_ = 0;
    fingersDown_ = 0;
}

}  // namespace hx

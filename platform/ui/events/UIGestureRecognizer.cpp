#include "platform/ui/events/UIGestureRecognizer.h"

#include <algorithm>

#include "platform/runloop/RunLoop.h"
#include "platform/ui/view/UIView.h"

namespace hx {

namespace {

bool hasRecognized(UIGestureRecognizerState state) {
    return state == UIGestureRecognizerState::Began || state == UIGestureRecognizerState::Changed ||
           state == UIGestureRecognizerState::Ended;
}

template <typename F>
void forEachLive(std::vector<std::weak_ptr<UIGestureRecognizer>>& list, F f) {
    auto copy = list;
    for (auto& weak : copy) {
        if (auto r = weak.lock()) f(*r);
    }
}

}  // namespace

UIGestureRecognizer::UIGestureRecognizer(const void* target, Action action) {
    addTarget(target, std::move(action));
}

UIGestureRecognizer::~UIGestureRecognizer() = default;

void UIGestureRecognizer::addTarget(const void* target, Action action) {
    if (action) actions_.push_back({target, std::move(action)});
}

void UIGestureRecognizer::removeTarget(const void* target) {
    if (!target) {
        actions_.clear();
        return;
    }
    std::erase_if(actions_, [&](const TargetAction& a) { return a.target == target; });
}

void UIGestureRecognizer::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    if (!enabled) {
        if (state_ == UIGestureRecognizerState::Began ||
            state_ == UIGestureRecognizerState::Changed) {
            setState(UIGestureRecognizerState::Cancelled);
        }
        reset();
    }
}

void UIGestureRecognizer::requireGestureRecognizerToFail(
    const std::shared_ptr<UIGestureRecognizer>& other) {
    if (!other || other.get() == this) return;
    mustFail_.push_back(other);
    other->dependents_.push_back(weak_from_this());
}

CGPoint UIGestureRecognizer::locationInView(const UIView* view) const {
    CGPoint windowPoint = lastLocation_;
    if (!touches_.empty()) {
        double x = 0, y = 0;
        for (const auto& touch : touches_) {
            x += touch->windowLocation().x;
            y += touch->windowLocation().y;
        }
        windowPoint = {x / touches_.size(), y / touches_.size()};
    }
    return view ? view->convertPointFromView(windowPoint, nullptr) : windowPoint;
}

std::size_t UIGestureRecognizer::numberOfTouches() const {
    return touches_.size();
}

CGPoint UIGestureRecognizer::locationOfTouch(std::size_t index, const UIView* view) const {
    if (index >= touches_.size()) return locationInView(view);
    return touches_[index]->locationInView(view);
}

void UIGestureRecognizer::attachToView(UIView* view) {
    if (view_ != view) reset();
    view_ = view;
}

void UIGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent*) {
    trackTouches(touches);
}

void UIGestureRecognizer::touchesMoved(const UITouchSet&, UIEvent*) {}

void UIGestureRecognizer::touchesEnded(const UITouchSet& touches, UIEvent*) {
    forgetTouches(touches);
}

void UIGestureRecognizer::touchesCancelled(const UITouchSet& touches, UIEvent*) {
    forgetTouches(touches);
    if (state_ == UIGestureRecognizerState::Began || state_ == UIGestureRecognizerState::Changed) {
        setState(UIGestureRecognizerState::Cancelled);
    } else if (state_ == UIGestureRecognizerState::Possible) {
        setState(UIGestureRecognizerState::Failed);
    }
}

void UIGestureRecognizer::reset() {
    state_ = UIGestureRecognizerState::Possible;
    touches_.clear();
    pendingRecognition_ = false;
    cancelPendingTimeout();
}

bool UIGestureRecognizer::isFinished() const {
    return state_ == UIGestureRecognizerState::Ended ||
           state_ == UIGestureRecognizerState::Cancelled ||
           state_ == UIGestureRecognizerState::Failed;
}

void UIGestureRecognizer::failOrCancel() {
    if (state_ == UIGestureRecognizerState::Possible) {
        setState(UIGestureRecognizerState::Failed);
    } else if (state_ == UIGestureRecognizerState::Began ||
               state_ == UIGestureRecognizerState::Changed) {
        setState(UIGestureRecognizerState::Cancelled);
    }
}

bool UIGestureRecognizer::isInPlay() const {
    return state_ == UIGestureRecognizerState::Possible && (!touches_.empty() || timeoutPending_);
}

bool UIGestureRecognizer::canTransition() const {
    return std::none_of(mustFail_.begin(), mustFail_.end(), [](const auto& weak) {
        auto other = weak.lock();
        return other && other->isInPlay();
    });
}

void UIGestureRecognizer::dependencyFinished() {
    if (!pendingRecognition_) return;
    bool otherWon = std::any_of(mustFail_.begin(), mustFail_.end(), [](const auto& weak) {
        auto other = weak.lock();
        return other && hasRecognized(other->state_);
    });
    if (otherWon) {
        pendingRecognition_ = false;
        setState(UIGestureRecognizerState::Failed);
    } else if (canTransition()) {
        pendingRecognition_ = false;
        setState(pendingState_);
    }
}

void UIGestureRecognizer::setState(UIGestureRecognizerState state) {
    auto keep = weak_from_this().lock();  // an action may drop the last owner
    bool recognizing =
        state_ == UIGestureRecognizerState::Possible &&
        (state == UIGestureRecognizerState::Began || state == UIGestureRecognizerState::Ended);
    if (recognizing) {
        bool otherWon = std::any_of(mustFail_.begin(), mustFail_.end(), [](const auto& weak) {
            auto other = weak.lock();
            return other && hasRecognized(other->state_);
        });
        if (otherWon)
            state = UIGestureRecognizerState::Failed;
        else if (!canTransition()) {
            pendingRecognition_ = true;
            pendingState_ = state;
            return;
        }
    }
    recognizing = recognizing && state != UIGestureRecognizerState::Failed;
    state_ = state;
    if (state != UIGestureRecognizerState::Possible) cancelPendingTimeout();

    if (recognizing) {
        if (listener_) listener_(*this);
        forEachLive(dependents_, [](UIGestureRecognizer& d) { d.failOrCancel(); });
    }
    if (state == UIGestureRecognizerState::Failed) {
        forEachLive(dependents_, [](UIGestureRecognizer& d) { d.dependencyFinished(); });
    }
    if (state == UIGestureRecognizerState::Began || state == UIGestureRecognizerState::Changed ||
        state == UIGestureRecognizerState::Ended || state == UIGestureRecognizerState::Cancelled) {
        sendActions();
    }
    // Done and no finger left: ready for the next gesture.
    if (isFinished() && touches_.empty() && state_ == state) reset();
}

void UIGestureRecognizer::sendActions() {
    auto actions = actions_;
    for (auto& entry : actions) entry.action(this);
}

void UIGestureRecognizer::trackTouches(const UITouchSet& touches) {
    for (const auto& touch : touches) {
        if (std::find(touches_.begin(), touches_.end(), touch) == touches_.end()) {
            touches_.push_back(touch);
        }
    }
    lastLocation_ = locationInView(nullptr);
}

void UIGestureRecognizer::forgetTouches(const UITouchSet& touches) {
    lastLocation_ = locationInView(nullptr);
    std::erase_if(touches_, [&](const UITouchRef& t) { return touches.contains(t.get()); });
    if (!touches_.empty()) lastLocation_ = locationInView(nullptr);
}

void UIGestureRecognizer::failAfter(double seconds) {
    unsigned generation = ++timeoutGeneration_;
    timeoutPending_ = true;
    std::weak_ptr<UIGestureRecognizer> weak = weak_from_this();
    RunLoop::main().postAfter(seconds, [weak, generation] {
        auto self = weak.lock();
        if (!self || self->timeoutGeneration_ != generation) return;
        self->timeoutPending_ = false;
        if (self->state_ == UIGestureRecognizerState::Possible) {
            self->setState(UIGestureRecognizerState::Failed);
        }
        if (self->isFinished() && self->touches_.empty()) self->reset();
    });
}

void UIGestureRecognizer::cancelPendingTimeout() {
    ++timeoutGeneration_;
    timeoutPending_ = false;
}

}  // namespace hx

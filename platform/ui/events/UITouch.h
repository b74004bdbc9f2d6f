#pragma once
// A finger on the screen and the events that carry touches to views.
//
// Threads: main thread only.

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/geometry/Geometry.h"

namespace hx {

class UIView;
class UIWindow;
class UIGestureRecognizer;

enum class UITouchPhase { Began = 0, Moved = 1, Stationary = 2, Ended = 3, Cancelled = 4 };

class UITouch {
  public:
    // The location in `view`'s bounds; in window coordinates when `view` is null.
    CGPoint locationInView(const UIView* view) const;
    CGPoint previousLocationInView(const UIView* view) const;
    UITouchPhase phase() const { return phase_; }
    // Taps at about the same place in quick succession: 1 for the first, 2 for a double tap.
    int tapCount() const { return tapCount_; }
    // Clock seconds of the last change.
    double timestamp() const { return timestamp_; }
    // The view the touch began in (hit-testing), null when none took it.
    std::shared_ptr<UIView> view() const { return view_.lock(); }
    std::shared_ptr<UIWindow> window() const { return window_.lock(); }
    // Recognisers that receive this touch: those of the hit view and its ancestors.
    const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const {
        return recognizers_;
    }
    // Which finger of the host made it (0 for the mouse or the first finger).
    int finger() const { return finger_; }

    // For hosts and the event dispatcher.
    UITouch(int finger, std::weak_ptr<UIWindow> window, CGPoint windowLocation, double timestamp);
    void update(UITouchPhase phase, CGPoint windowLocation, double timestamp);
    void setView(std::weak_ptr<UIView> view) { view_ = std::move(view); }
    void setTapCount(int count) { tapCount_ = count; }
    void setGestureRecognizers(std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers) {
        recognizers_ = std::move(recognizers);
    }
    CGPoint windowLocation() const { return location_; }
    // Set once a recogniser has taken the touch away from its view.
    bool isCancelledForView() const { return cancelledForView_; }
    void setCancelledForView(bool cancelled) { cancelledForView_ = cancelled; }

  private:
    CGPoint convertFromWindow(CGPoint point, const UIView* view) const;

    int finger_;
    std::weak_ptr<UIWindow> window_;
    std::weak_ptr<UIView> view_;
    CGPoint location_;
    CGPoint previousLocation_;
    double timestamp_;
    UITouchPhase phase_ = UITouchPhase::Began;
    int tapCount_ = 1;
    bool cancelledForView_ = false;
    std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers_;
};

using UITouchRef = std::shared_ptr<UITouch>;

// The touches of one delivery, in finger order (an ordered stand-in for a set of touches).
class UITouchSet {
  public:
    UITouchSet() = default;
    explicit UITouchSet(std::vector<UITouchRef> touches) : touches_(std::move(touches)) {}

    // The first touch, or null when empty.
    UITouch* anyObject() const { return touches_.empty() ? nullptr : touches_.front().get(); }
    std::size_t count() const { return touches_.size(); }
    bool empty() const { return touches_.empty(); }
    const std::vector<UITouchRef>& allObjects() const { return touches_; }
    bool contains(const UITouch* touch) const;
    void add(UITouchRef touch);
    auto begin() const { return touches_.begin(); }
    auto end() const { return touches_.end(); }

  private:
    std::vector<UITouchRef> touches_;
};

enum class UIEventType { Touches = 0, Motion = 1, RemoteControl = 2, Presses = 3 };

class UIEvent {
  public:
    UIEventType type() const { return UIEventType::Touches; }
    double timestamp() const { return timestamp_; }
    // Every finger on the screen, in finger order.
    UITouchSet allTouches() const { return UITouchSet(touches_); }
    // The touches whose view is `view`.
    UITouchSet touchesForView(const UIView* view) const;
    UITouchSet touchesForWindow(const UIWindow* window) const;

    // For the event dispatcher.
    void setTouches(std::vector<UITouchRef> touches, double timestamp) {
        touches_ = std::move(touches);
        timestamp_ = timestamp;
    }

  private:
    std::vector<UITouchRef> touches_;
    double timestamp_ = 0;
};

}  // namespace hx

#pragma once
// Gesture recognisers: they watch the touches of their view (and its subviews) and call their
// actions as the gesture is recognised. A discrete gesture (tap) goes from possible straight to
// ended; a continuous one (pan, pinch, long press) goes began, changed..., ended or cancelled.
// When a recogniser recognises, the other recognisers of the same touches fail, and with
// cancelsTouchesInView on (the default) the view's touches are cancelled.
//
// Target-action as in UIControl: the target is a non-owning key; the weak_ptr overloads skip
// the call once the target is gone. The view holds its recognisers; a recogniser's view is a
// plain back pointer, cleared when the view lets it go.
//
// Threads: main thread only.

#include <functional>
#include <memory>
#include <vector>

#include "platform/geometry/Geometry.h"
#include "platform/ui/events/UITouch.h"

namespace hx {

class UIView;

enum class UIGestureRecognizerState {
    Possible = 0,
    Began = 1,
    Changed = 2,
    Ended = 3,
    Cancelled = 4,
    Failed = 5,
    Recognized = Ended,
};

class UIGestureRecognizer : public std::enable_shared_from_this<UIGestureRecognizer> {
  public:
    using Action = std::function<void(UIGestureRecognizer* sender)>;

    UIGestureRecognizer() = default;
    UIGestureRecognizer(const void* target, Action action);
    template <typename T, typename Sender>
    UIGestureRecognizer(const std::weak_ptr<T>& target, void (T::*method)(Sender*)) {
        addTarget(target, method);
    }
    template <typename T, typename Sender>
    UIGestureRecognizer(T* target, void (T::*method)(Sender*)) {
        addTarget(target, method);
    }
    virtual ~UIGestureRecognizer();
    UIGestureRecognizer(const UIGestureRecognizer&) = delete;
    UIGestureRecognizer& operator=(const UIGestureRecognizer&) = delete;

    void addTarget(const void* target, Action action);
    template <typename T, typename Sender>
    void addTarget(const std::weak_ptr<T>& target, void (T::*method)(Sender*)) {
        addTarget(target.lock().get(), [target, method](UIGestureRecognizer* sender) {
            if (auto strong = target.lock()) ((*strong).*method)(static_cast<Sender*>(sender));
        });
    }
    template <typename T, typename Sender>
    void addTarget(T* target, void (T::*method)(Sender*)) {
        addTarget(static_cast<const void*>(target), [target, method](UIGestureRecognizer* sender) {
            (target->*method)(static_cast<Sender*>(sender));
        });
    }
    // Removes the target's actions (every action when `target` is null).
    void removeTarget(const void* target);

    UIGestureRecognizerState state() const { return state_; }
    // The view it is attached to; null when none.
    UIView* view() const { return view_; }
    bool isEnabled() const { return enabled_; }
    // Turning a recogniser off during a gesture cancels it.
    void setEnabled(bool enabled);
    bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
    void setCancelsTouchesInView(bool cancels) { cancelsTouchesInView_ = cancels; }

    // This recogniser waits until `other` has failed before it recognises, and fails when
    // `other` recognises. Non-owning.
    void requireGestureRecognizerToFail(const std::shared_ptr<UIGestureRecognizer>& other);

    // The centroid of the gesture's touches in `view` (the window when null).
    virtual CGPoint locationInView(const UIView* view) const;
    virtual std::size_t numberOfTouches() const;
    virtual CGPoint locationOfTouch(std::size_t index, const UIView* view) const;

    // For UIView::addGestureRecognizer and the event dispatcher.
    void attachToView(UIView* view);
    virtual void touchesBegan(const UITouchSet& touches, UIEvent* event);
    virtual void touchesMoved(const UITouchSet& touches, UIEvent* event);
    virtual void touchesEnded(const UITouchSet& touches, UIEvent* event);
    virtual void touchesCancelled(const UITouchSet& touches, UIEvent* event);
    // Back to possible, forgetting its touches; called when all fingers are up and it has
    // finished, failed or been cancelled.
    virtual void reset();
    // Whether it is done with this touch sequence (ended, cancelled or failed).
    bool isFinished() const;
    // Forces failure (another recogniser won), or cancellation when it had begun.
    void failOrCancel();
    // Whether it may move on from possible now: nothing it must wait for is still in play.
    bool canTransition() const;
    // Possible and either holding touches or waiting for more (a tap between taps).
    bool isInPlay() const;
    // Runs deferred recognition that was waiting for another recogniser to fail.
    void dependencyFinished();
    // Called by subclasses and the dispatcher: changes the state and runs the actions when the
    // new state calls for them.
    void setState(UIGestureRecognizerState state);
    // Set by the dispatcher while this recogniser is handed touches; it tells the others when
    // one recognises.
    using RecognitionListener = std::function<void(UIGestureRecognizer&)>;
    void setRecognitionListener(RecognitionListener listener) { listener_ = std::move(listener); }

  protected:
    const std::vector<UITouchRef>& trackedTouches() const { return touches_; }
    void trackTouches(const UITouchSet& touches);
    void forgetTouches(const UITouchSet& touches);
    // Schedules failure after `seconds` on the run loop unless reset first.
    void failAfter(double seconds);
    void cancelPendingTimeout();

  private:
    struct TargetAction {
        const void* target;
        Action action;
    };
    void sendActions();

    std::vector<TargetAction> actions_;
    UIGestureRecognizerState state_ = UIGestureRecognizerState::Possible;
    UIView* view_ = nullptr;
    bool enabled_ = true;
    bool cancelsTouchesInView_ = true;
    std::vector<UITouchRef> touches_;
    std::vector<std::weak_ptr<UIGestureRecognizer>> mustFail_;
    std::vector<std::weak_ptr<UIGestureRecognizer>> dependents_;  // those that wait for this one
    bool timeoutPending_ = false;
    // A state to enter once the recognisers it waits on have failed.
    bool pendingRecognition_ = false;
    UIGestureRecognizerState pendingState_ = UIGestureRecognizerState::Possible;
    CGPoint lastLocation_;
    unsigned timeoutGeneration_ = 0;
    RecognitionListener listener_;
};

using UIGestureRecognizerRef = std::shared_ptr<UIGestureRecognizer>;

}  // namespace hx

#pragma once
// The concrete recognisers: tap, pan, pinch and long press.
//
// Threads: main thread only.

#include <vector>

#include "platform/ui/events/UIGestureRecognizer.h"

namespace hx {

// Recognises numberOfTapsRequired taps of numberOfTouchesRequired fingers each. Fails when a
// finger moves more than 10 points, when too many fingers come down, or when the next tap
// does not come within 0.35 s.
class UITapGestureRecognizer : public UIGestureRecognizer {
  public:
    using UIGestureRecognizer::UIGestureRecognizer;

    int numberOfTapsRequired() const { return tapsRequired_; }
    void setNumberOfTapsRequired(int taps) { tapsRequired_ = taps < 1 ? 1 : taps; }
    int numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(int touches) { touchesRequired_ = touches < 1 ? 1 : touches; }

    CGPoint locationInView(const UIView* view) const override;
    // Once the fingers are up, the fingers of the recognised tap where they were as the first
    // one lifted.
    std::size_t numberOfTouches() const override;
    CGPoint locationOfTouch(std::size_t index, const UIView* view) const override;

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;
    void reset() override;

    static constexpr double kMaximumTapInterval = 0.35;
    static constexpr double kAllowableMovement = 10;
    // How far from the first tap a later tap of the same gesture may start.
    static constexpr double kAllowableTapDistance = 40;

  private:
    int tapsRequired_ = 1;
    int touchesRequired_ = 1;
    int tapsDone_ = 0;
    int fingersInTap_ = 0;
    int fingersDown_ = 0;
    CGPoint tapStart_;
    CGPoint firstTapStart_;
    CGPoint recognizedLocation_;
    std::vector<CGPoint> recognizedTouches_;  // window coordinates
    bool hasRecognizedLocation_ = false;
};

// Begins once the fingers have moved 10 points; translation is measured from where the
// gesture began.
class UIPanGestureRecognizer : public UIGestureRecognizer {
  public:
    using UIGestureRecognizer::UIGestureRecognizer;

    std::size_t minimumNumberOfTouches() const { return minimumTouches_; }
    void setMinimumNumberOfTouches(std::size_t touches) { minimumTouches_ = touches; }
    std::size_t maximumNumberOfTouches() const { return maximumTouches_; }
    void setMaximumNumberOfTouches(std::size_t touches) { maximumTouches_ = touches; }

    // The distance moved since the gesture began (or since setTranslation), in `view`'s
    // coordinate directions.
    CGPoint translationInView(const UIView* view) const;
    void setTranslation(const CGPoint& translation, const UIView* view);
    // Points per second, over the last movement.
    CGPoint velocityInView(const UIView* view) const;

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;
    void reset() override;

    static constexpr double kMinimumMovement = 10;

  private:
    CGPoint centroidInWindow() const;
    CGPoint windowDeltaToView(CGPoint delta, const UIView* view) const;

    std::size_t minimumTouches_ = 1;
    std::size_t maximumTouches_ = 1000;
    CGPoint startCentroid_;  // window coordinates, where translation counts from
    CGPoint lastCentroid_;
    CGPoint velocity_;  // window points per second
    double lastTimestamp_ = 0;
    bool started_ = false;
};

// Two fingers; scale is the distance between them relative to where the gesture began.
class UIPinchGestureRecognizer : public UIGestureRecognizer {
  public:
    using UIGestureRecognizer::UIGestureRecognizer;

    double scale() const { return scale_; }
    void setScale(double scale);
    // Scale change per second.
    double velocity() const { return velocity_; }

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;
    void reset() override;

    // The change in finger distance, in points, that starts the gesture.
    static constexpr double kMinimumSpreadChange = 5;

  private:
    double currentSpread() const;

    double scale_ = 1;
    double velocity_ = 0;
    double baseSpread_ = 0;  // spread at which scale() reads its base
    double baseScale_ = 1;
    double startSpread_ = 0;
    double lastTimestamp_ = 0;
    bool started_ = false;
};

// Begins when numberOfTouchesRequired fingers have stayed down for minimumPressDuration
// without moving more than allowableMovement; then changes with movement and ends when a
// finger lifts.
class UILongPressGestureRecognizer : public UIGestureRecognizer {
  public:
    using UIGestureRecognizer::UIGestureRecognizer;

    double minimumPressDuration() const { return minimumPressDuration_; }
    void setMinimumPressDuration(double seconds) { minimumPressDuration_ = seconds; }
    int numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(int touches) { touchesRequired_ = touches < 1 ? 1 : touches; }
    double allowableMovement() const { return allowableMovement_; }
    void setAllowableMovement(double points) { allowableMovement_ = points; }

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;
    void reset() override;

  private:
    void pressTimerFired(unsigned generation);

    double minimumPressDuration_ = 0.5;
    int touchesRequired_ = 1;
    double allowableMovement_ = 10;
    CGPoint start_;
    unsigned generation_ = 0;
};

}  // namespace hx

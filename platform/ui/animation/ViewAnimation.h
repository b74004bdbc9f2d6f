#pragma once
// The animation engine behind UIView::animateWithDuration: the open animation blocks, the
// running property animations of each view and their completion groups. Presentation values
// are computed from the run loop's clock when read, so stepping the clock steps the animation.
//
// Threads: main thread only.

#include <functional>
#include <memory>
#include <optional>

#include "platform/ui/animation/TimingCurve.h"
#include "platform/ui/view/UIView.h"

namespace hx {

// Completion of one animation block: runs once when its end time comes.
struct AnimationGroup {
    std::function<void(bool)> completion;
    bool finished = true;  // false once one of its animations was replaced or removed
    bool hasAnimations = false;
};

template <typename T>
struct PropertyAnimation {
    T from;
    double begin = 0;  // clock seconds, after the delay
    double duration = 0;
    TimingCurve curve = TimingCurve::easeInOut();
    std::shared_ptr<AnimationGroup> group;
};

struct UIView::AnimationState {
    std::optional<PropertyAnimation<CGRect>> bounds;
    std::optional<PropertyAnimation<CGPoint>> center;
    std::optional<PropertyAnimation<CGAffineTransform>> transform;
    std::optional<PropertyAnimation<double>> alpha;
    std::optional<PropertyAnimation<UIColor>> backgroundColor;

    bool empty() const { return !bounds && !center && !transform && !alpha && !backgroundColor; }
};

namespace animation {

// Whether changes made now should animate (inside a block, animations enabled).
bool isCapturing();
// Records a change of one property: from `previous` (the presentation before the change) to
// the model value that is now set. Without an open block it stops a running animation of that
// property instead.
void recordBounds(UIView& view, const CGRect& previous);
void recordCenter(UIView& view, const CGPoint& previous);
void recordTransform(UIView& view, const CGAffineTransform& previous);
void recordAlpha(UIView& view, double previous);
void recordBackgroundColor(UIView& view, const UIColor& previous);

// Interpolations used by the presentation.
double interpolate(double from, double to, double progress);
CGPoint interpolate(const CGPoint& from, const CGPoint& to, double progress);
CGRect interpolate(const CGRect& from, const CGRect& to, double progress);
CGAffineTransform interpolate(const CGAffineTransform& from, const CGAffineTransform& to,
                              double progress);
UIColor interpolate(const UIColor& from, const UIColor& to, double progress);

// Views with animations still running (registered while they have any).
void viewStartedAnimating(UIView* view);
void viewStoppedAnimating(UIView* view);
bool hasRunningAnimations();

void beginBlock(double duration, double delay, UIViewAnimationOptions options,
                std::function<void(bool)> completion);
void commitBlock();
void setEnabled(bool enabled);
bool enabled();

}  // namespace animation
}  // namespace hx

#include "platform/ui/animation/ViewAnimation.h"

#include <cmath>
#include <numbers>
#include <set>
#include <vector>

#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"

namespace hx::animation {

namespace {

struct OpenBlock {
    double duration;
    double delay;
    TimingCurve curve;
    std::shared_ptr<AnimationGroup> group;
};

std::vector<OpenBlock>& openBlocks() {
    static std::vector<OpenBlock> blocks;
    return blocks;
}

bool& enabledFlag() {
    static bool flag = true;
    return flag;
}

std::set<UIView*>& animatingViews() {
    static std::set<UIView*> views;
    return views;
}

TimingCurve curveForOptions(UIViewAnimationOptions options) {
    switch (options & (3u << 16)) {
        case UIViewAnimationOptionCurveEaseIn:
            return TimingCurve::easeIn();
        case UIViewAnimationOptionCurveEaseOut:
            return TimingCurve::easeOut();
        case UIViewAnimationOptionCurveLinear:
            return TimingCurve::linear();
        default:
            return TimingCurve::easeInOut();
    }
}

template <typename T>
void record(UIView& view, std::optional<PropertyAnimation<T>>& slot, const T& previous,
            const T& now) {
    if (slot && slot->group) slot->group->finished = false;
    slot.reset();
    if (isCapturing() && !(previous == now)) {
        const OpenBlock& block = openBlocks().back();
        block.group->hasAnimations = true;
        slot = PropertyAnimation<T>{previous, Clock::now() + block.delay, block.duration,
                                    block.curve, block.group};
        viewStartedAnimating(&view);
    } else if (view.animationState().empty()) {
        viewStoppedAnimating(&view);
    }
}

double wrapAngle(double angle) {
    while (angle > std::numbers::pi) angle -= 2 * std::numbers::pi;
    while (angle < -std::numbers::pi) angle += 2 * std::numbers::pi;
    return angle;
}

}  // namespace

bool isCapturing() {
    return enabledFlag() && !openBlocks().empty() && openBlocks().back().duration > 0;
}

void recordBounds(UIView& view, const CGRect& previous) {
    record(view, view.animationState().bounds, previous, view.bounds());
}

void recordCenter(UIView& view, const CGPoint& previous) {
    record(view, view.animationState().center, previous, view.center());
}

void recordTransform(UIView& view, const CGAffineTransform& previous) {
    record(view, view.animationState().transform, previous, view.transform());
}

void recordAlpha(UIView& view, double previous) {
    record(view, view.animationState().alpha, previous, view.alpha());
}

void recordBackgroundColor(UIView& view, const UIColor& previous) {
    record(view, view.animationState().backgroundColor, previous, view.backgroundColor());
}

double interpolate(double from, double to, double progress) {
    return from + (to - from) * progress;
}

CGPoint interpolate(const CGPoint& from, const CGPoint& to, double progress) {
    return {interpolate(from.x, to.x, progress), interpolate(from.y, to.y, progress)};
}

CGRect interpolate(const CGRect& from, const CGRect& to, double progress) {
    return {interpolate(from.origin, to.origin, progress),
            {interpolate(from.size.width, to.size.width, progress),
             interpolate(from.size.height, to.size.height, progress)}};
}

CGAffineTransform interpolate(const CGAffineTransform& from, const CGAffineTransform& to,
                              double progress) {
    // Turn through the shorter way, scaling and moving on the way, as the screen would.
    double fromAngle = from.rotationAngle();
    double angle = fromAngle + wrapAngle(to.rotationAngle() - fromAngle) * progress;
    double sx = interpolate(from.scaleX(), to.scaleX(), progress);
    double sy = interpolate(from.scaleY(), to.scaleY(), progress);
    double cosine = std::cos(angle);
    double sine = std::sin(angle);
    return {sx * cosine,
            sx * sine,
            -sy * sine,
            sy * cosine,
            interpolate(from.tx, to.tx, progress),
            interpolate(from.ty, to.ty, progress)};
}

UIColor interpolate(const UIColor& from, const UIColor& to, double progress) {
    return UIColor::colorWithRed(interpolate(from.red(), to.red(), progress),
                                 interpolate(from.green(), to.green(), progress),
                                 interpolate(from.blue(), to.blue(), progress),
                                 interpolate(from.alpha(), to.alpha(), progress));
}

void viewStartedAnimating(UIView* view) {
    animatingViews().insert(view);
}

void viewStoppedAnimating(UIView* view) {
    animatingViews().erase(view);
}

bool hasRunningAnimations() {
    // Reading a presentation drops the animations that have ended.
    std::vector<UIView*> views(animatingViews().begin(), animatingViews().end());
    for (UIView* view : views) view->hasRunningAnimations();
    return !animatingViews().empty();
}

void beginBlock(double duration, double delay, UIViewAnimationOptions options,
                std::function<void(bool)> completion) {
    auto group = std::make_shared<AnimationGroup>();
    group->completion = std::move(completion);
    openBlocks().push_back({std::max(0.0, duration), std::max(0.0, delay), curveForOptions(options),
                            std::move(group)});
}

void commitBlock() {
    OpenBlock block = std::move(openBlocks().back());
    openBlocks().pop_back();
    if (!block.group->completion) return;
    auto group = block.group;
    auto finish = [group] {
        auto completion = std::move(group->completion);
        group->completion = nullptr;
        if (completion) completion(group->finished);
    };
    if (group->hasAnimations) {
        RunLoop::main().postAfter(block.delay + block.duration, finish);
    } else {
        RunLoop::main().post(finish);
    }
}

void setEnabled(bool enabled) {
    enabledFlag() = enabled;
}

bool enabled() {
    return enabledFlag();
}

}  // namespace hx::animation

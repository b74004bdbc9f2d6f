#include "platform/ui/scroll/ScrollAnimator.h"

#include <algorithm>

#include "platform/runloop/Clock.h"
#include "platform/runloop/Timer.h"

namespace hx::ui {

ScrollAnimator::~ScrollAnimator() {
    stop();
}

double ScrollAnimator::easeOut(double t) {
    t = std::clamp(t, 0.0, 1.0);
    double rest = 1 - t;
    return 1 - rest * rest * rest;
}

void ScrollAnimator::animate(CGPoint from, CGPoint to, double duration,
                             std::function<void(CGPoint)> step, std::function<void()> done) {
    stop();
    from_ = from;
    to_ = to;
    start_ = Clock::now();
    duration_ = std::max(duration, kFrameInterval);
    step_ = std::move(step);
    done_ = std::move(done);
    // The timer holds only a plain pointer: stop() (also from the destructor) invalidates it
    // before this animator goes.
    timer_ = Timer::scheduled(kFrameInterval, true, [this](Timer&) { tick(); });
}

void ScrollAnimator::stop() {
    if (timer_) timer_->invalidate();
    timer_.reset();
    step_ = nullptr;
    done_ = nullptr;
}

void ScrollAnimator::tick() {
    double t = (Clock::now() - start_) / duration_;
    double eased = easeOut(t);
    CGPoint at = t >= 1 ? to_
                        : CGPointMake(from_.x + (to_.x - from_.x) * eased,
                                      from_.y + (to_.y - from_.y) * eased);
    // The step may stop or restart this animator; keep what this tick needs.
    std::function<void(CGPoint)> step = step_;
    std::function<void()> done = done_;
    std::shared_ptr<Timer> timer = timer_;
    if (t >= 1) {
        if (timer_) timer_->invalidate();
        timer_.reset();
        step_ = nullptr;
        done_ = nullptr;
    }
    if (step) step(at);
    if (t >= 1 && done) done();
}

}  // namespace hx::ui

#pragma once
// Moves a scroll position over time on the run loop's clock, one step per display refresh, so
// that the scroll view's owner sees every intermediate offset (and tests can step through them
// by advancing the clock). Easing is a cubic ease-out: it starts at the speed that carries the
// whole distance in a third of the time and comes smoothly to rest.
//
// Threads: main thread only.

#include <functional>
#include <memory>

#include "platform/geometry/Geometry.h"

namespace hx {

class Timer;

namespace ui {

class ScrollAnimator {
  public:
    static constexpr double kFrameInterval = 1.0 / 60;

    ScrollAnimator() = default;
    ~ScrollAnimator();
    ScrollAnimator(const ScrollAnimator&) = delete;
    ScrollAnimator& operator=(const ScrollAnimator&) = delete;

    // Calls step with the eased position on every frame, the last one exactly `to`, then done.
    // Replaces an animation in progress (whose done is not called).
    void animate(CGPoint from, CGPoint to, double duration, std::function<void(CGPoint)> step,
                 std::function<void()> done);
    // Stops without calling done.
    void stop();
    bool isRunning() const { return timer_ != nullptr; }

    // The cubic ease-out at t in [0, 1].
    static double easeOut(double t);

  private:
    void tick();

    std::shared_ptr<Timer> timer_;
    CGPoint from_;
    CGPoint to_;
    double start_ = 0;
    double duration_ = 0;
    std::function<void(CGPoint)> step_;
    std::function<void()> done_;
};

}  // namespace ui
}  // namespace hx

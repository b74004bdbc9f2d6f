#pragma once
// Modal presentation and dismissal of view controllers: puts the presented controller's view
// into the window over everything, slides it up from the bottom (or fades it in, for the cross
// dissolve), makes the appearance calls and, when the animation ends, takes the covered
// presenter's view out of the window; dismissal runs the same in reverse.
//
// A transition runs from the presentation root (the top of the presenter's container chain).
// A new presentation or dismissal on the same root first ends the one in flight at once, so the
// controllers are never left half presented.
//
// Threads: main thread only.

#include <functional>
#include <memory>

namespace hx {

class UIViewController;

class PresentationTransition {
  public:
    // Seconds of the animations.
    static constexpr double kSlideDuration = 0.4;
    static constexpr double kFadeDuration = 0.25;

    static void present(UIViewController& presenter, std::shared_ptr<UIViewController> presented,
                        bool animated, std::function<void()> completion);
    static void dismiss(UIViewController& presenter, bool animated,
                        std::function<void()> completion);

    // Ends the transition now if it has not ended yet.
    void finish();

  private:
    std::function<void()> finish_;
};

}  // namespace hx

#pragma once
// Hands a view controller the transition that is about to run (a rotation, a size change), so
// that it can animate its own changes alongside and act when it has finished.
//
// Alongside blocks run inside the transition's animation block, after the new traits and
// sizes are in place (so they read the new interface orientation); completion blocks run once
// the animation has ended, on the main queue.
//
// Threads: main thread only.

#include <functional>
#include <vector>

namespace hx {

class UIViewControllerTransitionCoordinatorContext {
  public:
    UIViewControllerTransitionCoordinatorContext(bool animated, double duration, bool cancelled)
        : animated_(animated), duration_(duration), cancelled_(cancelled) {}
    bool isAnimated() const { return animated_; }
    double transitionDuration() const { return duration_; }
    bool isCancelled() const { return cancelled_; }

  private:
    bool animated_;
    double duration_;
    bool cancelled_;
};

class UIViewControllerTransitionCoordinator {
  public:
    using Block = std::function<void(const UIViewControllerTransitionCoordinatorContext&)>;

    UIViewControllerTransitionCoordinator(bool animated, double duration)
        : animated_(animated), duration_(duration) {}

    // Either block may be empty. Returns true: every transition here can take blocks.
    bool animateAlongsideTransition(Block animation, Block completion);
    bool isAnimated() const { return animated_; }
    double transitionDuration() const { return duration_; }

    // For the code that drives the transition: inside its animation block, then when it ends.
    void runAlongsideAnimations();
    void runCompletions(bool cancelled = false);

  private:
    bool animated_;
    double duration_;
    std::vector<Block> animations_;
    std::vector<Block> completions_;
};

}  // namespace hx

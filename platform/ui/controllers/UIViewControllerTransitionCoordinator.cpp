#include "platform/ui/controllers/UIViewControllerTransitionCoordinator.h"

namespace hx {

bool UIViewControllerTransitionCoordinator::animateAlongsideTransition(Block animation,
                                                                       Block completion) {
    if (animation) animations_.push_back(std::move(animation));
    if (completion) completions_.push_back(std::move(completion));
    return true;
}

void UIViewControllerTransitionCoordinator::runAlongsideAnimations() {
    UIViewControllerTransitionCoordinatorContext context(animated_, duration_, false);
    // Blocks may add blocks; run them by index so that additions run too.
    for (std::size_t i = 0; i < animations_.size(); ++i) {
        Block block = animations_[i];
        block(context);
    }
    animations_.clear();
}

void UIViewControllerTransitionCoordinator::runCompletions(bool cancelled) {
    UIViewControllerTransitionCoordinatorContext context(animated_, duration_, cancelled);
    for (std::size_t i = 0; i < completions_.size(); ++i) {
        Block block = completions_[i];
        block(context);
    }
    completions_.clear();
}

}  // namespace hx

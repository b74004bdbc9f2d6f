// The script commands of the photo browser: a tap on an item of the front-most grid, a page
// turned by a finger on the front-most pager, and the viewer's share into a folder.

#include <memory>

#include "app/shell/ScriptRunner.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/events/TouchDispatcher.h"
#include "platform/ui/host/UIRenderer.h"
#include "platform/ui/scroll/UICollectionView.h"
#include "platform/ui/window/UIWindow.h"

namespace hx::app {

namespace {

constexpr double kSwipeSeconds = 0.2;
// The share of the pager's width a swipe travels, and the time a turned page takes to settle.
constexpr double kSwipeTravel = 0.6;
constexpr double kSwipeSettleSeconds = 0.5;
constexpr double kShareTimeoutSeconds = 30;

bool showsOnScreen(const UIView& view) {
    for (const UIView* v = &view; v; v = v->superview().get()) {
        if (v->isHidden() || v->alpha() < 0.01) return false;
    }
    return true;
}

// The last match in drawing order (later subviews draw above earlier ones) that shows.
template <typename Match>
std::shared_ptr<UIView> frontMost(const std::shared_ptr<UIView>& root, const Match& match) {
    std::shared_ptr<UIView> found;
    if (!root || root->isHidden() || root->alpha() < 0.01) return found;
    if (match(*root)) found = root;
    for (const auto& child : root->subviews()) {
        if (auto inner = frontMost(child, match)) found = inner;
    }
    return found;
}

}  // namespace

bool ScriptRunner::expandBrowsing(const ScriptCommand& command) {
    UIRenderer::layoutTree(*window_);
    switch (command.kind) {
        case ScriptCommandKind::Item: {
            auto view = frontMost(window_, [](const UIView& v) {
                return dynamic_cast<const UICollectionView*>(&v) != nullptr;
            });
            auto grid = std::dynamic_pointer_cast<UICollectionView>(view);
            if (!grid || !showsOnScreen(*grid)) {
                finish(2, where() + "item: no grid on screen", true);
                return false;
            }
            const auto path = NSIndexPath::indexPathForItem(command.count, 0);
            if (command.count >= grid->numberOfItemsInSection(0)) {
                finish(2, where() + "item: the grid has no item " + std::to_string(command.count),
                       true);
                return false;
            }
            const bool vertical = grid->collectionViewLayout()->scrollDirection() ==
                                  UICollectionViewScrollDirection::Vertical;
            grid->scrollToItemAtIndexPath(path,
                                          vertical
                                              ? UICollectionViewScrollPositionCenteredVertically
                                              : UICollectionViewScrollPositionCenteredHorizontally,
                                          false);
            UIRenderer::layoutTree(*window_);
            auto cell = grid->cellForItemAtIndexPath(path);
            if (!cell) {
                finish(2, where() + "item: item " + std::to_string(command.count) + " not shown",
                       true);
                return false;
            }
            const CGRect frame = cell->convertRectToView(cell->bounds(), nullptr);
            addTap({frame.midX(), frame.midY()}, 1);
            return true;
        }
        case ScriptCommandKind::Swipe: {
            auto pager = frontMost(window_, [](const UIView& v) {
                auto scroll = dynamic_cast<const UIScrollView*>(&v);
                return scroll && scroll->isPagingEnabled() &&
                       !dynamic_cast<const UICollectionView*>(&v);
            });
            if (!pager || !showsOnScreen(*pager)) {
                finish(2, where() + "swipe: no pager on screen", true);
                return false;
            }
            const CGRect frame = pager->convertRectToView(pager->bounds(), nullptr);
            const double travel = frame.width() * kSwipeTravel / 2;
            const double y = frame.midY();
            ScriptCommand drag;
            drag.kind = ScriptCommandKind::Drag;
            drag.line = command.line;
            drag.seconds = kSwipeSeconds;
            // Left moves the finger leftwards: the next page comes in from the right.
            const double sign = command.option ? 1 : -1;
            drag.point = {frame.midX() + sign * travel, y};
            drag.to = {frame.midX() - sign * travel, y};
            expand(drag);
            steps_.push_back([] { return StepResult{kSwipeSettleSeconds}; });
            return true;
        }
        case ScriptCommandKind::Share: {
            struct Outcome {
                bool done = false;
                std::string error;
            };
            auto outcome = std::make_shared<Outcome>();
            steps_.push_back([this, outcome, folder = command.text, bare = command.option] {
                std::string error;
                auto done = [outcome](const std::string& failure) {
                    outcome->done = true;
                    outcome->error = failure;
                };
                if (!target_->shareToFolder(folder, bare, done, &error))
                    finish(2, where() + "share: " + error, true);
                return StepResult{};
            });
            auto deadline = std::make_shared<double>(-1);
            steps_.push_back([this, outcome, deadline] {
                if (*deadline < 0) *deadline = Clock::now() + kShareTimeoutSeconds;
                if (!outcome->done && clock_ == ScriptClock::Manual)
                    RunLoop::main().runUntil([outcome] { return outcome->done; }, 0.05);
                if (outcome->done) {
                    if (!outcome->error.empty())
                        finish(1, where() + "share: " + outcome->error, true);
                    return StepResult{};
                }
                if (Clock::now() >= *deadline) {
                    finish(1, where() + "share: nothing written after 30 s", true);
                    return StepResult{};
                }
                return StepResult{kIdlePollSeconds, true};
            });
            return true;
        }
        default:
            return true;
    }
}

}  // namespace hx::app

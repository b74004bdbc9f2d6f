#include "tools/halidex-photo-editor/EditorScreen.h"

#include <cstdio>
#include <functional>

#include "platform/log/Log.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/events/TouchDispatcher.h"
#include "platform/ui/host/HeadlessHost.h"
#include "platform/ui/host/QtWindowHost.h"
#include "platform/ui/navigation/UIBarButtonItem.h"
#include "platform/ui/navigation/UINavigationItem.h"
#include "platform/ui/scroll/UICollectionView.h"

namespace hx::photo_editor {

namespace {

// Seconds between the steps a window takes on its own.
constexpr double kStepSeconds = 0.5;
// Without a limit, a wait still ends: after a day.
constexpr double kUnlimitedSeconds = 24 * 3600;

// The first collection view in the tree: the extension's grid.
std::shared_ptr<UICollectionView> findCollectionView(const std::shared_ptr<UIView>& view) {
    if (!view) return nullptr;
    if (auto grid = std::dynamic_pointer_cast<UICollectionView>(view)) return grid;
    for (const auto& child : view->subviews())
        if (auto grid = findCollectionView(child)) return grid;
    return nullptr;
}

}  // namespace

EditorScreen::EditorScreen(photos::AssetRef asset, const photos::PhotoEditingExtension& extension)
    : asset_(std::move(asset)), extension_(extension) {}

bool EditorScreen::open(double timeoutSeconds, std::string* error) {
    principal_ = extension_.makePrincipal();
    if (!principal_.viewController || !principal_.contentEditingController) {
        if (error) *error = std::string(extension_.displayName) + " made no view controller";
        return false;
    }
    auto controller = principal_.contentEditingController;
    photos::ContentEditingInputRequestOptions options;
    options.canHandleAdjustmentData = [controller](const photos::AdjustmentData& data) {
        return controller->canHandleAdjustmentData(data);
    };
    struct Arrival {
        bool arrived = false;
        std::shared_ptr<const photos::ContentEditingInput> input;
        photos::ContentEditingInputInfo info;
    };
    auto arrival = std::make_shared<Arrival>();
    asset_->requestContentEditingInputWithOptions(
        &options, [arrival](std::shared_ptr<const photos::ContentEditingInput> input,
                            const photos::ContentEditingInputInfo& info) {
            arrival->input = std::move(input);
            arrival->info = info;
            arrival->arrived = true;
        });
    RunLoop::main().runUntil([arrival] { return arrival->arrived; },
                             timeoutSeconds > 0 ? timeoutSeconds : kUnlimitedSeconds);
    if (!arrival->input) {
        if (error)
            *error = "the library gave no content-editing input for " + asset_->localIdentifier() +
                     (arrival->info.error ? ": " + arrival->info.error->localizedDescription
                                          : std::string(arrival->arrived ? "" : " in time"));
        return false;
    }
    controller->startContentEditingWithInput(arrival->input, nullptr);
    buildWindow();
    return true;
}

void EditorScreen::buildWindow() {
    auto viewController = principal_.viewController;
    navigation_ = UINavigationController::make(viewController);
    navigation_->navigationBar()->setBarStyle(UIBarStyle::Black);
    viewController->setTitle(extension_.displayName);
    cancelItem_ = UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem::Cancel);
    doneItem_ = UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem::Done);
    viewController->navigationItem().setLeftBarButtonItem(cancelItem_);
    viewController->navigationItem().setRightBarButtonItem(doneItem_);
    window_ = UIWindow::make();
    window_->setBackgroundColor(UIColor::blackColor());
    window_->setRootViewController(navigation_);
    window_->makeKeyAndVisible();
}

bool EditorScreen::scrollToRow(int row) {
    auto grid = findCollectionView(principal_.viewController->view());
    if (!grid || row < 0 || row >= grid->numberOfItemsInSection(0)) return false;
    grid->scrollToItemAtIndexPath(NSIndexPath::indexPathForItem(row, 0),
                                  UICollectionViewScrollPositionCenteredHorizontally, false);
    return true;
}

bool EditorScreen::tapRow(int row) {
    auto grid = findCollectionView(principal_.viewController->view());
    if (!grid) return false;
    auto cell = grid->cellForItemAtIndexPath(NSIndexPath::indexPathForItem(row, 0));
    if (!cell) return false;
    const CGRect bounds = cell->bounds();
    tap(cell->convertPointToView(CGPointMake(bounds.midX(), bounds.midY()), nullptr));
    for (const NSIndexPath& selected : grid->indexPathsForSelectedItems())
        if (selected.item == row) return true;
    return false;
}

void EditorScreen::tap(CGPoint point) {
    window_->touchDispatcher().fingerDown(0, point);
    window_->touchDispatcher().fingerUp(0, point);
}

void EditorScreen::press(UIBarButtonItem& item) {
    auto view = item.view();
    if (!view || !view->window()) {
        item.sendAction();
        return;
    }
    const CGRect bounds = view->bounds();
    tap(view->convertPointToView(CGPointMake(bounds.midX(), bounds.midY()), nullptr));
}

bool EditorScreen::chooseRow(HeadlessHost& host, int row) {
    if (!scrollToRow(row)) return false;
    host.advance(0.5);
    const bool chosen = tapRow(row);
    host.advance(1);
    return chosen;
}

bool EditorScreen::writeScreenshot(HeadlessHost& host, const std::string& path) {
    return host.writePNG(path);
}

void EditorScreen::cancel() {
    principal_.contentEditingController->cancelContentEditing();
}

void EditorScreen::finish(
    std::function<void(std::shared_ptr<photos::ContentEditingOutput>)> finished) {
    auto once = std::make_shared<bool>(false);
    principal_.contentEditingController->finishContentEditingWithCompletionHandler(
        [finished = std::move(finished), once](std::shared_ptr<photos::ContentEditingOutput> out) {
            DispatchQueue::main().async([finished, once, out] {
                // The protocol promises one call; a second one is ignored.
                if (*once) return;
                *once = true;
                finished(out);
            });
        });
}

bool EditorScreen::commit(const std::shared_ptr<photos::ContentEditingOutput>& output,
                          std::string* error) {
    if (!output) {
        if (error)
            *error = std::string(extension_.displayName) +
                     " could not write the edited photo; the library is unchanged";
        return false;
    }
    photos::PhotosError failure;
    const bool saved = photos::PhotoLibrary::sharedPhotoLibrary()->performChangesAndWait(
        [&] {
            photos::AssetChangeRequest::changeRequestForAsset(*asset_)->setContentEditingOutput(
                output);
        },
        &failure);
    if (!saved && error)
        *error = "the library did not take the edit: " + failure.localizedDescription;
    return saved;
}

bool EditorScreen::finishAndCommit(double timeoutSeconds, std::string* error) {
    struct Result {
        bool finished = false;
        std::shared_ptr<photos::ContentEditingOutput> output;
    };
    auto result = std::make_shared<Result>();
    finish([result](std::shared_ptr<photos::ContentEditingOutput> output) {
        result->output = std::move(output);
        result->finished = true;
    });
    if (!RunLoop::main().runUntil([result] { return result->finished; }, timeoutSeconds)) {
        if (error) *error = std::string(extension_.displayName) + " did not finish in time";
        return false;
    }
    return commit(result->output, error);
}

int EditorScreen::runInWindow(const Steps& steps) {
    QtWindowHost host(window_);
    int status = 0;
    cancelItem_->setTarget(this);
    cancelItem_->setAction([this, &host](UIBarButtonItem*) {
        cancel();
        std::printf("%s cancelled\n", asset_->localIdentifier().c_str());
        host.quit();
    });
    doneItem_->setTarget(this);
    doneItem_->setAction([this, &host, &status](UIBarButtonItem*) {
        cancelItem_->setEnabled(false);
        doneItem_->setEnabled(false);
        finish([this, &host, &status](std::shared_ptr<photos::ContentEditingOutput> output) {
            std::string error;
            if (commit(output, &error)) {
                std::printf("%s edited\n", asset_->localIdentifier().c_str());
            } else {
                std::fprintf(stderr, "halidex-photo-editor: %s\n", error.c_str());
                status = 1;
            }
            host.quit();
        });
    });
    host.show();
    // The steps run as a user's would, a moment apart on the clock, through the window's touches.
    double at = kStepSeconds;
    if (steps.row) {
        const int row = *steps.row;
        RunLoop::main().postAfter(at, [this, row, &status, &host] {
            if (!scrollToRow(row)) {
                std::fprintf(stderr, "halidex-photo-editor: the extension's grid has no row %d\n",
                             row);
                status = 1;
                host.quit();
            }
        });
        at += kStepSeconds;
        RunLoop::main().postAfter(at, [this, row, &status, &host] {
            if (status == 0 && !tapRow(row)) {
                std::fprintf(stderr, "halidex-photo-editor: row %d could not be chosen\n", row);
                status = 1;
                host.quit();
            }
        });
        at += kStepSeconds;
    }
    if (steps.done || steps.cancel) {
        const bool done = steps.done;
        RunLoop::main().postAfter(at, [this, done, &status] {
            if (status == 0) press(done ? *doneItem_ : *cancelItem_);
        });
    }
    host.exec();
    return status;
}

}  // namespace hx::photo_editor

#pragma once
// One editing session of the photo editor: the extension's principal for one photo, its screen
// under a navigation bar with Cancel and Done, and the commit of what Done produces.
//
// Threads: main thread. The extension reports Done's result on another thread; it is brought
// back to the main queue before anything else happens.

#include <memory>
#include <optional>
#include <string>

#include "platform/photos/Photos.h"
#include "platform/photos/editing/ContentEditingController.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/window/UIWindow.h"

namespace hx {
class HeadlessHost;
}

namespace hx::photo_editor {

class EditorScreen {
  public:
    EditorScreen(photos::AssetRef asset, const photos::PhotoEditingExtension& extension);

    // Makes the extension's principal, asks the library for the photo's content-editing input
    // (waiting up to `timeoutSeconds`, or without limit at 0), starts the edit and builds the
    // window. False, with *error set, when there is no input.
    bool open(double timeoutSeconds, std::string* error);
    const std::shared_ptr<UIWindow>& window() const { return window_; }

    // Chooses grid row `row` as a finger would: scrolls the extension's grid to it and taps it.
    bool chooseRow(HeadlessHost& host, int row);
    // The grid scrolled so that row `row` shows, or false when the grid has no such row.
    bool scrollToRow(int row);
    // Taps row `row` where it shows now; false when it does not show or was not selected.
    bool tapRow(int row);
    // The window as a PNG file.
    bool writeScreenshot(HeadlessHost& host, const std::string& path);

    void cancel();
    // Presses Done: waits for the extension's output and commits it to the library.
    bool finishAndCommit(double timeoutSeconds, std::string* error);

    // What the window does on its own once shown, as a user would: choose a row, then press
    // Done or Cancel.
    struct Steps {
        std::optional<int> row;
        bool done = false;
        bool cancel = false;
    };
    // Shows the window until Cancel or Done (or the window is closed); the exit status.
    int runInWindow(const Steps& steps);

  private:
    struct Finish;
    void buildWindow();
    // Starts Done; `finished` runs on the main queue with the output (null on failure).
    void finish(std::function<void(std::shared_ptr<photos::ContentEditingOutput>)> finished);
    bool commit(const std::shared_ptr<photos::ContentEditingOutput>& output, std::string* error);
    // A finger down and up at a point of the window.
    void tap(CGPoint point);
    // Taps the bar item where the bar shows it.
    void press(UIBarButtonItem& item);

    photos::AssetRef asset_;
    const photos::PhotoEditingExtension& extension_;
    photos::PhotoEditingExtensionPrincipal principal_;
    std::shared_ptr<UINavigationController> navigation_;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UIBarButtonItem> cancelItem_;
    std::shared_ptr<UIBarButtonItem> doneItem_;
};

}  // namespace hx::photo_editor

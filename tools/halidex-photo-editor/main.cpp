// halidex-photo-editor: the desktop's stand-in for the system's photo editor. It opens a library
// photo, loads the photo-editing extension, shows the extension's screen under a bar with
// Cancel and Done, and on Done commits the extension's output to the library: the rendered JPEG
// becomes the photo's current version, the original is kept (halidex-library revert ID brings
// it back).
//
//   halidex-photo-editor ID                              in a window
//   halidex-photo-editor ID [--row N] --done|--cancel    without a window: choose grid row N
//                                                        (0 to 9) as a tap would, then press
//                                                        Done or Cancel
//   halidex-photo-editor ID [--row N] --screenshot FILE  the screen as a PNG, then Cancel
//                                                        unless --done is given too
//   halidex-photo-editor ID --window [--row N] [--done|--cancel]
//                                                        the window, taking those steps itself,
//                                                        as taps a moment apart
//   ... --extension FILE   the extension to load (see EditingExtension.h for the default)
//   ... --device PROFILE   a built-in device profile or a profile file
//
// Exit status: 0 the library committed the edit, or it was cancelled; 1 the edit or the library
// failed; 2 bad usage, a row outside 0 to 9 or an unknown identifier.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "platform/device/DeviceProfile.h"
#include "platform/image/ImageLimits.h"
#include "platform/photos/Photos.h"
#include "platform/photos/store/LibraryStore.h"
#include "platform/photos/store/LocalIdentifier.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/host/HeadlessHost.h"
#include "platform/ui/host/QtApplication.h"
#include "tools/ExitStatus.h"
#include "tools/LibraryBusy.h"
#include "tools/halidex-photo-editor/EditingExtension.h"
#include "tools/halidex-photo-editor/EditorScreen.h"

namespace {

using namespace hx;
using namespace hx::photo_editor;

using tools::kExitBadInput;
using tools::kExitBusy;
using tools::kExitFailure;
using tools::kExitOk;
using tools::printable;
// Longest wait for the library or the extension in the headless form.
constexpr double kHeadlessTimeoutSeconds = 600;

constexpr const char* kUsage =
    "usage: halidex-photo-editor ID [--row N] [--done | --cancel] [--screenshot FILE]\n"
    "                            [--window] [--extension FILE] [--device PROFILE]\n"
    "  ID                  the photo's local identifier (as halidex-library list prints it)\n"
    "  --row N             choose grid row N: 0 no film, 1 to 9 the films 0 to 8\n"
    "  --done, --cancel    press Done or Cancel without a window\n"
    "  --window            show the window even so, and take --row and --done or --cancel\n"
    "                      in it as taps, a moment apart\n"
    "  --screenshot FILE   write the screen as a PNG picture, without a window\n"
    "Without --done, --cancel or --screenshot the photo opens in a window.\n"
    "Exit status: 0 committed or cancelled, 1 failed, 2 bad usage, an unknown identifier or\n"
    "an extension that cannot be loaded, 3 the library is busy (another program holds it).\n";

struct Options {
    std::string identifier;
    std::optional<int> row;
    bool done = false;
    bool cancel = false;
    std::string screenshot;
    std::string extension;
    std::string device;
    bool window = false;
    bool headless() const { return !window && (done || cancel || !screenshot.empty()); }
};

int usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "halidex-photo-editor: %s\n", problem.c_str());
    std::fputs(kUsage, stderr);
    return kExitBadInput;
}

std::optional<int> parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        auto value = [&](std::string& target) {
            if (i + 1 >= argc) return false;
            target = argv[++i];
            return !target.empty();
        };
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }
        if (argument == "--row") {
            std::string text;
            if (!value(text)) return usage("--row needs a number from 0 to 9");
            char* end = nullptr;
            const long row = std::strtol(text.c_str(), &end, 10);
            if (*end || row < 0 || row > 9)
                return usage("--row takes 0 to 9, not \"" + text + "\"");
            options.row = int(row);
        } else if (argument == "--done") {
            options.done = true;
        } else if (argument == "--cancel") {
            options.cancel = true;
        } else if (argument == "--window") {
            options.window = true;
        } else if (argument == "--screenshot") {
            if (!value(options.screenshot)) return usage("--screenshot needs a file name");
            if (options.screenshot.size() < 4 ||
                options.screenshot.compare(options.screenshot.size() - 4, 4, ".png") != 0)
                return usage("--screenshot FILE must end in .png");
        } else if (argument == "--extension") {
            if (!value(options.extension)) return usage("--extension needs a file");
        } else if (argument == "--device") {
            if (!value(options.device)) return usage("--device needs a profile");
        } else if (!argument.empty() && argument[0] == '-') {
            return usage("unknown option " + argument);
        } else if (options.identifier.empty()) {
            options.identifier = argument;
        } else {
            return usage("one identifier only");
        }
    }
    if (options.identifier.empty()) return usage("which photo? give its identifier");
    if (options.done && options.cancel) return usage("--done and --cancel exclude each other");
    if (options.window && !options.screenshot.empty())
        return usage("--screenshot is taken without a window");
    if (options.row && !options.done && !options.cancel && options.screenshot.empty())
        return usage("--row goes with --done, --cancel or --screenshot; in the window, tap a row");
    return std::nullopt;
}

photos::AssetRef findAsset(const std::string& identifier) {
    const std::string full = identifier.find('/') == std::string::npos
                                 ? identifier + photos::kAssetIdentifierSuffix
                                 : identifier;
    return photos::Asset::fetchAssetsWithLocalIdentifiers({full}, nullptr).firstObject();
}

int run(const Options& options) {
    if (!options.device.empty()) {
        std::string error;
        if (!DeviceProfile::select(options.device, &error)) {
            // A name that is no profile is a usage error; a profile file that is wrong is not.
            if (error.rfind("no device profile named", 0) == 0) return usage(error);
            std::fprintf(stderr, "halidex-photo-editor: %s\n", printable(error).c_str());
            return kExitBadInput;
        }
    }
    const bool headless = options.headless();
    if (headless) {
        // The same pixels on every machine: no display, and a clock that moves only on request.
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        Clock::useManualTime(0);
    }
    RunLoop::main().bindToCurrentThread();
    if (!ui::ensureQtApplication()) {
        std::fprintf(stderr, "halidex-photo-editor: Qt cannot start\n");
        return kExitFailure;
    }
    if (!headless && !ui::hasDisplay()) {
        std::fprintf(stderr,
                     "halidex-photo-editor: no display; use --done, --cancel or --screenshot\n");
        return kExitFailure;
    }

    // The library waits for a program that holds its write lock; the editor says so at once.
    if (std::string busy = tools::libraryBusyProblem(); !busy.empty()) {
        std::fprintf(stderr, "halidex-photo-editor: %s\n", busy.c_str());
        return kExitBusy;
    }
    photos::PhotoLibrary::Options libraryOptions;
    // The editor is the system's own: the library's authorisation of programs does not apply.
    libraryOptions.enforcesAuthorization = false;
    std::string error;
    auto library = photos::PhotoLibrary::open({}, libraryOptions, &error);
    if (!library) {
        std::fprintf(stderr, "halidex-photo-editor: %s\n", printable(error).c_str());
        return kExitFailure;
    }
    photos::PhotoLibrary::setSharedPhotoLibrary(library);
    photos::AssetRef asset = findAsset(options.identifier);
    if (!asset) {
        std::fprintf(stderr, "halidex-photo-editor: no photo with identifier %s\n",
                     printable(options.identifier).c_str());
        return kExitBadInput;
    }

    const std::string path = options.extension.empty() ? defaultExtensionPath() : options.extension;
    const photos::PhotoEditingExtension* extension = loadExtension(path, &error);
    if (!extension) {
        std::fprintf(stderr, "halidex-photo-editor: %s\n", printable(error).c_str());
        return kExitBadInput;
    }

    EditorScreen screen(asset, *extension);
    if (!screen.open(headless ? kHeadlessTimeoutSeconds : 0, &error)) {
        std::fprintf(stderr, "halidex-photo-editor: %s\n", error.c_str());
        return kExitFailure;
    }
    if (!headless) return screen.runInWindow({options.row, options.done, options.cancel});

    HeadlessHost host(screen.window());
    host.advance(1);
    if (options.row && !screen.chooseRow(host, *options.row)) {
        std::fprintf(stderr, "halidex-photo-editor: the extension's grid has no row %d\n",
                     *options.row);
        return kExitFailure;
    }
    if (!options.screenshot.empty() && !screen.writeScreenshot(host, options.screenshot)) {
        std::fprintf(stderr, "halidex-photo-editor: cannot write %s\n",
                     printable(options.screenshot).c_str());
        return kExitFailure;
    }
    if (!options.done) {
        screen.cancel();
        std::printf("%s cancelled\n", asset->localIdentifier().c_str());
        return kExitOk;
    }
    if (!screen.finishAndCommit(kHeadlessTimeoutSeconds, &error)) {
        std::fprintf(stderr, "halidex-photo-editor: %s\n", error.c_str());
        return kExitFailure;
    }
    std::printf("%s edited\n", asset->localIdentifier().c_str());
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (auto status = parse(argc, argv, options)) return *status;
    image::setDecodePixelLimit(image::kToolDecodePixels);
    int status = kExitFailure;
    try {
        status = run(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "halidex-photo-editor: %s\n", e.what());
    }
    if (auto library = photos::PhotoLibrary::setSharedPhotoLibrary(nullptr))
        if (library->store()) library->store()->checkpointIfLast();
    // Leave without running static destructors: objects the extension made may still be held
    // by the UI layer, and their code lives in a library the process does not unload.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

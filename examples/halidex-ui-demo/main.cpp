// halidex-ui-demo: one screen with every control of the UI layer, in a navigation controller with
// a toolbar, shown in a window or written as a picture without one.
//
//   halidex-ui-demo                                  the demo in a window
//   halidex-ui-demo --screenshot FILE                the window as a JPEG, PNG, TIFF or HEIC
//                                                    (by the extension), without a display
//   halidex-ui-demo ... --device PROFILE             a built-in device profile or a profile file
//   halidex-ui-demo ... --show alert|detail|share    open that first
//
// Screenshots run on the manual clock, one second after start, so that they are the same on
// every run. Exit status: 0 done, 1 no display or the picture cannot be written, 2 bad usage.

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "examples/halidex-ui-demo/DemoCell.h"
#include "examples/halidex-ui-demo/DemoDrawingView.h"
#include "examples/halidex-ui-demo/DemoViewController.h"
#include "platform/device/DeviceProfile.h"
#include "platform/image/Image.h"
#include "platform/image/ImageTypes.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/log/CaptureScope.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/host/HeadlessHost.h"
#include "platform/ui/host/QtApplication.h"
#include "platform/ui/host/QtWindowHost.h"
#include "platform/ui/interface/InterfaceClassRegistry.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/window/UIWindow.h"
#include "tools/ExitStatus.h"

namespace {

constexpr const char* kUsage =
    "usage: halidex-ui-demo [--screenshot FILE] [--device PROFILE] [--show alert|detail|share]\n";
// How long a screenshot waits on the clock for the start-up animations to settle.
constexpr double kScreenshotSettleSeconds = 1.0;

struct Options {
    std::string screenshot;
    std::string device;
    std::string show;
};

int usageError(const char* message) {
    if (message) std::fprintf(stderr, "halidex-ui-demo: %s\n", message);
    std::fputs(kUsage, stderr);
    return 2;
}

// Nothing on success, else the exit status.
std::optional<int> parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        auto value = [&](std::string& target) {
            if (i + 1 >= argc) return false;
            target = argv[++i];
            return !target.empty();
        };
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--screenshot") {
            if (!value(options.screenshot)) return usageError("--screenshot needs a file name");
        } else if (argument == "--device") {
            if (!value(options.device)) return usageError("--device needs a profile");
        } else if (argument == "--show") {
            if (!value(options.show) ||
                (options.show != "alert" && options.show != "detail" && options.show != "share"))
                return usageError("--show takes alert, detail or share");
        } else {
            return usageError(("unknown argument " + argument).c_str());
        }
    }
    return std::nullopt;
}

// Writes the window in the format the file's extension names.
bool writeScreenshot(hx::HeadlessHost& host, const std::string& path) {
    // Premultiplied ARGB words are B, G, R, A bytes in memory on the little-endian machines the
    // program runs on: the image layer's BGRA8.
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
    auto window = std::make_shared<QImage>(
        host.renderImage().convertToFormat(QImage::Format_ARGB32_Premultiplied));
    if (window->isNull()) return false;
    auto picture =
        hx::image::Image::wrap(hx::image::PixelFormat::BGRA8, window->width(), window->height(),
                               window->constBits(), size_t(window->bytesPerLine()), window);
    auto destination =
        hx::image::ImageDestination::createWithURL(path, hx::image::typeForPath(path), 1);
    if (!picture || !destination) return false;
    destination->addImage(picture, {});
    return destination->finalize();
}

void registerDemoClasses() {
    auto& registry = hx::InterfaceClassRegistry::shared();
    registry.registerClass<demo::DemoCell>("DemoCell", "UICollectionViewCell");
    registry.registerClass<demo::DemoDrawingView>("DemoDrawingView", "UIView");
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (auto status = parse(argc, argv, options)) return *status;
    if (!options.device.empty()) {
        std::string error;
        if (!hx::DeviceProfile::select(options.device, &error)) {
            std::fprintf(stderr, "halidex-ui-demo: %s\n", error.c_str());
            return 2;
        }
    }
    const bool headless = !options.screenshot.empty();
    if (headless && hx::image::typeForPath(options.screenshot).empty())
        return usageError(
            "--screenshot FILE must end in .jpg, .jpeg, .png, .tif, .tiff, .heic or .heif");
    if (headless) {
        // The same pixels on every machine: no display, and a clock that only moves on request.
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        hx::Clock::useManualTime(0);
    }
    hx::RunLoop::main().bindToCurrentThread();
    if (!hx::ui::ensureQtApplication()) {
        std::fprintf(stderr, "halidex-ui-demo: Qt cannot start\n");
        return 1;
    }
    if (!headless && !hx::ui::hasDisplay()) {
        std::fprintf(stderr,
                     "halidex-ui-demo: no display; use --screenshot FILE to write the window as "
                     "an image\n");
        return 1;
    }
    registerDemoClasses();

    auto screen = std::make_shared<demo::DemoViewController>();
    auto navigation = hx::UINavigationController::make(screen);
    navigation->navigationBar()->setBarStyle(hx::UIBarStyle::Black);
    navigation->navigationBar()->setTranslucent(true);
    navigation->toolbar()->setBarStyle(hx::UIBarStyle::Black);
    navigation->setToolbarHidden(false, false);
    auto window = hx::UIWindow::make();
    window->setBackgroundColor(hx::UIColor::blackColor());
    window->setRootViewController(navigation);
    window->makeKeyAndVisible();

    auto showFirst = [&] {
        if (options.show == "alert") screen->showAlert(nullptr);
        if (options.show == "detail") screen->pushDetail(nullptr);
        if (options.show == "share") screen->share();
    };

    if (headless) {
        hx::HeadlessHost host(window);
        showFirst();
        host.advance(kScreenshotSettleSeconds);
        // The writer's message becomes the cause in the program's one line; the destination
        // writes a temporary file and renames it, so a failure leaves no partial picture.
        std::string cause = "unknown error";
        bool written = false;
        {
            hx::log::CaptureScope capture;
            written = writeScreenshot(host, options.screenshot);
            const auto messages = capture.messages();
            if (!messages.empty()) cause = messages.back();
        }
        if (!written) {
            if (size_t colon = cause.rfind(": "); colon != std::string::npos)
                cause.erase(0, colon + 2);
            std::fprintf(stderr, "halidex-ui-demo: cannot write %s: %s\n",
                         hx::tools::printable(options.screenshot).c_str(),
                         hx::tools::printable(cause).c_str());
            return hx::tools::kExitFailure;
        }
        return 0;
    }
    hx::QtWindowHost host(window);
    host.show();
    showFirst();
    return host.exec();
}

// halidex: the camera application.
//
//   halidex [--device PROFILE] [--headless] [--script FILE|-] [--action takephoto|takeselfie]
//
// One camera per user: a launch while another runs hands its quick action (or a request to come
// forward) to the running one and ends. With a display the camera opens in a window; with
// --headless it runs without one (the screen is still drawn for screenshots), on a clock of its
// own while a script drives it, else in real time until it is interrupted.
//
// Exit status: 0 done, 1 failure (no display, a failed wait-idle, a picture that cannot be
// written, the running camera cannot be reached), 2 bad usage or a bad script line.

#include <malloc.h>
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "app/CameraScriptTarget.h"
#include "app/camera/hxAppDelegate.h"
#include "app/shell/CameraScript.h"
#include "app/shell/CommandLine.h"
#include "app/shell/HardwareKeys.h"
#include "app/shell/ScriptRunner.h"
#include "app/shell/SingleInstance.h"
#include "platform/device/DeviceProfile.h"
#include "platform/log/Log.h"
#include "platform/motion/simulated/SimulatedAccelerometer.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/host/HeadlessHost.h"
#include "platform/ui/host/QtApplication.h"
#include "platform/ui/host/QtWindowHost.h"
#include "platform/ui/window/UIApplication.h"
#include "tools/ExitStatus.h"

namespace {

using namespace hx;
using namespace hx::app;

// Allocations from this size up get pages of their own (see main).
constexpr int kPictureAllocationThreshold = 4 << 20;

// One line on standard error: a file name or script text in the message cannot break it or
// send control characters to the terminal.
int fail(int status, const std::string& message) {
    std::fprintf(stderr, "halidex: %s\n", hx::tools::printable(message).c_str());
    return status;
}

// SIGINT and SIGTERM end the run loop from the main thread: they are blocked everywhere and
// taken by a thread of their own, which asks the main run loop to stop.
void stopOnSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::thread([stopSignals] {
        int taken = 0;
        if (sigwait(&stopSignals, &taken) == 0) {
            RunLoop::main().post([] { RunLoop::main().stop(); });
        }
    }).detach();
}

// Requests from later launches: a quick action, or a plain launch asking to come forward.
void handleRequest(const std::string& request) {
    constexpr std::string_view kAction = "action ";
    if (request.rfind(kAction, 0) != 0) return;
    const std::string action = request.substr(kAction.size());
    hxLog("quick action %s from another launch", action.c_str());
    performQuickAction(action);
}

int runHeadless(const std::shared_ptr<hxAppDelegate>& delegate,
                const std::optional<CameraScript>& script) {
    HeadlessHost host(delegate->window());
    if (!script) {
        RunLoop::main().run();
        return 0;
    }
    ScriptOutcome result;
    auto runner =
        ScriptRunner::make(*script, delegate->window(),
                           std::make_shared<CameraScriptTarget>(delegate), ScriptClock::Manual);
    runner->start([&](const ScriptOutcome& outcome) { result = outcome; });
    if (!result.message.empty()) std::fprintf(stderr, "halidex: %s\n", result.message.c_str());
    return result.exitStatus;
}

int runWindow(const std::shared_ptr<hxAppDelegate>& delegate,
              const std::optional<CameraScript>& script) {
    QtWindowHost host(delegate->window());
    host.setTiltHandler([](double x, double y) { SimulatedMotion::setAcceleration({x, y, 0}); });
    // The window's volume and capture keys take the same path as the script's key command.
    host.setHardwareKeyHandler([](QtWindowHost::HardwareKey key, bool pressed) {
        pressHardwareKey(key == QtWindowHost::HardwareKey::VolumeUp     ? HardwareKey::VolumeUp
                         : key == QtWindowHost::HardwareKey::VolumeDown ? HardwareKey::VolumeDown
                                                                        : HardwareKey::Capture,
                         pressed);
    });
    // The camera's keyboard: films, exposure, grid, flash, lens and zoom.
    host.setKeyHandler([delegate](char key) {
        const auto& controller = delegate->viewController();
        return controller && controller->keyCommand(key);
    });
    host.show();
    int status = 0;
    std::shared_ptr<ScriptRunner> runner;
    if (script) {
        runner =
            ScriptRunner::make(*script, delegate->window(),
                               std::make_shared<CameraScriptTarget>(delegate), ScriptClock::Real);
        runner->start([&](const ScriptOutcome& outcome) {
            if (!outcome.message.empty())
                std::fprintf(stderr, "halidex: %s\n", outcome.message.c_str());
            if (outcome.endProgram) {
                status = outcome.exitStatus;
                host.quit();
            }
        });
    }
    const int code = host.exec();
    return status != 0 ? status : code;
}

}  // namespace

int main(int argc, char** argv) {
    // Pictures of many sizes (each lens, frame and camera has its own) come and go all session.
    // With the allocator's sliding threshold the large ones end up in its heaps, which fragment
    // and never shrink; a fixed threshold keeps every picture in pages of its own that go back
    // to the system when it is freed.
    mallopt(M_MMAP_THRESHOLD, kPictureAllocationThreshold);
    // Before any thread starts, so that every thread leaves these signals to the one that waits
    // for them.
    stopOnSignals();
    auto parsed = parseCommandLine(argc, argv);
    if (parsed.exitStatus) {
        std::fputs(parsed.text.c_str(), *parsed.exitStatus == 0 ? stdout : stderr);
        return *parsed.exitStatus;
    }
    const CommandLineOptions& options = parsed.options;
    if (!options.device.empty()) {
        std::string error;
        if (!DeviceProfile::select(options.device, &error)) return fail(2, error);
    }
    std::optional<CameraScript> script;
    if (!options.script.empty()) {
        std::string error;
        script = CameraScript::load(options.script, &error);
        if (!script) return fail(2, error);
    }

    // One camera per user.
    std::string error;
    auto instance = SingleInstance::acquire(&error);
    if (!instance) return fail(1, "cannot tell whether the camera already runs: " + error);
    if (!instance->isPrimary()) {
        if (script) return fail(1, "the camera already runs; a script needs a camera of its own");
        if (!instance->forward(SingleInstance::requestForAction(options.action), &error))
            return fail(1, "the running camera did not answer: " + error);
        return 0;
    }

    if (options.headless) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // A script runs on a clock of its own: the same pictures on every run and machine.
        if (script) Clock::useManualTime(0);
    }
    RunLoop::main().bindToCurrentThread();
    if (!ui::ensureQtApplication()) return fail(1, "Qt cannot start");
    if (!options.headless && !ui::hasDisplay())
        return fail(1, "no display; use --headless to run without a window");

    auto delegate = std::make_shared<hxAppDelegate>();
    auto& application = UIApplication::sharedApplication();
    application.setDelegate(delegate);
    application.finishLaunching();
    instance->setRequestHandler(handleRequest);
    if (!options.action.empty()) performQuickAction(options.action);

    const int status =
        options.headless ? runHeadless(delegate, script) : runWindow(delegate, script);
    application.terminate();
    // The camera screen goes while the queues it stops its camera on still run.
    instance->setRequestHandler(nullptr);
    application.setDelegate(nullptr);
    delegate.reset();
    return status;
}

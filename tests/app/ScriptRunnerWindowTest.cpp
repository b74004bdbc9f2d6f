// The script runner in a Qt window on a real display server (Xvfb in the test run): its steps
// ride on Qt's event loop through the main run loop, never blocking it, and its touches go
// through the same window the mouse does.

#include <cstdlib>

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "app/shell/ScriptRunner.h"
#include "platform/device/DeviceProfile.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/controls/UIButton.h"
#include "platform/ui/host/QtApplication.h"
#include "platform/ui/host/QtWindowHost.h"
#include "platform/ui/window/UIApplication.h"
#include "platform/ui/window/UIWindow.h"

namespace hx::app {
namespace {

class NoTarget : public ScriptTarget {
  public:
    bool isIdle() override { return true; }
    std::shared_ptr<UIView> viewNamed(const std::string&) override { return nullptr; }
    void performAction(const std::string&) override {}
};

TEST(ScriptRunnerWindowTest, StepsRunInsideQtsEventLoop) {
    const char* wanted = std::getenv("HX_UI_WINDOW_TESTS");
    const char* display = std::getenv("DISPLAY");
    if (!wanted || !display || !*display) {
        GTEST_SKIP() << "needs a display: run under xvfb-run with HX_UI_WINDOW_TESTS=1";
    }
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ui::ensureQtApplication();
    Clock::useRealTime();
    RunLoop::main().bindToCurrentThread();
    RunLoop::main().discardPendingWork();
    DeviceProfile::setCurrent(*DeviceProfile::named("small-phone"));
    UIApplication::sharedApplication().resetForTesting();

    auto window = UIWindow::make();
    int taps = 0;
    auto button = std::make_shared<UIButton>(CGRectMake(0, 0, 100, 100));
    button->addTarget(
        nullptr, [&](UIControl*) { ++taps; }, UIControlEventTouchUpInside);
    window->addSubview(button);
    QtWindowHost host(window);
    host.setZoom(1);
    host.show();

    std::string error;
    auto script = CameraScript::parse("tap 50 50\nwait 0.3\nbackground\nquit\n", &error);
    ASSERT_TRUE(script) << error;
    auto runner =
        ScriptRunner::make(*script, window, std::make_shared<NoTarget>(), ScriptClock::Real);
    std::optional<ScriptOutcome> outcome;
    runner->start([&](const ScriptOutcome& o) {
        outcome = o;
        host.quit();
    });
    // Qt's own timers keep firing while the script waits.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    QTimer::singleShot(10000, [&] { host.quit(); });
    host.exec();
    ASSERT_TRUE(outcome) << "the script did not finish";
    EXPECT_EQ(outcome->exitStatus, 0);
    EXPECT_EQ(taps, 1);
    EXPECT_GE(ticks, 5);
    EXPECT_EQ(UIApplication::sharedApplication().applicationState(),
              UIApplicationState::Background);
    RunLoop::main().discardPendingWork();
    DeviceProfile::resetCurrent();
}

}  // namespace
}  // namespace hx::app

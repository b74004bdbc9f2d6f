// The script runner on a real window with the headless host and the manual clock: touches land
// on views, press finds a screen's view, waits move the clock by exactly their seconds, keys
// reach the capture button, tilts the simulated accelerometer, lifecycle the application, and
// the statuses a script ends with.

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include <gtest/gtest.h>

#include <QImage>

#include "app/shell/ScriptRunner.h"
#include "platform/capture/CaptureEventInteraction.h"
#include "platform/device/DeviceProfile.h"
#include "platform/motion/simulated/SimulatedAccelerometer.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/Perform.h"
#include "platform/runloop/RunLoop.h"
#include "platform/runloop/Timer.h"
#include "platform/ui/controls/UIButton.h"
#include "platform/ui/events/GestureRecognizers.h"
#include "platform/ui/events/TouchDispatcher.h"
#include "platform/ui/host/HeadlessHost.h"
#include "platform/ui/host/QtApplication.h"
#include "platform/ui/window/UIApplication.h"
#include "platform/ui/window/UIScreen.h"
#include "platform/ui/window/UIWindow.h"
#include "platform/ui/window/UIWindowScene.h"
#include "tests/platform/ui/views/UITestSupport.h"
#include "tests/support/TemporaryFolder.h"

namespace hx::app {
namespace {

class FakeTarget : public ScriptTarget {
  public:
    bool isIdle() override { return idle; }
    std::shared_ptr<UIView> viewNamed(const std::string& field) override {
        auto found = views.find(field);
        return found == views.end() ? nullptr : found->second;
    }
    void performAction(const std::string& action) override { actions.push_back(action); }

    bool idle = true;
    std::map<std::string, std::shared_ptr<UIView>> views;
    std::vector<std::string> actions;
};

class ScriptRunnerTest : public hx::testing::UITest {
  protected:
    void SetUp() override {
        UITest::SetUp();
        SimulatedMotion::reset();
        window = UIWindow::make();
        host = std::make_unique<HeadlessHost>(window);
        target = std::make_shared<FakeTarget>();
    }

    void TearDown() override {
        SimulatedMotion::reset();
        UITest::TearDown();
    }

    // Runs the script on the manual clock to its end.
    ScriptOutcome run(const std::string& text) {
        std::string error;
        auto script = CameraScript::parse(text, &error);
        EXPECT_TRUE(script) << error;
        if (!script) return {2, error, true};
        auto runner = ScriptRunner::make(*script, window, target, ScriptClock::Manual);
        std::optional<ScriptOutcome> outcome;
        runner->start([&](const ScriptOutcome& o) { outcome = o; });
        EXPECT_TRUE(outcome) << "the manual clock runs the whole script inside start()";
        EXPECT_TRUE(runner->isFinished());
        return outcome.value_or(ScriptOutcome{-1, "no outcome", true});
    }

    std::shared_ptr<UIButton> addButton(const CGRect& frame, int* taps,
                                        std::shared_ptr<UIView> parent = nullptr) {
        auto button = std::make_shared<UIButton>(frame);
        button->addTarget(
            nullptr, [taps](UIControl*) { ++*taps; }, UIControlEventTouchUpInside);
        (parent ? parent : std::static_pointer_cast<UIView>(window))->addSubview(button);
        return button;
    }

    std::unique_ptr<HeadlessHost> host;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<FakeTarget> target;
};

TEST_F(ScriptRunnerTest, TapLandsOnAButtonAndFiresItsAction) {
    int taps = 0, missed = 0;
    addButton(CGRectMake(50, 100, 100, 50), &taps);
    addButton(CGRectMake(200, 100, 100, 50), &missed);
    auto outcome = run("tap 100 125\ntap 60 110 3\nquit\n");
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_TRUE(outcome.message.empty());
    EXPECT_TRUE(outcome.endProgram);
    EXPECT_EQ(taps, 4);
    EXPECT_EQ(missed, 0);
}

TEST_F(ScriptRunnerTest, TapCountIsOneMultiTapAndEachTapTakesTime) {
    auto doubleTap = std::make_shared<UITapGestureRecognizer>();
    doubleTap->setNumberOfTapsRequired(2);
    int recognised = 0;
    doubleTap->addTarget(nullptr, [&](UIGestureRecognizer* r) {
        if (r->state() == UIGestureRecognizerState::Ended) ++recognised;
    });
    window->addGestureRecognizer(doubleTap);
    double start = Clock::now();
    run("tap 160 300 2\n");
    EXPECT_EQ(recognised, 1);
    // Down 0.05 s, 0.1 s apart, down 0.05 s.
    EXPECT_NEAR(Clock::now() - start, 0.2, 1e-9);
}

TEST_F(ScriptRunnerTest, PressTapsTheCentreOfTheNamedView) {
    auto panel = std::make_shared<UIView>(CGRectMake(40, 300, 200, 200));
    window->addSubview(panel);
    int taps = 0, around = 0;
    // A small button in the middle of a larger one: only a tap at the centre reaches it.
    addButton(CGRectMake(0, 0, 200, 200), &around, panel);
    auto button = addButton(CGRectMake(95, 95, 10, 10), &taps, panel);
    target->views["_shutterButton"] = button;
    auto outcome = run("press _shutterButton\n");
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_FALSE(outcome.endProgram) << "the script ran out without quit";
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(around, 0);
}

TEST_F(ScriptRunnerTest, PressOfAMissingOrHiddenViewIsStatusTwo) {
    int taps = 0;
    auto panel = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    window->addSubview(panel);
    auto button = addButton(CGRectMake(10, 10, 50, 50), &taps, panel);
    target->views["_pvButton"] = button;

    auto missing = run("wait 0.1\npress _settingButton\nquit\n");
    EXPECT_EQ(missing.exitStatus, 2);
    EXPECT_EQ(missing.message, "script line 2: press: no visible view named _settingButton");
    EXPECT_TRUE(missing.endProgram);

    button->setHidden(true);
    EXPECT_EQ(run("press _pvButton\n").message,
              "script line 1: press: no visible view named _pvButton");
    button->setHidden(false);
    panel->setHidden(true);
    EXPECT_EQ(run("press _pvButton\n").exitStatus, 2);
    panel->setHidden(false);
    panel->setAlpha(0);
    EXPECT_EQ(run("press _pvButton\n").exitStatus, 2);
    panel->setAlpha(1);
    button->removeFromSuperview();
    EXPECT_EQ(run("press _pvButton\n").exitStatus, 2) << "a view outside the window";
    EXPECT_EQ(taps, 0);
}

TEST_F(ScriptRunnerTest, WaitMovesTheClockByExactlyItsSecondsAndRunsAllDueWork) {
    int firings = 0;
    auto timer = Timer::scheduled(1.0 / 30, true, [&](Timer&) { ++firings; });
    std::vector<double> delayed;
    performAfterDelay(this, 1.0, [&] { delayed.push_back(Clock::now()); });
    std::int64_t start = Clock::nowNanoseconds();
    auto outcome = run("wait 2.5\n");
    timer->invalidate();
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_EQ(Clock::nowNanoseconds() - start, Clock::toNanoseconds(2.5));
    EXPECT_EQ(firings, 75);
    ASSERT_EQ(delayed.size(), 1u);
    EXPECT_NEAR(delayed[0], 101.0, 1e-9) << "delayed work runs at its own time, not the wait's end";
}

TEST_F(ScriptRunnerTest, WaitIdleWaitsForTheTargetAndTimesOutWithStatusOne) {
    target->idle = false;
    performAfterDelay(this, 0.4, [&] { target->idle = true; });
    double start = Clock::now();
    auto outcome = run("wait-idle 5\naction takephoto\n");
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_GE(Clock::now() - start, 0.4);
    EXPECT_LT(Clock::now() - start, 0.5);
    EXPECT_EQ(target->actions, std::vector<std::string>{"takephoto"});

    target->idle = false;
    start = Clock::now();
    outcome = run("wait 1\nwait-idle 0.5\naction takeselfie\nquit\n");
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_EQ(outcome.message, "script line 2: wait-idle: still busy after 0.5 s");
    EXPECT_TRUE(outcome.endProgram);
    EXPECT_GE(Clock::now() - start, 1.5);
    EXPECT_LT(Clock::now() - start, 1.6);
    EXPECT_EQ(target->actions.size(), 1u) << "nothing after the failed line runs";
}

TEST_F(ScriptRunnerTest, QuitEndsTheScriptThere) {
    int taps = 0;
    addButton(CGRectMake(0, 0, 100, 100), &taps);
    auto outcome = run("tap 50 50\nquit\ntap 50 50\n");
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_TRUE(outcome.endProgram);
    EXPECT_EQ(taps, 1);
    auto ranOut = run("tap 50 50\n");
    EXPECT_FALSE(ranOut.endProgram);
    EXPECT_EQ(taps, 2);
}

TEST_F(ScriptRunnerTest, GesturesTakeTheirTime) {
    auto longPress = std::make_shared<UILongPressGestureRecognizer>();
    double beganAt = -1;
    longPress->addTarget(nullptr, [&](UIGestureRecognizer* r) {
        if (r->state() == UIGestureRecognizerState::Began) beganAt = Clock::now();
    });
    window->addGestureRecognizer(longPress);
    double start = Clock::now();
    run("long-press 100 100 0.8\n");
    EXPECT_NEAR(beganAt - start, 0.5, 0.02) << "the recogniser's own duration passes while held";
    EXPECT_NEAR(Clock::now() - start, 0.8, 1e-9);
    window->removeGestureRecognizer(longPress.get());

    auto pan = std::make_shared<UIPanGestureRecognizer>();
    CGPoint moved;
    pan->addTarget(nullptr,
                   [&](UIGestureRecognizer*) { moved = pan->translationInView(window.get()); });
    window->addGestureRecognizer(pan);
    start = Clock::now();
    run("drag 50 100 250 400 0.5\n");
    EXPECT_NEAR(moved.x, 200, 1e-6);
    EXPECT_NEAR(moved.y, 300, 1e-6);
    EXPECT_NEAR(Clock::now() - start, 0.5, 1e-9);
    window->removeGestureRecognizer(pan.get());

    auto pinch = std::make_shared<UIPinchGestureRecognizer>();
    double scale = 0;
    pinch->addTarget(nullptr, [&](UIGestureRecognizer*) { scale = pinch->scale(); });
    window->addGestureRecognizer(pinch);
    run("pinch 160 300 2.5\n");
    EXPECT_NEAR(scale, 2.5, 1e-6);
    run("pinch 160 300 0.5\n");
    EXPECT_NEAR(scale, 0.5, 1e-6);
}

TEST_F(ScriptRunnerTest, KeysPressAndReleaseTheCaptureButtons) {
    std::vector<std::pair<char, int>> heard;
    auto interaction = capture::CaptureEventInteraction::initWithPrimaryEventHandler(
        [&](const capture::CaptureEvent& e) { heard.emplace_back('P', int(e.phase())); },
        [&](const capture::CaptureEvent& e) { heard.emplace_back('S', int(e.phase())); });
    run("key volume-up\nkey volume-down\nkey capture\n");
    using E = std::vector<std::pair<char, int>>;
    EXPECT_EQ(heard, (E{{'P', 0}, {'P', 1}, {'S', 0}, {'S', 1}, {'P', 0}, {'P', 1}}));
}

TEST_F(ScriptRunnerTest, TiltsSetTheSimulatedGravity) {
    struct Case {
        const char* tilt;
        double x, y;
    };
    for (const Case& c : {Case{"landscape-left", -1, 0}, Case{"landscape-right", 1, 0},
                          Case{"upside-down", 0, 1}, Case{"portrait", 0, -1}}) {
        run(std::string("tilt ") + c.tilt + "\n");
        Acceleration a = SimulatedMotion::acceleration();
        EXPECT_EQ(a.x, c.x) << c.tilt;
        EXPECT_EQ(a.y, c.y) << c.tilt;
        EXPECT_EQ(a.z, 0) << c.tilt;
    }
}

TEST_F(ScriptRunnerTest, BackgroundForegroundAndActions) {
    auto& application = UIApplication::sharedApplication();
    application.becomeActive();
    run("background\n");
    EXPECT_EQ(application.applicationState(), UIApplicationState::Background);
    run("foreground\naction takeselfie\naction takephoto\n");
    EXPECT_EQ(application.applicationState(), UIApplicationState::Active);
    EXPECT_EQ(target->actions, (std::vector<std::string>{"takeselfie", "takephoto"}));
}

TEST_F(ScriptRunnerTest, ScreenshotIsAPngAtTheScreensScale) {
    window->setBackgroundColor(UIColor::redColor());
    auto folder =
        std::filesystem::temp_directory_path() / ("hx-runner-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    auto file = folder / "shot.jpg";  // PNG whatever the name says
    auto outcome = run("screenshot " + file.string() + "\n");
    EXPECT_EQ(outcome.exitStatus, 0) << outcome.message;
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(file.string()), "PNG"));
    double scale = UIScreen::mainScreen().scale();
    EXPECT_EQ(image.width(), std::lround(window->bounds().width() * scale));
    EXPECT_EQ(image.height(), std::lround(window->bounds().height() * scale));
    EXPECT_EQ(QColor(image.pixel(10, 10)), QColor(Qt::red));

    auto bad = run("screenshot " + (folder / "missing" / "shot.png").string() + "\nquit\n");
    EXPECT_EQ(bad.exitStatus, 1);
    EXPECT_EQ(bad.message, "script line 1: screenshot: cannot write " +
                               (folder / "missing" / "shot.png").string() +
                               ": No such file or directory");
    std::filesystem::remove_all(folder);
}

TEST_F(ScriptRunnerTest, StatsAppendsTheProcessesMemoryThreadsAndFiles) {
    hx::testsupport::TemporaryFolder folder("hx-runner-stats");
    const auto file = folder.path() / "stats file.txt";
    // A file held open between the two samples shows as one more descriptor.
    auto outcome = run("stats " + file.string() + "\n");
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.message;
    std::FILE* held = std::fopen((folder.path() / "held").c_str(), "w");
    ASSERT_TRUE(held);
    run("stats " + file.string() + "\n");
    std::fclose(held);

    std::ifstream in(file);
    std::vector<std::array<long, 3>> samples;
    for (std::string line; std::getline(in, line);) {
        std::array<long, 3> values{};
        ASSERT_EQ(std::sscanf(line.c_str(), "rss_kb=%ld threads=%ld fds=%ld", &values[0],
                              &values[1], &values[2]),
                  3)
            << line;
        samples.push_back(values);
    }
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_GT(samples[0][0], 1000);  // a program with Qt holds megabytes
    EXPECT_GE(samples[0][1], 1);
    EXPECT_EQ(samples[1][2], samples[0][2] + 1);

    auto bad = run("stats " + (folder.path() / "missing" / "s.txt").string() + "\nquit\n");
    EXPECT_EQ(bad.exitStatus, 1);
}

TEST_F(ScriptRunnerTest, OnTheRealClockStepsAreScheduledOnTheRunLoop) {
    Clock::useRealTime();
    int taps = 0;
    addButton(CGRectMake(0, 0, 100, 100), &taps);
    std::string error;
    auto script = CameraScript::parse("tap 50 50\nwait 0.05\nquit\n", &error);
    ASSERT_TRUE(script);
    auto runner = ScriptRunner::make(*script, window, target, ScriptClock::Real);
    std::optional<ScriptOutcome> outcome;
    runner->start([&](const ScriptOutcome& o) { outcome = o; });
    EXPECT_FALSE(outcome) << "start() returns at the first wait";
    EXPECT_TRUE(runner->isRunning());
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return outcome.has_value(); }, 10));
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->exitStatus, 0);
    EXPECT_TRUE(outcome->endProgram);
    EXPECT_EQ(taps, 1);

    // Cancelled midway: no completion, no finger left down.
    auto longScript = CameraScript::parse("long-press 10 10 5\nquit\n", &error);
    auto cancelled = ScriptRunner::make(*longScript, window, target, ScriptClock::Real);
    bool completed = false;
    cancelled->start([&](const ScriptOutcome&) { completed = true; });
    cancelled->cancel();
    RunLoop::main().runUntil([] { return false; }, 0.05);
    EXPECT_FALSE(completed);
    EXPECT_FALSE(window->touchDispatcher().isFingerDown(ScriptRunner::kFinger));
}

}  // namespace
}  // namespace hx::app

// The Qt window host on a real display server (Xvfb in the test run): mouse to touches, keys to
// the capture button and tilt, the window's presence to the application's state.

#include <cstdlib>
#include <string>
#include <vector>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include "platform/runloop/NotificationCenter.h"
#include "platform/ui/controls/UIButton.h"
#include "platform/ui/events/GestureRecognizers.h"
#include "platform/ui/host/QtWindowHost.h"
#include "platform/ui/window/UIWindow.h"
#include "tests/platform/ui/views/UITestSupport.h"

namespace hx {
namespace {

class QtWindowHostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* wanted = std::getenv("HX_UI_WINDOW_TESTS");
        const char* display = std::getenv("DISPLAY");
        if (!wanted || !display || !*display) {
            GTEST_SKIP() << "needs a display: run under xvfb-run with HX_UI_WINDOW_TESTS=1";
        }
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ui::ensureQtApplication();
        RunLoop::main().bindToCurrentThread();
        RunLoop::main().discardPendingWork();
        DeviceProfile::setCurrent(*DeviceProfile::named("small-phone"));
        UIApplication::sharedApplication().resetForTesting();
        window = UIWindow::make();
        host = std::make_unique<QtWindowHost>(window);
        host->setZoom(1);
        host->show();
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible()) widget = w;
        }
        ASSERT_NE(widget, nullptr);
    }
    void TearDown() override {
        host.reset();
        RunLoop::main().discardPendingWork();
        DeviceProfile::resetCurrent();
    }

    void mouse(QEvent::Type type, QPointF at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        Qt::MouseButtons buttons =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton, buttons, modifiers);
        QApplication::sendEvent(widget, &event);
    }
    void key(QEvent::Type type, int code, const QString& text = {}) {
        QKeyEvent event(type, code, Qt::NoModifier, text);
        QApplication::sendEvent(widget, &event);
    }

    std::shared_ptr<UIWindow> window;
    std::unique_ptr<QtWindowHost> host;
    QWidget* widget = nullptr;
};

TEST_F(QtWindowHostTest, WindowIsTheScreenAtTheZoom) {
    EXPECT_EQ(widget->size(), QSize(320, 568));
    host->setZoom(0.5);
    EXPECT_EQ(widget->size(), QSize(160, 284));
    auto red = UIView::make(CGRectMake(0, 0, 100, 100));
    red->setBackgroundColor(UIColor::redColor());
    window->addSubview(red);
    QImage shot = widget->grab().toImage();
    EXPECT_TRUE(testing::colorNear(shot.pixelColor(25, 25), QColor(255, 0, 0)));
    EXPECT_TRUE(testing::colorNear(shot.pixelColor(75, 75), QColor(0, 0, 0)));
}

TEST_F(QtWindowHostTest, MouseIsOneFingerAndControlAddsAMirroredSecond) {
    auto button = std::make_shared<UIButton>(CGRectMake(10, 10, 60, 60));
    window->addSubview(button);
    int presses = 0;
    button->addTarget(
        nullptr, [&](UIControl*) { ++presses; }, UIControlEventTouchUpInside);
    mouse(QEvent::MouseButtonPress, {30, 30});
    mouse(QEvent::MouseButtonRelease, {30, 30});
    EXPECT_EQ(presses, 1);

    auto twoFingers = std::make_shared<UITapGestureRecognizer>();
    twoFingers->setNumberOfTouchesRequired(2);
    int taps = 0;
    twoFingers->addTarget(nullptr, [&](UIGestureRecognizer* r) {
        ++taps;
        EXPECT_EQ(r->locationInView(nullptr), (CGPoint{160, 284}));  // the window's centre
    });
    window->setMultipleTouchEnabled(true);
    window->addGestureRecognizer(twoFingers);
    mouse(QEvent::MouseButtonPress, {200, 300}, Qt::ControlModifier);
    mouse(QEvent::MouseButtonRelease, {200, 300}, Qt::ControlModifier);
    EXPECT_EQ(taps, 1);
}

TEST_F(QtWindowHostTest, WheelPinches) {
    auto pinch = std::make_shared<UIPinchGestureRecognizer>();
    double scale = 0;
    pinch->addTarget(nullptr, [&](UIGestureRecognizer*) { scale = pinch->scale(); });
    window->addGestureRecognizer(pinch);
    QWheelEvent wheel({160, 284}, widget->mapToGlobal(QPointF(160, 284)), {}, {0, 120},
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
    EXPECT_NEAR(scale, 1.1, 1e-9);
}

TEST_F(QtWindowHostTest, KeysPressTheCaptureButtonAndTilt) {
    std::vector<bool> capture;
    std::vector<std::pair<double, double>> tilts;
    host->setCaptureButtonHandler([&](bool pressed) { capture.push_back(pressed); });
    host->setTiltHandler([&](double x, double y) { tilts.emplace_back(x, y); });
    key(QEvent::KeyPress, Qt::Key_Space);
    key(QEvent::KeyRelease, Qt::Key_Space);
    key(QEvent::KeyPress, Qt::Key_VolumeUp);
    key(QEvent::KeyPress, Qt::Key_Left);
    EXPECT_EQ(capture, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(tilts, (std::vector<std::pair<double, double>>{{-1, 0}}));
}

TEST_F(QtWindowHostTest, TheKeyAwareHandlerTellsTheKeysApartAndTakesThemAlone) {
    using Key = QtWindowHost::HardwareKey;
    std::vector<std::pair<Key, bool>> keys;
    int captureButton = 0;
    host->setCaptureButtonHandler([&](bool) { ++captureButton; });
    host->setHardwareKeyHandler([&](Key k, bool pressed) { keys.emplace_back(k, pressed); });
    key(QEvent::KeyPress, Qt::Key_VolumeUp);
    key(QEvent::KeyRelease, Qt::Key_VolumeUp);
    key(QEvent::KeyPress, Qt::Key_VolumeDown);
    key(QEvent::KeyPress, Qt::Key_Space);
    EXPECT_EQ(keys, (std::vector<std::pair<Key, bool>>{{Key::VolumeUp, true},
                                                       {Key::VolumeUp, false},
                                                       {Key::VolumeDown, true},
                                                       {Key::Capture, true}}));
    EXPECT_EQ(captureButton, 0);
}

TEST_F(QtWindowHostTest, FocusLeavesTheApplicationActive) {
    auto& app = UIApplication::sharedApplication();
    app.becomeActive();
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(widget, &deactivate);
    EXPECT_EQ(app.applicationState(), UIApplicationState::Active);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(widget, &activate);
    EXPECT_EQ(app.applicationState(), UIApplicationState::Active);
}

TEST_F(QtWindowHostTest, HidingAndMinimisingGoToTheBackgroundAndBack) {
    auto& app = UIApplication::sharedApplication();
    app.becomeActive();
    std::vector<std::string> posted;
    auto& center = NotificationCenter::defaultCenter();
    std::vector<NotificationCenter::ObserverToken> observers;
    for (const char* name :
         {UIApplicationWillResignActiveNotification, UIApplicationDidEnterBackgroundNotification,
          UIApplicationWillEnterForegroundNotification, UIApplicationDidBecomeActiveNotification}) {
        observers.push_back(center.addObserverForName(
            name, nullptr, nullptr,
            [&posted, name](const Notification&) { posted.push_back(name); }));
    }
    widget->hide();
    EXPECT_EQ(app.applicationState(), UIApplicationState::Background);
    widget->show();
    EXPECT_EQ(app.applicationState(), UIApplicationState::Active);
    widget->showMinimized();
    EXPECT_EQ(app.applicationState(), UIApplicationState::Background);
    widget->showNormal();
    EXPECT_EQ(app.applicationState(), UIApplicationState::Active);
    for (auto& observer : observers) center.removeObserver(observer);
    std::vector<std::string> round = {
        UIApplicationWillResignActiveNotification, UIApplicationDidEnterBackgroundNotification,
        UIApplicationWillEnterForegroundNotification, UIApplicationDidBecomeActiveNotification};
    std::vector<std::string> expected = round;
    expected.insert(expected.end(), round.begin(), round.end());
    EXPECT_EQ(posted, expected);
}

TEST_F(QtWindowHostTest, KeysSendTheApplicationToTheBackgroundAndBack) {
    auto& app = UIApplication::sharedApplication();
    app.becomeActive();
    key(QEvent::KeyPress, Qt::Key_B);
    EXPECT_EQ(app.applicationState(), UIApplicationState::Background);
    key(QEvent::KeyPress, Qt::Key_B);
    EXPECT_EQ(app.applicationState(), UIApplicationState::Active);
}

TEST_F(QtWindowHostTest, PrintableKeysGoToTheApplication) {
    std::string typed;
    host->setKeyHandler([&](char c) {
        typed += c;
        return c != 'x';
    });
    key(QEvent::KeyPress, Qt::Key_G, "g");
    key(QEvent::KeyPress, Qt::Key_BracketLeft, "[");
    key(QEvent::KeyPress, Qt::Key_3, "3");
    key(QEvent::KeyPress, Qt::Key_X, "x");
    // Keys of the host itself and keys without a character do not reach it.
    key(QEvent::KeyPress, Qt::Key_Space, " ");
    key(QEvent::KeyPress, Qt::Key_Shift);
    EXPECT_EQ(typed, "g[3x");
}

}  // namespace
}  // namespace hx

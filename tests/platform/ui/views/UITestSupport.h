#pragma once
// Shared set-up of the UI view tests: offscreen Qt, the manual clock, the default phone profile,
// a portrait scene and a fresh application state for every test.

#include <cstdlib>
#include <ostream>

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include "platform/device/DeviceProfile.h"
#include "platform/geometry/Geometry.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/host/QtApplication.h"
#include "platform/ui/window/UIApplication.h"
#include "platform/ui/window/UIWindowScene.h"

namespace hx {

inline void PrintTo(const CGPoint& p, std::ostream* os) {
    *os << "(" << p.x << ", " << p.y << ")";
}
inline void PrintTo(const CGSize& s, std::ostream* os) {
    *os << s.width << " x " << s.height;
}
inline void PrintTo(const CGRect& r, std::ostream* os) {
    *os << "(" << r.origin.x << ", " << r.origin.y << ", " << r.size.width << " x " << r.size.height
        << ")";
}

}  // namespace hx

namespace hx::testing {

class UITest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ui::ensureQtApplication();
        RunLoop::main().bindToCurrentThread();
        RunLoop::main().discardPendingWork();
        Clock::useManualTime(100);
        DeviceProfile::setCurrent(*DeviceProfile::named("phone"));
        UIWindowScene::mainScene().setInterfaceOrientation(UIInterfaceOrientation::Portrait);
        UIApplication::sharedApplication().resetForTesting();
    }

    void TearDown() override {
        RunLoop::main().discardPendingWork();
        Clock::useRealTime();
        DeviceProfile::resetCurrent();
    }

    static void advance(double seconds) { RunLoop::main().advance(seconds); }
};

// The pixel at (x, y) of an image, as straight (not premultiplied) RGBA.
inline QColor pixelAt(const QImage& image, int x, int y) {
    return QColor::fromRgba(image.pixelColor(x, y).rgba());
}

// Whether two colours agree within `tolerance` per channel (0 to 255).
inline ::testing::AssertionResult colorNear(const QColor& actual, const QColor& expected,
                                            int tolerance = 3) {
    auto close = [&](int a, int b) { return std::abs(a - b) <= tolerance; };
    if (close(actual.red(), expected.red()) && close(actual.green(), expected.green()) &&
        close(actual.blue(), expected.blue()) && close(actual.alpha(), expected.alpha())) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "colour (" << actual.red() << ", " << actual.green() << ", " << actual.blue() << ", "
           << actual.alpha() << ") is not (" << expected.red() << ", " << expected.green() << ", "
           << expected.blue() << ", " << expected.alpha() << ")";
}

}  // namespace hx::testing

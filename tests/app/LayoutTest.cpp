// The camera screen's layout and rotation, driven through the real controller in a headless
// window: the geometry of every built-in device, the places of the views in the scaled and the
// fixed layouts, the view tree's order, the settings panel, the accelerometer rule with its
// hysteresis, and what doRotateUI turns and moves.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <string>

#include "app/camera/hxViewController.h"
#include "platform/motion/simulated/SimulatedAccelerometer.h"
#include "platform/ui/host/HeadlessHost.h"
#include "platform/ui/window/UIWindow.h"
#include "tests/platform/ui/views/UITestSupport.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryFolder.h"

namespace hx::app {
namespace {

constexpr double kPi = std::numbers::pi;

::testing::AssertionResult rectNear(const CGRect& actual, const CGRect& expected,
                                    double tolerance = 1e-3) {
    if (std::abs(actual.origin.x - expected.origin.x) <= tolerance &&
        std::abs(actual.origin.y - expected.origin.y) <= tolerance &&
        std::abs(actual.size.width - expected.size.width) <= tolerance &&
        std::abs(actual.size.height - expected.size.height) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << actual.origin.x << ", " << actual.origin.y << ", " << actual.size.width
           << " x " << actual.size.height << ") is not (" << expected.origin.x << ", "
           << expected.origin.y << ", " << expected.size.width << " x " << expected.size.height
           << ")";
}

// A rotation by the angle, compared on its linear part (and the translation).
::testing::AssertionResult turnedBy(const CGAffineTransform& t, double angle, double tx = 0,
                                    double ty = 0) {
    CGAffineTransform r = CGAffineTransformMakeRotation(angle);
    const double e = 1e-9;
    if (std::abs(t.a - r.a) < e && std::abs(t.b - r.b) < e && std::abs(t.c - r.c) < e &&
        std::abs(t.d - r.d) < e && std::abs(t.tx - tx) < e && std::abs(t.ty - ty) < e)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "[" << t.a << " " << t.b << " " << t.c << " " << t.d << " " << t.tx << " " << t.ty
           << "] is not a turn by " << angle << " shifted by " << tx;
}

class LayoutTest : public testing::UITest {
  protected:
    void SetUp() override {
        UITest::SetUp();
        env.set("HALIDEX_HOME", home.path().c_str());
        env.set("HALIDEX_CAMERA_AUTH", "denied");
        env.set("HALIDEX_MOTION", "simulated");
        SimulatedMotion::reset();
    }

    void TearDown() override {
        if (window) window->setRootViewController(nullptr);
        controller.reset();
        host.reset();
        window.reset();
        SimulatedMotion::reset();
        UITest::TearDown();
    }

    // The camera screen on the named device, loaded into a window. Without `motion` the
    // accelerometer is stopped, so that only the test turns the controls.
    hxViewController& start(const std::string& profile, bool motion = false) {
        DeviceProfile::setCurrent(*DeviceProfile::named(profile));
        host = std::make_unique<HeadlessHost>();
        window = host->window();
        controller = std::make_shared<hxViewController>();
        window->setRootViewController(controller);
        window->makeKeyAndVisible();
        controller->loadViewIfNeeded();
        if (!motion && controller->_cmmanager) controller->_cmmanager->stopAccelerometerUpdates();
        return *controller;
    }

    static int indexIn(const UIView& parent, const std::shared_ptr<UIView>& child) {
        const auto& views = parent.subviews();
        for (std::size_t i = 0; i < views.size(); ++i)
            if (views[i] == child) return int(i);
        return -1;
    }

    testsupport::TemporaryFolder home{"hx-layout-home"};
    testing::ScopedEnvironment env;
    std::unique_ptr<HeadlessHost> host;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<hxViewController> controller;
};

// ---- geometry of the built-in devices

TEST_F(LayoutTest, PhoneGeometryScalesTheDesignByTheScreenWidth) {
    hxViewController& vc = start("phone");  // 390 x 844, insets 47 / 34
    EXPECT_FLOAT_EQ(vc._screenWidth, 390);
    EXPECT_FLOAT_EQ(vc._screenHeight, 844);
    EXPECT_FLOAT_EQ(vc._previewWidth, 390);
    EXPECT_FLOAT_EQ(vc._previewHeight, 520);
    EXPECT_FLOAT_EQ(vc._uiScale, 1.21875f);
    EXPECT_FLOAT_EQ(vc._topSubSpace, 47);
    EXPECT_FLOAT_EQ(vc._bottomSpace, 34);
    // 47 + (844 - 520 - 44 * 1.21875 - 98 * 1.21875) / 2
    EXPECT_FLOAT_EQ(vc._topSpace, 47 + (844 - 520 - 142 * 1.21875f) / 2);
    EXPECT_FALSE(vc._iPad);
    EXPECT_TRUE(vc._Wide);
}

TEST_F(LayoutTest, A320PointScreenOf568PointsUsesTheScaledLayoutAtDesignSize) {
    hxViewController& vc = start("small-phone");  // 320 x 568, insets 20 / 0
    EXPECT_FLOAT_EQ(vc._uiScale, 1);
    EXPECT_FLOAT_EQ(vc._previewHeight, 320.0f / 3 * 4);
    EXPECT_FLOAT_EQ(vc._topSpace, 20 + (568 - 320.0f / 3 * 4 - 142) / 2);
    EXPECT_FALSE(vc._iPad);
    EXPECT_TRUE(vc._Wide);
    // At scale 1 the scaled layout is the design itself.
    EXPECT_TRUE(rectNear(vc._backimage->frame(), CGRectMake(0, 426, 320, 142)));
    EXPECT_TRUE(rectNear(vc._shutterButton->frame(), CGRectMake(106, 17, 108, 108)));
    EXPECT_TRUE(rectNear(vc._filmButton->frame(), CGRectMake(60, 44, 29, 54)));
    EXPECT_TRUE(rectNear(vc._pvButton->frame(), CGRectMake(5, 49, 44, 44)));
    EXPECT_TRUE(rectNear(vc._helpButton->frame(), CGRectMake(0, 112, 30, 30)));
}

TEST_F(LayoutTest, TabletLaysOutAsALargePhoneInACentredColumn) {
    hxViewController& vc = start("tablet");  // 1024 x 1366, tablet idiom
    EXPECT_TRUE(vc._iPad);
    EXPECT_FALSE(vc._Wide);
    EXPECT_TRUE(vc.usesScaledLayout());
    // The column is as wide as lets the preview, the top row and the bar fit the height.
    const double room = 1366 - vc._topSubSpace - vc._bottomSpace;
    const double column = room / (4.0 / 3 + 186.0 / 320);
    EXPECT_NEAR(vc._screenWidth, column, 0.01);
    EXPECT_NEAR(vc._columnX, (1024 - column) / 2, 0.01);
    EXPECT_NEAR(vc._uiScale, column / 320, 1e-4);
    const double s = vc._uiScale;
    const double barTop = 1366 - 142 * s - vc._bottomSpace;
    EXPECT_TRUE(rectNear(vc._backimage->frame(), CGRectMake(0, barTop, 320 * s, 142 * s)));
    // The preview (and its stand-in) lies between the top row and the bar.
    CGRect preview = vc.view()->subviews().front()->frame();
    EXPECT_TRUE(rectNear(preview, CGRectMake(0, vc._topSpace, column, column / 3 * 4)));
    EXPECT_GE(preview.minY(), vc._topSubSpace + 30);
    EXPECT_LE(preview.maxY(), barTop + 0.01);
    // Once shown, the screen is the centred column of the window.
    vc.beginAppearanceTransition(true, false);
    vc.endAppearanceTransition();
    EXPECT_TRUE(rectNear(vc.view()->frame(), CGRectMake(vc._columnX, 0, column, 1366)));
}

TEST_F(LayoutTest, APhoneShorterThan568PointsUsesTheFixedLayout) {
    hxViewController& vc = start("legacy-phone");  // 320 x 480
    EXPECT_FALSE(vc._iPad);
    EXPECT_FALSE(vc._Wide);
    EXPECT_FLOAT_EQ(vc._uiScale, 1);
    EXPECT_FLOAT_EQ(vc._topSpace, 20 + (480 - 320.0f / 3 * 4 - 142) / 2);
    EXPECT_TRUE(rectNear(vc._backimage->frame(), CGRectMake(0, 426, 320, 54)));
}

TEST_F(LayoutTest, GeometryFollowsTheScreenNotTheOrientationItStartsIn) {
    UIWindowScene::mainScene().setInterfaceOrientation(UIInterfaceOrientation::LandscapeLeft);
    hxViewController& vc = start("phone");
    EXPECT_FLOAT_EQ(vc._screenWidth, 390);
    EXPECT_FLOAT_EQ(vc._screenHeight, 844);
    EXPECT_FLOAT_EQ(vc._uiScale, 1.21875f);
}

// ---- the views in the scaled layout

TEST_F(LayoutTest, ScaledLayoutPlacesEveryViewOnThePhone) {
    hxViewController& vc = start("phone");
    const double s = 1.21875;
    const double top = vc._topSpace;
    const CGRect preview = CGRectMake(0, top, 390, 520);

    EXPECT_TRUE(rectNear(vc._overlayView->frame(), preview));
    EXPECT_EQ(vc._overlayView->Aspect(), vc._currentFrame);
    EXPECT_FALSE(vc._overlayView->maskTranslucent());
    EXPECT_TRUE(vc._overlayView->isMultipleTouchEnabled());

    // The result view is landscape, turned upright over the preview.
    EXPECT_TRUE(rectNear(vc._resultView->frame(), preview));
    EXPECT_NEAR(vc._resultView->bounds().size.width, 520, 1e-3);
    EXPECT_NEAR(vc._resultView->bounds().size.height, 390, 1e-3);
    EXPECT_TRUE(turnedBy(vc._resultView->transform(), kPi / 2));
    EXPECT_TRUE(vc._resultView->isHidden());
    EXPECT_EQ(vc._resultView->contentMode(), UIViewContentMode::ScaleAspectFit);

    const double barY = 844 - 142 * s - 34;
    EXPECT_TRUE(rectNear(vc._backimage->frame(), CGRectMake(0, barY, 320 * s, 142 * s)));
    EXPECT_TRUE(vc._backimage->isUserInteractionEnabled());
    EXPECT_TRUE(
        rectNear(vc._shutterButton->frame(),
                 CGRectMake((320 * s - 108 * s) / 2, (142 * s - 108 * s) / 2, 108 * s, 108 * s)));
    EXPECT_TRUE(rectNear(vc._filmButton->frame(),
                         CGRectMake(60 * s, (142 * s - 54 * s) / 2, 29 * s, 54 * s)));
    EXPECT_TRUE(
        rectNear(vc._pvButton->frame(), CGRectMake(5 * s, (142 * s - 44 * s) / 2, 44 * s, 44 * s)));
    EXPECT_FALSE(vc._pvButton->isEnabled());
    EXPECT_TRUE(rectNear(vc._pvButtonImage->frame(), CGRectMake(0, 0, 44 * s, 44 * s)));
    EXPECT_EQ(vc._pvButtonImage->contentMode(), UIViewContentMode::ScaleAspectFill);
    EXPECT_TRUE(vc._pvButtonImage->clipsToBounds());
    EXPECT_TRUE(rectNear(vc._helpButton->frame(), CGRectMake(0, 142 * s - 30 * s, 30 * s, 30 * s)));

    // Sliders and the EV button: placed at 54 x 29, then turned a quarter about their centre.
    const double sliderY = (142 * s - 54 * s) / 2 + 14.5 * s;
    struct Turned {
        std::shared_ptr<UIView> view;
        double x;
    };
    for (const Turned& t :
         {Turned{vc._formatSlider, 238}, Turned{vc._flashSlider, 275}, Turned{vc._evButton, 201}}) {
        EXPECT_TRUE(turnedBy(t.view->transform(), kPi / 2)) << t.x;
        EXPECT_NEAR(t.view->bounds().size.width, 54 * s, 1e-3) << t.x;
        EXPECT_NEAR(t.view->bounds().size.height, 29 * s, 1e-3) << t.x;
        EXPECT_NEAR(t.view->center().x, t.x * s + 27 * s, 1e-3) << t.x;
        EXPECT_NEAR(t.view->center().y, sliderY + 14.5 * s, 1e-3) << t.x;
        EXPECT_TRUE(rectNear(t.view->frame(),
                             CGRectMake(t.x * s + 12.5 * s, sliderY - 12.5 * s, 29 * s, 54 * s)))
            << t.x;
    }

    // The top row keeps its design positions.
    const double row = 47 + 5;
    EXPECT_TRUE(rectNear(vc._focalLabel->frame(), CGRectMake(165, row, 30, 30)));
    EXPECT_EQ(vc._focalLabel->text(), "x1.0");
    EXPECT_TRUE(rectNear(vc._lensSelect->frame(), CGRectMake(205, row, 30, 30)));
    EXPECT_TRUE(turnedBy(vc._lensSelect->transform(), kPi / 2));
    EXPECT_TRUE(rectNear(vc._changeCameraButton->frame(), CGRectMake(245, row, 30, 30)));
    EXPECT_TRUE(rectNear(vc._settingButton->frame(), CGRectMake(285, row, 30, 30)));

    EXPECT_TRUE(rectNear(vc._evBase->frame(), CGRectMake(10, top + 520 - 40 * s, 300 * s, 27 * s)));
    EXPECT_TRUE(vc._evBase->isHidden());
    EXPECT_TRUE(rectNear(vc._evSlider->frame(), CGRectMake(0, 0, 300 * s, 27 * s)));
    EXPECT_EQ(vc._evSlider->superview(), vc._evBase);

    // Busy display centred on the preview, with its indicator.
    EXPECT_TRUE(rectNear(vc._hud->frame(), CGRectMake(160, top + 260 - 35, 70, 70)));
    EXPECT_TRUE(vc._hud->isHidden());
    EXPECT_NEAR(vc._hud->layer().cornerRadius(), 10, 1e-9);
    EXPECT_TRUE(vc._hud->clipsToBounds());
    EXPECT_NEAR(vc._hud->backgroundColor().alpha(), 0.5, 1e-9);
    EXPECT_TRUE(rectNear(vc._indicator->frame(), CGRectMake(16.5, 16.5, 37, 37)));
    EXPECT_EQ(vc._indicator->activityIndicatorViewStyle(), UIActivityIndicatorViewStyle::Large);

    // Focus and exposure marks.
    EXPECT_EQ(vc._afImage->tag(), 100);
    EXPECT_EQ(vc._aeImage->tag(), 101);
    EXPECT_NEAR(vc._afImage->bounds().size.width, 60, 1e-9);
    EXPECT_NEAR(vc._aeImage->bounds().size.height, 60, 1e-9);
}

TEST_F(LayoutTest, FixedLayoutPlacesTheBarControlsAtTheirDesignPositions) {
    hxViewController& vc = start("legacy-phone");
    EXPECT_TRUE(rectNear(vc._filmButton->frame(), CGRectMake(55, 0, 29, 54)));
    EXPECT_TRUE(rectNear(vc._pvButton->frame(), CGRectMake(5, 5, 44, 44)));
    EXPECT_TRUE(rectNear(vc._pvButtonImage->frame(), CGRectMake(0, 0, 44, 44)));
    EXPECT_TRUE(rectNear(vc._helpButton->frame(), CGRectMake(96, 12, 30, 30)));
    for (auto [view, x] : {std::pair<std::shared_ptr<UIView>, double>{vc._formatSlider, 238},
                           {vc._flashSlider, 275},
                           {vc._evButton, 201}}) {
        EXPECT_TRUE(turnedBy(view->transform(), kPi / 2)) << x;
        EXPECT_NEAR(view->center().x, x + 27, 1e-6) << x;
        EXPECT_NEAR(view->center().y, 14 + 14.5, 1e-6) << x;
        EXPECT_NEAR(view->bounds().size.width, 54, 1e-6) << x;
    }
    EXPECT_TRUE(rectNear(vc._lensSelect->frame(), CGRectMake(205, 25, 30, 30)));
    EXPECT_TRUE(rectNear(vc._evSlider->frame(), CGRectMake(0, 0, 300, 27)));
    // The preview area is the same formula in both layouts.
    EXPECT_TRUE(
        rectNear(vc._overlayView->frame(), CGRectMake(0, vc._topSpace, 320, 320.0 / 3 * 4)));
}

// ---- the view tree

TEST_F(LayoutTest, ControlsLieInTheBarAndAboveThePreview) {
    hxViewController& vc = start("phone");
    const UIView& root = *vc.view();
    EXPECT_EQ(root.tag(), 1);
    for (const std::shared_ptr<UIView>& control : std::initializer_list<std::shared_ptr<UIView>>{
             vc._shutterButton, vc._filmButton, vc._pvButton, vc._formatSlider, vc._flashSlider,
             vc._evButton, vc._helpButton}) {
        EXPECT_EQ(control->superview(), vc._backimage);
    }
    int overlay = indexIn(root, vc._overlayView);
    ASSERT_GE(overlay, 0);
    for (const std::shared_ptr<UIView>& top : std::initializer_list<std::shared_ptr<UIView>>{
             vc._hud, vc._resultView, vc._lensSelect, vc._changeCameraButton, vc._settingButton,
             vc._afImage, vc._aeImage, vc._backimage, vc._evBase}) {
        EXPECT_GT(indexIn(root, top), overlay);
    }
    EXPECT_GT(indexIn(root, vc._hud), indexIn(root, vc._resultView));
    // The settings panel is not in the screen's tree until opened.
    EXPECT_EQ(vc._settingView->superview(), nullptr);
}

TEST_F(LayoutTest, WithoutAPreviewABlackStandInTakesItsPlace) {
    hxViewController& vc = start("phone");
    ASSERT_EQ(vc.metalView, nullptr);  // the camera is denied
    const auto& views = vc.view()->subviews();
    ASSERT_FALSE(views.empty());
    const std::shared_ptr<UIView>& back = views.front();
    EXPECT_TRUE(rectNear(back->frame(), CGRectMake(0, vc._topSpace, 390, 520)));
    EXPECT_EQ(back->backgroundColor(), UIColor::blackColor());
    EXPECT_FALSE(back->isUserInteractionEnabled());
    EXPECT_FALSE(back->isHidden());
}

TEST_F(LayoutTest, ControlsStartFromTheSettings) {
    hxViewController& vc = start("phone");
    EXPECT_FLOAT_EQ(vc._formatSlider->value(), vc._currentFrame == 1 ? 0 : 1);
    EXPECT_FLOAT_EQ(vc._flashSlider->value(), float(vc._currentFlash));
    EXPECT_EQ(vc._flashSlider->isEnabled(), vc._hasFlash);
    EXPECT_FLOAT_EQ(vc._formatSlider->minimumValue(), 0);
    EXPECT_FLOAT_EQ(vc._formatSlider->maximumValue(), 1);
    EXPECT_FLOAT_EQ(vc._flashSlider->maximumValue(), 2);
    EXPECT_FLOAT_EQ(vc._evSlider->minimumValue(), vc._minEV * 3);
    EXPECT_FLOAT_EQ(vc._evSlider->maximumValue(), vc._maxEV * 3);
    EXPECT_FLOAT_EQ(vc._evSlider->value(), vc._currentEV * 3);
    EXPECT_EQ(vc._evButton->isHidden(), !vc._hasCustomExposure);
    EXPECT_EQ(vc._lensSelect->lensSet(), vc._lensSet);
    EXPECT_EQ(vc._lensSelect->currentOri(), 3);
    EXPECT_EQ(vc._lensSelect->delegate(), static_cast<hxLensSelectDelegate*>(&vc));
    EXPECT_EQ(vc._lensSelect->backgroundColor(), UIColor::colorWithWhite(0.4, 1));
    EXPECT_EQ(vc._overlayView->Grid(), vc._grid ? 1 : 0);
    // Camera switch and settings are wired now; the other controls come with their actions.
    EXPECT_TRUE(vc._changeCameraButton->allControlEvents() & UIControlEventTouchUpInside);
    EXPECT_TRUE(vc._settingButton->allControlEvents() & UIControlEventTouchUpInside);
}

TEST_F(LayoutTest, SettingsPanelHoldsItsFiveButtons) {
    hxViewController& vc = start("phone");
    EXPECT_TRUE(rectNear(vc._settingView->frame(), CGRectMake(0, 47, 320, 53)));
    EXPECT_EQ(vc._settingView->backgroundColor(), UIColor::blackColor());
    EXPECT_NEAR(vc._settingView->layer().borderWidth(), 2, 1e-9);
    EXPECT_EQ(vc._settingView->layer().borderColor(), UIColor::colorWithWhite(0.5, 1));
    EXPECT_TRUE(vc._settingView->isHidden());
    EXPECT_EQ(vc._settingView->alpha(), 0);
    EXPECT_TRUE(vc._settingView->isUserInteractionEnabled());
    double x = 98;
    for (const std::shared_ptr<UIButton>& button : {vc._gridButton, vc._heicButton, vc._tiffButton,
                                                    vc._geoTagButton, vc._settingCloseButton}) {
        EXPECT_EQ(button->superview(), vc._settingView);
        EXPECT_TRUE(rectNear(button->frame(), CGRectMake(x, 5, 44, 44)));
        EXPECT_TRUE(button->allControlEvents() & UIControlEventTouchUpInside);
        x += 44;
    }
}

// ---- the accelerometer rule

TEST_F(LayoutTest, AFlatDeviceNeverTurnsTheControls) {
    hxViewController& vc = start("phone");
    for (int64_t from : {1, 2, 3, 4}) {
        vc._beforeOrientation = from;
        for (double x : {-0.49, 0.0, 0.49})
            for (double y : {-0.49, 0.0, 0.49}) {
                vc.judgeAcceleration(x, y);
                EXPECT_EQ(vc._beforeOrientation, from) << x << "," << y;
            }
    }
}

TEST_F(LayoutTest, PortraitTurnsOnlyWhenTiltedHalfWay) {
    hxViewController& vc = start("phone");
    vc._beforeOrientation = 1;
    vc.judgeAcceleration(0.4, 0);
    EXPECT_EQ(vc._beforeOrientation, 1);
    vc.judgeAcceleration(0.5, 0);
    EXPECT_EQ(vc._beforeOrientation, 4);
    EXPECT_EQ(vc._tempOrientation, 1);

    vc._beforeOrientation = 1;
    vc.judgeAcceleration(-0.5, 0);
    EXPECT_EQ(vc._beforeOrientation, 3);
    EXPECT_EQ(vc._tempOrientation, 0);

    // Upright with a sideways lean stays: the y test comes first.
    vc._beforeOrientation = 1;
    vc.judgeAcceleration(0.7, -0.5);
    EXPECT_EQ(vc._beforeOrientation, 1);
    vc.judgeAcceleration(0.7, 0.5);
    EXPECT_EQ(vc._beforeOrientation, 2);
    EXPECT_EQ(vc._tempOrientation, 2);

    // Upside down: y >= 0.5 holds, y <= -0.5 goes back.
    vc.judgeAcceleration(-0.9, 0.5);
    EXPECT_EQ(vc._beforeOrientation, 2);
    vc.judgeAcceleration(0, -0.5);
    EXPECT_EQ(vc._beforeOrientation, 1);
    EXPECT_EQ(vc._tempOrientation, 3);
}

TEST_F(LayoutTest, LandscapeHoldsOnlyBeyondHalfWay) {
    hxViewController& vc = start("phone");
    // From 3, x = -0.5 exactly does not hold: y decides.
    vc._beforeOrientation = 3;
    vc.judgeAcceleration(-0.5, 0.5);
    EXPECT_EQ(vc._beforeOrientation, 2);
    vc._beforeOrientation = 3;
    vc.judgeAcceleration(-0.5, -0.5);
    EXPECT_EQ(vc._beforeOrientation, 1);
    vc._beforeOrientation = 3;
    vc.judgeAcceleration(-0.51, 0.9);
    EXPECT_EQ(vc._beforeOrientation, 3);
    vc.judgeAcceleration(0.5, 0.9);
    EXPECT_EQ(vc._beforeOrientation, 4);

    // From 4, x = 0.5 exactly likewise.
    vc._beforeOrientation = 4;
    vc.judgeAcceleration(0.5, -0.5);
    EXPECT_EQ(vc._beforeOrientation, 1);
    vc._beforeOrientation = 4;
    vc.judgeAcceleration(0.5, 0.5);
    EXPECT_EQ(vc._beforeOrientation, 2);
    vc._beforeOrientation = 4;
    vc.judgeAcceleration(0.51, -0.9);
    EXPECT_EQ(vc._beforeOrientation, 4);
    vc.judgeAcceleration(-0.5, -0.9);
    EXPECT_EQ(vc._beforeOrientation, 3);
}

TEST_F(LayoutTest, AnUnknownStateBecomesPortraitWithoutTurning) {
    hxViewController& vc = start("phone");
    vc._beforeOrientation = -1;
    vc._tempOrientation = 42;
    vc.judgeAcceleration(0.9, 0);
    EXPECT_EQ(vc._beforeOrientation, 1);
    EXPECT_EQ(vc._tempOrientation, 42);  // doRotateUI(1) found it already there
    vc.judgeAcceleration(0.9, 0);
    EXPECT_EQ(vc._beforeOrientation, 4);
}

TEST_F(LayoutTest, AccelerometerSamplesEveryThreeTenthsOfASecondTurnTheControls) {
    hxViewController& vc = start("phone", true);
    ASSERT_NE(vc._cmmanager, nullptr);
    EXPECT_TRUE(vc._cmmanager->isAccelerometerActive());
    EXPECT_DOUBLE_EQ(vc._cmmanager->accelerometerUpdateInterval(), 0.3);
    advance(0.31);
    EXPECT_EQ(vc._beforeOrientation, 1);
    SimulatedMotion::setAcceleration({-1, 0, 0});
    advance(0.31);
    EXPECT_EQ(vc._beforeOrientation, 3);
    advance(0.25);
    EXPECT_TRUE(turnedBy(vc._shutterButton->transform(), kPi / 2));
    SimulatedMotion::setAcceleration({0, 0, -1});  // flat on the table
    advance(0.9);
    EXPECT_EQ(vc._beforeOrientation, 3);
}

// ---- turning the controls

TEST_F(LayoutTest, RotationTurnsTheUprightControlsOverTwoTenthsOfASecond) {
    hxViewController& vc = start("phone");
    vc._beforeOrientation = 1;
    vc.doRotateUI(4);
    EXPECT_EQ(vc._tempOrientation, 1);
    // Model values at once; the presentation gets there over 0.2 s.
    EXPECT_TRUE(turnedBy(vc._shutterButton->transform(), 3 * kPi / 2));
    advance(0.1);
    EXPECT_TRUE(vc._shutterButton->hasRunningAnimations());
    advance(0.15);
    EXPECT_FALSE(vc._shutterButton->hasRunningAnimations());
    for (const std::shared_ptr<UIView>& view : std::initializer_list<std::shared_ptr<UIView>>{
             vc._shutterButton, vc._pvButton, vc._helpButton, vc._focalLabel, vc._gridButton,
             vc._heicButton, vc._tiffButton, vc._geoTagButton}) {
        EXPECT_TRUE(turnedBy(view->transform(), 3 * kPi / 2));
        EXPECT_TRUE(turnedBy(view->presentation().transform, 3 * kPi / 2));
    }
    EXPECT_TRUE(vc.view()->transform().isIdentity());
    // Those that keep their start-up turn.
    for (const std::shared_ptr<UIView>& view : std::initializer_list<std::shared_ptr<UIView>>{
             vc._lensSelect, vc._formatSlider, vc._flashSlider, vc._evButton})
        EXPECT_TRUE(turnedBy(view->transform(), kPi / 2));
    EXPECT_TRUE(vc._filmButton->transform().isIdentity());
    EXPECT_TRUE(vc._settingButton->transform().isIdentity());
    EXPECT_TRUE(vc._changeCameraButton->transform().isIdentity());
    EXPECT_TRUE(vc._settingCloseButton->transform().isIdentity());

    vc.doRotateUI(2);
    advance(0.25);
    EXPECT_EQ(vc._tempOrientation, 2);
    EXPECT_TRUE(turnedBy(vc._helpButton->transform(), kPi));
    vc.doRotateUI(3);
    advance(0.25);
    EXPECT_EQ(vc._tempOrientation, 0);
    EXPECT_TRUE(turnedBy(vc._focalLabel->transform(), kPi / 2));
    vc.doRotateUI(1);
    advance(0.25);
    EXPECT_EQ(vc._tempOrientation, 3);
    EXPECT_TRUE(turnedBy(vc._pvButton->transform(), 0));
}

TEST_F(LayoutTest, TheSameOrientationTwiceAnimatesOnce) {
    hxViewController& vc = start("phone");
    vc._beforeOrientation = 1;
    vc.doRotateUI(3);
    advance(0.1);
    vc._tempOrientation = 99;
    vc.doRotateUI(3);
    EXPECT_EQ(vc._tempOrientation, 99);
    // The first animation ends on time; no second one started half-way.
    advance(0.11);
    EXPECT_FALSE(vc._shutterButton->hasRunningAnimations());
}

TEST_F(LayoutTest, NumbersOutsideOneToFourAreRecordedButTurnNothing) {
    hxViewController& vc = start("phone");
    vc._beforeOrientation = 1;
    vc._tempOrientation = 3;
    vc.doRotateUI(7);
    EXPECT_EQ(vc._beforeOrientation, 7);
    EXPECT_EQ(vc._tempOrientation, 3);
    EXPECT_FALSE(vc._shutterButton->hasRunningAnimations());
    // The next sample starts again from portrait.
    vc.judgeAcceleration(0.9, 0);
    EXPECT_EQ(vc._beforeOrientation, 1);
}

TEST_F(LayoutTest, FilmPickerStripsAboveTheBarOrBesideThePreview) {
    hxViewController& vc = start("phone");
    const CGRect overlay = vc._overlayView->frame();
    const double barY = vc._backimage->frame().origin.y;
    vc._beforeOrientation = 3;
    vc.doRotateUI(1);
    EXPECT_TRUE(rectNear(vc._filmCollectionView->frame(), CGRectMake(0, barY - 72, 390, 72)));
    EXPECT_TRUE(turnedBy(vc._filmCollectionView->transform(), 0));
    // Moved without animation.
    EXPECT_FALSE(vc._filmCollectionView->hasRunningAnimations());

    vc.doRotateUI(2);
    EXPECT_TRUE(rectNear(vc._filmCollectionView->frame(), CGRectMake(0, barY - 72, 390, 72)));
    EXPECT_TRUE(turnedBy(vc._filmCollectionView->transform(), kPi, -106));

    vc.doRotateUI(3);
    EXPECT_TRUE(
        rectNear(vc._filmCollectionView->frame(), CGRectMake(0, overlay.origin.y, 72, 520)));
    EXPECT_TRUE(turnedBy(vc._filmCollectionView->transform(), kPi / 2));
    // On its side the strip runs along the preview's height.
    EXPECT_NEAR(vc._filmCollectionView->bounds().size.width, 520, 1e-6);
    EXPECT_NEAR(vc._filmCollectionView->bounds().size.height, 72, 1e-6);

    vc.doRotateUI(4);
    EXPECT_TRUE(
        rectNear(vc._filmCollectionView->frame(), CGRectMake(0, overlay.origin.y, 72, 520)));
    EXPECT_TRUE(turnedBy(vc._filmCollectionView->transform(), 3 * kPi / 2, -106));
    EXPECT_FALSE(vc._filmCollectionView->hasRunningAnimations());
    EXPECT_TRUE(vc._filmCollectionView->isHidden());
    EXPECT_EQ(vc._filmCollectionView->alpha(), 0);
}

TEST_F(LayoutTest, FilmPickerShiftsTwiceAsFarOnATablet) {
    hxViewController& vc = start("tablet");
    vc._beforeOrientation = 1;
    vc.doRotateUI(4);
    EXPECT_TRUE(turnedBy(vc._filmCollectionView->transform(), 3 * kPi / 2, -212));
    EXPECT_TRUE(rectNear(vc._filmCollectionView->frame(),
                         CGRectMake(0, vc._topSpace, 72, vc._previewHeight)));
    vc.doRotateUI(1);
    EXPECT_TRUE(rectNear(vc._filmCollectionView->frame(),
                         CGRectMake(0, vc._backimage->frame().minY() - 72, vc._screenWidth, 72)));
}

TEST_F(LayoutTest, TheScreenDrawsHeadless) {
    start("phone");
    advance(0.5);
    QImage image = host->renderImage(1);
    EXPECT_EQ(image.width(), 390);
    EXPECT_EQ(image.height(), 844);
}

}  // namespace
}  // namespace hx::app

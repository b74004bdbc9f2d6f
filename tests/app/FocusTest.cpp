// Focus, exposure, zoom and flash of the camera screen, driven by touches on the screen of the
// whole application on the simulated camera and the manual clock: the marks, the device's points
// of interest and modes, the pinch zoom and its label, the flash choice, the adjusting reports.

#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/capture/CameraBackend.h"
#include "platform/capture/simulated/SimulatedCamera.h"
#include "platform/device/DeviceProfile.h"
#include "platform/ui/controls/UILabel.h"
#include "platform/ui/drawing/UIImage.h"
#include "tests/app/CameraAppTestSupport.h"

namespace hx::app {
namespace {

using namespace hx::capture;
using testing::CameraAppTest;

class FocusTest : public CameraAppTest {
  protected:
    void SetUp() override {
        CameraAppTest::SetUp();
        SimulatedCamera::reset();
        CameraBackend::reset();
    }

    void TearDown() override {
        CameraAppTest::TearDown();
        SimulatedCamera::reset();
        CameraBackend::reset();
        DeviceProfile::resetCurrent();
    }

    void launchProfileText(const std::string& text) {
        std::string error;
        auto profile = DeviceProfile::parse(text, "test", &error);
        ASSERT_TRUE(profile) << error;
        DeviceProfile::setCurrent(*profile);
        CameraBackend::reset();
        delegate_ = std::make_shared<hxAppDelegate>();
        auto& application = UIApplication::sharedApplication();
        application.setDelegate(delegate_);
        application.finishLaunching();
        host_ = std::make_unique<HeadlessHost>(delegate_->window());
        advance(0.5);
    }

    // The preview's frame in the main view.
    CGRect preview() { return camera().viewForField("_overlayView")->frame(); }
    // A point of the preview, on the screen.
    CGPoint onScreen(CGPoint p) {
        CGRect f = preview();
        return CGPointMake(f.origin.x + p.x, f.origin.y + p.y);
    }
    CGPoint markCentre(const std::shared_ptr<UIImageView>& mark) {
        CGRect f = mark->frame();
        return CGPointMake(f.midX(), f.midY());
    }
    bool shows(const std::shared_ptr<UIImageView>& mark, const char* name) {
        return mark->image() == UIImage::imageNamed(name);
    }
    // The camera reports focusing and exposure on its own queue, which hands them to the main
    // queue: runs the main queue until `done` holds, or gives up after a while.
    bool waitFor(const std::function<bool()>& done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit) return false;
            std::this_thread::yield();
            advance(0);
        }
        return true;
    }
    // Lets the lens settle after aiming it, and the reports reach the marks.
    void settle() {
        advance(1.0);
        waitFor([&] {
            return !camera()._device ||
                   (!device().isAdjustingFocus() && !device().isAdjustingExposure());
        });
        for (int i = 0; i < 5; ++i) advance(0.01);
    }
    CaptureDevice& device() { return *camera()._device; }
};

void expectNear(CGPoint actual, CGPoint expected, double tolerance = 0.01) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

TEST_F(FocusTest, StartsJoinedAtThePreviewCentreAndADoubleTapAboveTheControlsResets) {
    launch();
    auto& c = camera();
    ASSERT_TRUE(c._device);
    const CGRect f = preview();
    const CGPoint centre = CGPointMake(f.size.width / 2, f.size.height / 2);
    expectNear(c._fPOI, centre);
    expectNear(markCentre(c._afImage), onScreen(centre), 0.5);
    EXPECT_TRUE(c._aeImage->isHidden());
    EXPECT_FALSE(c._haveEPOI);

    // A two-finger tap splits exposure from focus.
    host().tap(onScreen(CGPointMake(100, 150)), 2);
    advance(0.5);
    ASSERT_TRUE(c._haveEPOI);

    // Double taps at 430 points down the screen are the controls' area: nothing.
    host().tap(CGPointMake(200, 430));
    advance(0.05);
    host().tap(CGPointMake(200, 430));
    advance(0.5);
    EXPECT_TRUE(c._haveEPOI);

    // At 420 the double tap resets both marks to the centre.
    host().tap(CGPointMake(200, 420));
    advance(0.05);
    host().tap(CGPointMake(200, 420));
    advance(0.5);
    EXPECT_FALSE(c._haveEPOI);
    EXPECT_TRUE(c._aeImage->isHidden());
    expectNear(c._fPOI, centre);
    expectNear(c._ePOI, centre);
    expectNear(markCentre(c._afImage), onScreen(centre), 0.5);
    expectNear(device().focusPointOfInterest(), CGPointMake(0.5, 0.5));
    expectNear(device().exposurePointOfInterest(), CGPointMake(0.5, 0.5));
    EXPECT_EQ(device().focusMode(), AVCaptureFocusModeContinuousAutoFocus);
    EXPECT_EQ(c._afStatus, 0);
    EXPECT_EQ(c._aeStatus, 3);
}

TEST_F(FocusTest, TwoFingerTapSplitsTheMarksAndAimsTheDeviceForEveryRotationAndBothCameras) {
    // A front camera with points of interest, to see its mirrored mapping.
    SimulatedCamera::setCapabilityOverride([](CaptureDeviceCapabilities& caps) {
        if (caps.position == AVCaptureDevicePositionFront) {
            caps.focusPointOfInterestSupported = true;
            caps.exposurePointOfInterestSupported = true;
        }
    });
    CameraBackend::reset();
    launch();
    auto& c = camera();
    ASSERT_TRUE(c._device);
    const CGRect f = preview();
    const double w = f.size.width, h = f.size.height;
    // Two fingers well inside the 2:3 frame; tapped as one two-finger touch at their middle,
    // the host spreads them apart, so read back where they landed from the marks.
    host().tap(onScreen(CGPointMake(w / 2, h / 3)), 2);
    advance(0.5);
    ASSERT_TRUE(c._haveEPOI);
    EXPECT_FALSE(c._aeImage->isHidden());
    const CGPoint p0 = c._fPOI, p1 = c._ePOI;
    EXPECT_NE(p0.x, p1.x);
    // Marks are drawn at the point plus the preview's origin.
    expectNear(markCentre(c._afImage), onScreen(p0), 0.5);
    expectNear(markCentre(c._aeImage), onScreen(p1), 0.5);
    // The sensor lies on its side under the portrait preview.
    expectNear(device().focusPointOfInterest(), CGPointMake(p0.y / h, 1 - p0.x / w));
    expectNear(device().exposurePointOfInterest(), CGPointMake(p1.y / h, 1 - p1.x / w));

    // Turning the device to landscape turns the controls, not the preview: the same mapping.
    c.doRotateUI(3);
    advance(0.5);
    host().tap(onScreen(CGPointMake(w / 3, h / 2)), 2);
    advance(0.5);
    expectNear(device().focusPointOfInterest(), CGPointMake(c._fPOI.y / h, 1 - c._fPOI.x / w));
    expectNear(device().exposurePointOfInterest(), CGPointMake(c._ePOI.y / h, 1 - c._ePOI.x / w));
    c.doRotateUI(1);
    advance(0.5);

    // The front camera's preview is mirrored, so is its mapping.
    c.changeCameraWithPosition(kPositionFront, c._currentLens);
    advance(0.5);
    ASSERT_EQ(c._currentCameraPosition, kPositionFront);
    ASSERT_TRUE(c._hasSpotFocus && c._hasSpotExposure);
    host().tap(onScreen(CGPointMake(w / 2, h / 3)), 2);
    advance(0.5);
    expectNear(device().focusPointOfInterest(), CGPointMake(c._fPOI.y / h, c._fPOI.x / w));
    expectNear(device().exposurePointOfInterest(), CGPointMake(c._ePOI.y / h, c._ePOI.x / w));
}

TEST_F(FocusTest, DraggingAMarkMovesItsPointAndIsClampedToTheFrame) {
    launch();
    auto& c = camera();
    ASSERT_TRUE(c._device);
    const CGRect f = preview();
    const double w = f.size.width, h = f.size.height;
    const CGPoint start = markCentre(c._afImage);

    // Joined: dragging the focus mark moves the exposure point along.
    const CGPoint target = CGPointMake(w / 3, h / 4);
    host().drag(start, onScreen(target), 8);
    advance(0.5);
    expectNear(c._fPOI, target, 0.5);
    expectNear(c._ePOI, CGPointMake(w / 2, h / 2), 0.5);  // stored point of the hidden mark
    expectNear(markCentre(c._afImage), onScreen(target), 0.5);
    expectNear(device().focusPointOfInterest(), CGPointMake(target.y / h, 1 - target.x / w));
    expectNear(device().exposurePointOfInterest(), CGPointMake(target.y / h, 1 - target.x / w));

    // Split with two fingers, then the exposure mark dragged alone.
    host().tap(onScreen(CGPointMake(w / 2, h / 2)), 2);
    advance(0.5);
    ASSERT_TRUE(c._haveEPOI);
    const CGPoint focusBefore = c._fPOI;
    const CGPoint exposureTarget = CGPointMake(w * 0.6, h * 0.7);
    host().drag(markCentre(c._aeImage), onScreen(exposureTarget), 8);
    advance(0.5);
    expectNear(c._ePOI, exposureTarget, 0.5);
    expectNear(c._fPOI, focusBefore);
    expectNear(device().exposurePointOfInterest(),
               CGPointMake(exposureTarget.y / h, 1 - exposureTarget.x / w));
    expectNear(device().focusPointOfInterest(),
               CGPointMake(focusBefore.y / h, 1 - focusBefore.x / w));

    // Split, the focus mark moves alone.
    const CGPoint exposureBefore = c._ePOI;
    host().drag(markCentre(c._afImage), onScreen(CGPointMake(w * 0.4, h * 0.3)), 8);
    advance(0.5);
    expectNear(c._ePOI, exposureBefore);

    // Off the frame: kept 30 points inside the 2:3 frame's visible area.
    ASSERT_EQ(c._currentFrame, 1);
    host().drag(markCentre(c._afImage), CGPointMake(f.origin.x + 2, f.origin.y - 40), 8);
    advance(0.5);
    const double side = (w - 2 * h / 3) / 2;
    expectNear(c._fPOI, CGPointMake(side + 30, 30), 0.5);
    expectNear(markCentre(c._afImage), onScreen(CGPointMake(side + 30, 30)), 0.5);
}

TEST_F(FocusTest, DoubleTappingTheFocusMarkWhileFocusingLocksOnlyWhenFocusingEnds) {
    launch();
    auto& c = camera();
    ASSERT_TRUE(c._device);
    settle();
    EXPECT_TRUE(waitFor([&] { return shows(c._afImage, "targetfocus1"); }));

    // Settled: a double tap locks at once, focus and the joined exposure.
    const CGPoint mark = markCentre(c._afImage);
    host().tap(mark);
    advance(0.05);
    host().tap(mark);
    advance(0.3);
    EXPECT_EQ(c._afStatus, 2);
    EXPECT_EQ(c._aeStatus, 5);
    EXPECT_TRUE(shows(c._afImage, "targetfocusl1"));
    EXPECT_EQ(device().focusMode(), AVCaptureFocusModeLocked);
    EXPECT_EQ(device().exposureMode(), AVCaptureExposureModeLocked);

    // A drag of the locked mark refocuses there and re-locks when focusing ends.
    host().drag(mark, onScreen(CGPointMake(120, 160)), 6);
    EXPECT_EQ(c._afStatus, 1);
    EXPECT_TRUE(shows(c._afImage, "targetfocusl0"));
    settle();
    EXPECT_TRUE(waitFor([&] { return c._afStatus == 2; }));
    EXPECT_TRUE(shows(c._afImage, "targetfocusl1"));
    EXPECT_EQ(device().focusMode(), AVCaptureFocusModeLocked);

    // Double tap again: back to continuous focus.
    const CGPoint moved = markCentre(c._afImage);
    host().tap(moved);
    advance(0.05);
    host().tap(moved);
    advance(0.02);
    EXPECT_EQ(c._afStatus, 0);
    EXPECT_EQ(device().focusMode(), AVCaptureFocusModeContinuousAutoFocus);
    // Refocusing now: the next double tap waits for the lens.
    ASSERT_TRUE(waitFor([&] { return device().isAdjustingFocus(); }));
    host().tap(moved);
    advance(0.05);
    host().tap(moved);
    advance(0.02);
    ASSERT_TRUE(device().isAdjustingFocus());
    EXPECT_EQ(c._afStatus, 1);
    EXPECT_TRUE(shows(c._afImage, "targetfocusl0"));
    EXPECT_NE(device().focusMode(), AVCaptureFocusModeLocked);
    settle();
    EXPECT_TRUE(waitFor([&] { return c._afStatus == 2; }));
    EXPECT_TRUE(shows(c._afImage, "targetfocusl1"));
    EXPECT_EQ(device().focusMode(), AVCaptureFocusModeLocked);
}

TEST_F(FocusTest, PinchZoomStaysWithinTheDeviceAndTheLabelShowsTheFactor) {
    launch();
    auto& c = camera();
    ASSERT_TRUE(c._device);
    const double maxZoom = device().maxAvailableVideoZoomFactor();
    ASSERT_GT(maxZoom, 2.0);
    const CGPoint centre = onScreen(CGPointMake(preview().size.width / 2, 200));

    host().pinch(centre, 60, 120, 6);  // twice the spread
    advance(0.2);
    EXPECT_NEAR(c._currentZoom, 2.0, 0.05);
    EXPECT_NEAR(device().videoZoomFactor(), c._currentZoom, 1e-4);
    char text[32];
    std::snprintf(text, sizeof text, "x%.1f", double(c._currentZoom));
    EXPECT_EQ(c._focalLabel->text(), text);

    // The next pinch starts where the last ended, and stops at the device's maximum.
    host().pinch(centre, 20, 200, 8);
    advance(0.2);
    EXPECT_FLOAT_EQ(c._currentZoom, float(maxZoom));
    EXPECT_NEAR(device().videoZoomFactor(), maxZoom, 1e-4);
    std::snprintf(text, sizeof text, "x%.1f", maxZoom);
    EXPECT_EQ(c._focalLabel->text(), text);

    // Pinching in stops at 1.
    host().pinch(centre, 200, 10, 8);
    advance(0.2);
    EXPECT_FLOAT_EQ(c._currentZoom, 1.0f);
    EXPECT_NEAR(device().videoZoomFactor(), 1.0, 1e-4);
    EXPECT_EQ(c._focalLabel->text(), "x1.0");

    // A device that refuses to be configured keeps its zoom; the gesture still counts.
    SimulatedCamera::setRefusesConfigurationLock(true);
    host().pinch(centre, 60, 120, 6);
    advance(0.2);
    EXPECT_NEAR(c._currentZoom, 2.0, 0.05);
    EXPECT_NEAR(device().videoZoomFactor(), 1.0, 1e-4);
}

TEST_F(FocusTest, FlashChoiceGoesToTheMonitoringSettingsOnlyWithAFlash) {
    launch();
    auto& c = camera();
    ASSERT_TRUE(c._photoOutput);
    ASSERT_TRUE(c._hasFlash);
    const CaptureFlashMode expected[] = {AVCaptureFlashModeOff, AVCaptureFlashModeAuto,
                                         AVCaptureFlashModeOn};
    for (int mode = 0; mode < 3; ++mode) {
        c.applyFlash(mode);
        EXPECT_EQ(c._photoOutput->photoSettingsForSceneMonitoring()->flashMode(), expected[mode]);
    }
    // Out of the table: unchanged.
    c.applyFlash(7);
    EXPECT_EQ(c._photoOutput->photoSettingsForSceneMonitoring()->flashMode(), AVCaptureFlashModeOn);
    // Without a flash nothing is set.
    c.applyFlash(0);
    c._hasFlash = false;
    c.applyFlash(2);
    EXPECT_EQ(c._photoOutput->photoSettingsForSceneMonitoring()->flashMode(),
              AVCaptureFlashModeOff);
}

TEST_F(FocusTest, AdjustingReportsOfTheDeviceChangeTheMarks) {
    launch();
    auto& c = camera();
    ASSERT_TRUE(c._device);
    settle();
    EXPECT_TRUE(waitFor([&] { return shows(c._afImage, "targetfocus1"); }));
    EXPECT_GT(c._adjustNotifications, 0u);

    // Aiming focus elsewhere: the mark shows focusing, then settled.
    host().drag(markCentre(c._afImage), onScreen(CGPointMake(100, 120)), 6);
    ASSERT_TRUE(waitFor([&] { return device().isAdjustingFocus(); }));
    EXPECT_TRUE(waitFor([&] { return shows(c._afImage, "targetfocus0"); }));
    settle();
    EXPECT_FALSE(device().isAdjustingFocus());
    EXPECT_TRUE(waitFor([&] { return shows(c._afImage, "targetfocus1"); }));

    // Split exposure: its own mark follows the exposure reports.
    host().tap(onScreen(CGPointMake(preview().size.width / 2, 200)), 2);
    settle();
    ASSERT_TRUE(c._haveEPOI);
    EXPECT_FALSE(device().isAdjustingExposure());
    EXPECT_TRUE(waitFor([&] { return shows(c._aeImage, "targetexposure1"); }));

    // Dragging the exposure mark re-aims exposure; a double tap while it adjusts waits for it
    // to settle, then locks.
    host().drag(markCentre(c._aeImage), onScreen(CGPointMake(200, 300)), 6);
    ASSERT_TRUE(waitFor([&] { return device().isAdjustingExposure(); }));
    const CGPoint mark = markCentre(c._aeImage);
    host().tap(mark);
    advance(0.02);
    host().tap(mark);
    advance(0.01);
    ASSERT_TRUE(device().isAdjustingExposure());
    EXPECT_EQ(c._aeStatus, 4);
    EXPECT_TRUE(shows(c._aeImage, "targetexposurel0"));
    EXPECT_NE(device().exposureMode(), AVCaptureExposureModeLocked);
    settle();
    EXPECT_TRUE(waitFor([&] { return c._aeStatus == 5; }));
    EXPECT_TRUE(shows(c._aeImage, "targetexposurel1"));
    EXPECT_EQ(device().exposureMode(), AVCaptureExposureModeLocked);
}

TEST_F(FocusTest, ARefusedLockLeavesTheDeviceButTheMarksStillMove) {
    launch();
    auto& c = camera();
    ASSERT_TRUE(c._device);
    settle();
    const CGPoint before = device().focusPointOfInterest();
    SimulatedCamera::setRefusesConfigurationLock(true);
    const CGPoint target = CGPointMake(120, 140);
    host().drag(markCentre(c._afImage), onScreen(target), 6);
    advance(0.5);
    expectNear(c._fPOI, target, 0.5);
    expectNear(markCentre(c._afImage), onScreen(target), 0.5);
    expectNear(device().focusPointOfInterest(), before);
    const CGPoint mark = markCentre(c._afImage);
    host().tap(mark);
    advance(0.05);
    host().tap(mark);
    advance(0.3);
    EXPECT_EQ(c._afStatus, 2);
    EXPECT_TRUE(shows(c._afImage, "targetfocusl1"));
    EXPECT_EQ(device().focusMode(), AVCaptureFocusModeContinuousAutoFocus);
}

TEST_F(FocusTest, ATwoFingerTapNeedsBothPointsOfInterestToSplit) {
    SimulatedCamera::setCapabilityOverride(
        [](CaptureDeviceCapabilities& caps) { caps.exposurePointOfInterestSupported = false; });
    CameraBackend::reset();
    launch();
    auto& c = camera();
    ASSERT_TRUE(c._device);
    ASSERT_TRUE(c._hasSpotFocus);
    ASSERT_FALSE(c._hasSpotExposure);
    host().tap(onScreen(CGPointMake(100, 150)), 2);
    advance(0.5);
    EXPECT_FALSE(c._haveEPOI);
    EXPECT_TRUE(c._aeImage->isHidden());
    // Focus is aimed at its stored point, the centre.
    expectNear(device().focusPointOfInterest(), CGPointMake(0.5, 0.5));
}

TEST_F(FocusTest, EveryGestureIsHarmlessWithoutACamera) {
    launchProfileText("base = phone\ncameras = none\n");
    auto& c = camera();
    EXPECT_FALSE(c._device);
    const CGPoint middle = CGPointMake(160, 250);
    host().tap(middle);
    advance(0.05);
    host().tap(middle);
    host().tap(middle, 2);
    host().pinch(middle, 40, 120, 5);
    host().drag(markCentre(c._afImage), CGPointMake(50, 60), 5);
    advance(0.5);
    c.applyFlash(2);
    c.touchReset();
    EXPECT_FALSE(c._device);
    EXPECT_GE(c._currentZoom, 1.0f);
}

}  // namespace
}  // namespace hx::app

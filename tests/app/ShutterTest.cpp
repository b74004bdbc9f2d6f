// The shutter of the camera screen, through the whole application on the simulated camera and
// the manual clock: the three trigger styles, the guards, a failed capture, auto review, and the
// hardware keys on both kinds of system (capture events; the system volume's announcements).
//
// A capture request is seen as the busy flag rising at the press; counted captures use a camera
// that fails every still, so each request ends in one "capture failed" log line and releases
// the busy state, whatever processing would do with a photo.

#include <memory>
#include <string>

#include "app/shell/CameraScript.h"
#include "app/shell/HardwareKeys.h"
#include "app/shell/ScriptRunner.h"
#include "platform/audio/SystemVolume.h"
#include "platform/capture/CameraBackend.h"
#include "platform/capture/simulated/SimulatedCamera.h"
#include "platform/device/DeviceProfile.h"
#include "platform/log/CaptureScope.h"
#include "platform/ui/alerts/UIAlertController.h"
#include "tests/app/CameraAppTestSupport.h"

namespace hx::app {
namespace {

using testing::CameraAppTest;

// The script runner's target: only the keys matter here.
class KeysOnlyTarget : public ScriptTarget {
  public:
    bool isIdle() override { return true; }
    std::shared_ptr<UIView> viewNamed(const std::string&) override { return nullptr; }
    void performAction(const std::string&) override {}
};

class ShutterTest : public CameraAppTest {
  protected:
    void SetUp() override {
        CameraAppTest::SetUp();
        SystemVolume::shared().reset();
        capture::SimulatedCamera::reset();
    }

    void TearDown() override {
        CameraAppTest::TearDown();
        capture::SimulatedCamera::reset();
        capture::CameraBackend::reset();
        SystemVolume::shared().reset();
        DeviceProfile::resetCurrent();
    }

    // A launch on a profile given as a profile file's text ("base = phone\n...").
    void launchProfileText(const std::string& text) {
        std::string error;
        auto profile = DeviceProfile::parse(text, "test", &error);
        ASSERT_TRUE(profile) << error;
        DeviceProfile::setCurrent(*profile);
        capture::CameraBackend::reset();
        delegate_ = std::make_shared<hxAppDelegate>();
        auto& application = UIApplication::sharedApplication();
        application.setDelegate(delegate_);
        application.finishLaunching();
        host_ = std::make_unique<HeadlessHost>(delegate_->window());
        advance(0.5);
    }

    // Every still fails from now on; captures() then counts the requests that reached the
    // camera.
    void failEveryCapture() { capture::SimulatedCamera::setFailsCapture(true); }
    int captures() const {
        int count = 0;
        for (const auto& message : log_.messages())
            if (message.find("capture failed") != std::string::npos) ++count;
        return count;
    }
    // Runs until the photo output has answered every request and the busy state is released.
    void settle() {
        RunLoop::main().runUntil([&] { return !camera()._process.load(); }, 10);
        advance(0.05);
    }

    CGPoint shutterCentre() {
        auto button = camera().viewForField("_shutterButton");
        EXPECT_TRUE(button);
        CGRect frame = button->convertRectToView(button->bounds(), nullptr);
        return {frame.midX(), frame.midY()};
    }
    void useShutterType(int32_t type) {
        camera()._shutterType = type;
        camera().setShutter(type);
    }

    // A notification as the system volume posts it.
    void postVolume(double value, const std::string& reason = kSystemVolumeExplicitChange) {
        NotificationUserInfo info{{kSystemVolumeParameterKey, value}};
        if (!reason.empty()) info[kSystemVolumeReasonKey] = reason;
        NotificationCenter::defaultCenter().postNotificationName(kSystemVolumeDidChangeNotification,
                                                                 nullptr, info);
        advance(0.01);
    }

    // Presses and releases a key through the script runner's default key path.
    void scriptKey(const std::string& key) {
        std::string error;
        auto script = CameraScript::parse("key " + key + "\n", &error);
        ASSERT_TRUE(script) << error;
        auto runner = ScriptRunner::make(*script, delegate_->window(),
                                         std::make_shared<KeysOnlyTarget>(), ScriptClock::Manual);
        bool done = false;
        runner->start([&](const ScriptOutcome&) { done = true; });
        EXPECT_TRUE(done);
    }

    log::CaptureScope log_;
};

// ---- trigger styles

TEST_F(ShutterTest, ReleaseStyleFiresOnLiftingInsideTheButtonOnly) {
    launch();
    failEveryCapture();
    useShutterType(0);
    auto& c = camera();
    const CGPoint centre = shutterCentre();
    host().touchDown(centre);
    advance(0.05);
    EXPECT_FALSE(c._process.load()) << "touching down must not fire";
    host().touchUp(centre);
    EXPECT_TRUE(c._process.load());
    EXPECT_FALSE(c._hud->isHidden());
    EXPECT_TRUE(c._indicator->isAnimating());
    settle();
    EXPECT_EQ(captures(), 1);
    // Lifting far outside the button cancels the press.
    host().touchDown(centre);
    host().touchMove({centre.x, centre.y - 200});
    host().touchUp({centre.x, centre.y - 200});
    settle();
    EXPECT_EQ(captures(), 1);
}

TEST_F(ShutterTest, TapStyleFiresOnTouchingDown) {
    launch();
    useShutterType(1);
    auto& c = camera();
    host().touchDown(shutterCentre());
    EXPECT_TRUE(c._process.load());
    EXPECT_FALSE(c._hud->isHidden());
    host().touchUp(shutterCentre());
}

TEST_F(ShutterTest, LongPressStyleFiresOnlyAfterHalfASecond) {
    launch();
    failEveryCapture();
    useShutterType(2);
    auto& c = camera();
    // A short tap does nothing, neither on touch down nor on release.
    host().touchDown(shutterCentre());
    advance(0.3);
    host().touchUp(shutterCentre());
    settle();
    EXPECT_EQ(captures(), 0);
    // Held past 0.5 s: one capture, and none more on release.
    host().touchDown(shutterCentre());
    advance(0.45);
    EXPECT_FALSE(c._process.load());
    advance(0.1);
    settle();
    EXPECT_EQ(captures(), 1);
    host().touchUp(shutterCentre());
    settle();
    EXPECT_EQ(captures(), 1);
    // Back to the release style: the recogniser is gone, a long hold fires on release only.
    useShutterType(0);
    EXPECT_TRUE(c._shutterButton->gestureRecognizers().empty());
    useShutterType(2);
    useShutterType(2);
    EXPECT_EQ(c._shutterButton->gestureRecognizers().size(), 1u);
}

// ---- guards

TEST_F(ShutterTest, TwoQuickPressesTakeOnePicture) {
    launch();
    failEveryCapture();
    auto& c = camera();
    c.shutter(nullptr);
    c.shutter(nullptr);
    settle();
    EXPECT_EQ(captures(), 1);
}

TEST_F(ShutterTest, WithTwoSavesPendingAThirdPressIsIgnored) {
    launch();
    failEveryCapture();
    auto& c = camera();
    c._processcounter = 2;
    ASSERT_TRUE(c._hud->isHidden());
    c.shutter(nullptr);
    EXPECT_FALSE(c._process.load());
    settle();
    EXPECT_EQ(captures(), 0);
    // One save done: the shutter works again.
    c._processcounter = 1;
    c.shutter(nullptr);
    EXPECT_TRUE(c._process.load());
    settle();
    EXPECT_EQ(captures(), 1);
    c._processcounter = 0;
}

TEST_F(ShutterTest, AFailedCaptureReleasesTheBusyStateAndTheNextPressWorks) {
    launch();
    failEveryCapture();
    auto& c = camera();
    c.shutter(nullptr);
    ASSERT_TRUE(c._process.load());
    settle();
    EXPECT_FALSE(c._process.load());
    EXPECT_TRUE(c._hud->isHidden());
    EXPECT_FALSE(c._indicator->isAnimating());
    EXPECT_TRUE(log_.contains("capture failed: "));
    c.shutter(nullptr);
    EXPECT_TRUE(c._process.load());
    settle();
    EXPECT_EQ(captures(), 2);
}

TEST_F(ShutterTest, NoCaptureWithoutLibraryAccessOrBehindAnAlertOrWithoutACamera) {
    launch();
    failEveryCapture();
    auto& c = camera();
    c._privPhoto = false;
    c.shutter(nullptr);
    settle();
    EXPECT_EQ(captures(), 0);
    c._privPhoto = true;

    auto alert = UIAlertController::alertControllerWithTitle("", "over the camera",
                                                             UIAlertControllerStyle::Alert);
    c.presentViewController(alert, false);
    advance(0.1);
    ASSERT_TRUE(c.presentedViewController());
    c.shutter(nullptr);
    scriptKey("volume-up");
    settle();
    EXPECT_EQ(captures(), 0);
    EXPECT_FALSE(c._process.load());
    c.dismissViewControllerAnimated(false);
    advance(0.1);
    scriptKey("volume-up");
    settle();
    EXPECT_EQ(captures(), 1);
}

TEST_F(ShutterTest, NoCaptureOnAPhoneWithoutCameras) {
    launchProfileText("base = phone\ncameras = none\n");
    auto& c = camera();
    ASSERT_FALSE(c._device);
    c.shutter(nullptr);
    scriptKey("capture");
    EXPECT_FALSE(c._process.load());
    EXPECT_TRUE(c._hud->isHidden());
}

// ---- the photo

TEST_F(ShutterTest, APressedShutterHandsThePhotoToProcessingAndTheShutterIsReadyAgain) {
    launch();
    auto& c = camera();
    c._autoreviewTime = 0.3f;
    c.shutter(nullptr);
    ASSERT_TRUE(c._process.load());
    EXPECT_FALSE(c._hud->isHidden());
    // Rendered: the busy state is released, one save is pending, the picture is reviewed.
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !c._process.load(); }, 60));
    // The display follows on the main queue once processing has queued it.
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] { return c._hud->isHidden() && !c._resultView->isHidden(); }, 60));
    EXPECT_TRUE(c._hud->isHidden());
    EXPECT_FALSE(c._indicator->isAnimating());
    EXPECT_FALSE(c._resultView->isHidden());
    ASSERT_TRUE(c._resultView->image());
    advance(0.35);
    EXPECT_TRUE(c._resultView->isHidden());
    // The shutter takes the next photo while the first may still be saving.
    c.shutter(nullptr);
    EXPECT_TRUE(c._process.load());
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return !c._process.load(); }, 60));
    EXPECT_FALSE(log_.contains("capture failed"));
}

// ---- auto review

image::ImageRef greyPicture() {
    return image::Image::adopt(image::PixelFormat::Grey8, 4, 3, std::vector<uint8_t>(12, 128));
}

TEST_F(ShutterTest, ReviewOfZeroLeavesTheResultHidden) {
    launch();
    auto& c = camera();
    c._autoreviewTime = 0;
    c.autoReview(greyPicture());
    advance(0.01);
    EXPECT_TRUE(c._resultView->isHidden());
}

TEST_F(ShutterTest, ReviewShowsThePictureForItsTimeAndSurvivesAReturnToTheForeground) {
    launch();
    auto& c = camera();
    c._autoreviewTime = 0.3f;
    c.autoReview(greyPicture());
    advance(0.01);
    EXPECT_FALSE(c._resultView->isHidden());
    ASSERT_TRUE(c._resultView->image());
    // The return to the foreground cancels the controller's own delayed requests; the review
    // timer is not one of them.
    c.goForeground();
    advance(0.25);
    EXPECT_FALSE(c._resultView->isHidden());
    advance(0.1);
    EXPECT_TRUE(c._resultView->isHidden());
    EXPECT_FALSE(c._resultView->image());

    // A new review restarts the timer; a press hides the picture at once.
    c._autoreviewTime = 0.3f;
    c.autoReview(greyPicture());
    advance(0.2);
    c.autoReview(greyPicture());
    advance(0.2);
    EXPECT_FALSE(c._resultView->isHidden()) << "the first timer was not cancelled";
    failEveryCapture();
    c.shutter(nullptr);
    EXPECT_TRUE(c._resultView->isHidden());
    settle();
}

// ---- hardware keys

TEST_F(ShutterTest, VolumeReferenceKeepsInsideTheEnds) {
    launch("legacy-phone");
    auto& c = camera();
    EXPECT_FALSE(c._captureInteraction);
    ASSERT_TRUE(c._volumeView);
    EXPECT_EQ(c._volumeView->tag(), 111);
    EXPECT_FALSE(c._volumeView->isUserInteractionEnabled());
    EXPECT_FLOAT_EQ(c._volume, 0.5f);
    SystemVolume::shared().setVolume(1.0f);
    c.updateLaunchVol();
    EXPECT_FLOAT_EQ(c._volume, 0.95f);
    SystemVolume::shared().setVolume(0.0f);
    c.updateLaunchVol();
    EXPECT_FLOAT_EQ(c._volume, 0.05f);
    SystemVolume::shared().setHasVolumeControl(false);
    c.updateLaunchVol();
    EXPECT_FLOAT_EQ(c._volume, -1.0f);
    settle();
}

TEST_F(ShutterTest, VolumeNotificationFiresOnlyForAnExplicitChangeAwayFromTheReference) {
    launch("legacy-phone");
    failEveryCapture();
    auto& c = camera();
    c._volume = 0.5f;
    postVolume(0.5);
    EXPECT_FALSE(c._process.load()) << "equal to the reference";
    postVolume(0.6, "RouteChange");
    postVolume(0.6, "");
    EXPECT_FALSE(c._process.load()) << "not an explicit change";
    settle();
    EXPECT_EQ(captures(), 0);
    postVolume(0.6);
    settle();
    EXPECT_EQ(captures(), 1);
    EXPECT_FLOAT_EQ(c._volume, 0.5f) << "the reference stays";
}

TEST_F(ShutterTest, InTheBackgroundAVolumeChangeOnlyMovesTheReference) {
    launch("legacy-phone");
    failEveryCapture();
    auto& c = camera();
    c.storeCurrentState(1);
    postVolume(0.3);
    EXPECT_FLOAT_EQ(c._volume, 0.3f);
    postVolume(1.0);
    EXPECT_FLOAT_EQ(c._volume, 0.95f);
    postVolume(0.0);
    EXPECT_FLOAT_EQ(c._volume, 0.05f);
    settle();
    EXPECT_EQ(captures(), 0);
    c.storeCurrentState(0);
}

TEST_F(ShutterTest, OnAnOlderSystemTheVolumeKeyShootsThroughTheSystemVolume) {
    launch("legacy-phone");
    failEveryCapture();
    auto& c = camera();
    scriptKey("volume-up");
    settle();
    EXPECT_EQ(captures(), 1);
    EXPECT_FLOAT_EQ(SystemVolume::shared().volume(), 0.5f + SystemVolume::kStep);
    // Back down to the reference: no capture; down once more: a capture.
    scriptKey("volume-down");
    settle();
    EXPECT_EQ(captures(), 1);
    scriptKey("volume-down");
    settle();
    EXPECT_EQ(captures(), 2);
    // After a return to the foreground the older announcement is observed as well; one press
    // still takes one picture.
    c.goBackground();
    c.goForeground();
    advance(0.3);
    scriptKey("volume-down");
    settle();
    EXPECT_EQ(captures(), 3);
}

TEST_F(ShutterTest, OnANewerSystemTheKeysShootThroughCaptureEvents) {
    launch("phone");
    failEveryCapture();
    auto& c = camera();
    ASSERT_TRUE(c._captureInteraction);
    EXPECT_FALSE(c._volumeView);
    EXPECT_TRUE(log_.contains("17.2"));
    for (const char* key : {"volume-up", "volume-down", "capture"}) {
        scriptKey(key);
        settle();
    }
    EXPECT_EQ(captures(), 3);
    // The interaction took every press: the volume never moved.
    EXPECT_FLOAT_EQ(SystemVolume::shared().volume(), SystemVolume::kInitialVolume);
    // The window's key path is the same function.
    EXPECT_TRUE(pressHardwareKey(HardwareKey::VolumeUp, true));
    EXPECT_TRUE(c._process.load());
    pressHardwareKey(HardwareKey::VolumeUp, false);
    settle();
    EXPECT_EQ(captures(), 4);
}

}  // namespace
}  // namespace hx::app

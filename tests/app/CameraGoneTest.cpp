// The camera screen when its camera goes away and comes back, through the whole application on
// the simulated camera: the panel over the preview, the disabled shutter, the photo browser that
// keeps working, a photo taken just before the camera left, and the camera's return.

#include "app/browse/hxThumbViewController.h"
#include "platform/capture/CameraBackend.h"
#include "platform/capture/simulated/SimulatedCamera.h"
#include "platform/device/DeviceProfile.h"
#include "platform/log/CaptureScope.h"
#include "platform/photos/Photos.h"
#include "platform/photos/store/LibraryStore.h"
#include "platform/ui/navigation/UIBarButtonItem.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "tests/app/CameraAppTestSupport.h"

namespace hx::app {
namespace {

using capture::SimulatedCamera;

class CameraGoneTest : public testing::CameraAppTest {
  protected:
    void SetUp() override {
        CameraAppTest::SetUp();
        // The library of this test's home, not of an earlier test's.
        photos::PhotoLibrary::setSharedPhotoLibrary(nullptr);
        SimulatedCamera::reset();
    }
    void TearDown() override {
        CameraAppTest::TearDown();
        photos::PhotoLibrary::setSharedPhotoLibrary(nullptr);
        SimulatedCamera::reset();
        capture::CameraBackend::reset();
        DeviceProfile::resetCurrent();
    }

    bool waitFor(const std::function<bool()>& done, double seconds = 30) {
        return RunLoop::main().runUntil(done, seconds);
    }
    // Until nothing is rendered or saved and the browser's list has caught up.
    bool waitIdle(size_t photos) {
        return waitFor(
            [&] {
                return !camera().isBusy() &&
                       camera()._thumbViewConvtoller->pvphotos.size() == photos;
            },
            60);
    }
    size_t storedPhotos() {
        return photos::PhotoLibrary::sharedPhotoLibrary()->store()->assets().size();
    }
    void unplug(bool unplugged) {
        SimulatedCamera::setUnplugged(unplugged);
        ASSERT_TRUE(waitFor([&] { return camera().isCameraGone() == unplugged; }));
        advance(0.1);
    }

    log::CaptureScope log_;
};

TEST_F(CameraGoneTest, AGoneCameraCoversThePreviewAndDisablesTheShutterOnly) {
    launch();
    auto& c = camera();
    EXPECT_FALSE(c.isCameraGone());
    EXPECT_FALSE(c.viewForField("_cameraGoneView"));
    EXPECT_TRUE(c._shutterButton->isEnabled());

    unplug(true);
    auto panel = c.viewForField("_cameraGoneView");
    ASSERT_TRUE(panel);
    EXPECT_FALSE(panel->isHidden());
    EXPECT_EQ(panel->superview(), c.view());
    // It covers the preview, under the controls.
    EXPECT_EQ(panel->frame(), c.metalView->frame());
    const auto& siblings = c.view()->subviews();
    auto indexOf = [&](const std::shared_ptr<UIView>& view) {
        return std::find(siblings.begin(), siblings.end(), view) - siblings.begin();
    };
    EXPECT_LT(indexOf(c.metalView), indexOf(panel));
    EXPECT_LT(indexOf(panel), indexOf(c._overlayView));
    EXPECT_FALSE(c._shutterButton->isEnabled());
    EXPECT_LT(c._shutterButton->alpha(), 1);
    EXPECT_TRUE(c._afImage->isHidden());
    EXPECT_TRUE(c._changeCameraButton->isEnabled());
    EXPECT_TRUE(log_.contains("the camera went away"));

    // Neither the button nor a key takes a photo.
    c.shutter(nullptr);
    EXPECT_FALSE(c._process.load());
    EXPECT_TRUE(log_.contains("shutter ignored"));
}

TEST_F(CameraGoneTest, TheBrowserStillOpensAndClosesWhileTheCameraIsGone) {
    launch();
    auto& c = camera();
    c.shutter(nullptr);
    ASSERT_TRUE(waitIdle(1));
    advance(0.1);
    unplug(true);

    ASSERT_TRUE(c._pvButton->isEnabled());
    press("_pvButton");
    advance(0.6);
    ASSERT_TRUE(c.presentedViewController());
    EXPECT_EQ(c._thumbViewConvtoller->pvphotos.size(), 1u);
    // Closing the browser restarts the session, which stays interrupted: still gone.
    auto done = c._thumbViewConvtoller->_doneButton->view();
    ASSERT_TRUE(done);
    CGRect frame = done->convertRectToView(done->bounds(), nullptr);
    host().tap({frame.midX(), frame.midY()});
    advance(0.6);
    EXPECT_FALSE(c.presentedViewController());
    EXPECT_TRUE(c.session()->isRunning());
    EXPECT_TRUE(c.session()->isInterrupted());
    EXPECT_TRUE(c.isCameraGone());
    EXPECT_FALSE(c._shutterButton->isEnabled());
}

TEST_F(CameraGoneTest, ACameraThatComesBackIsOfferedAgainAndTakesPhotos) {
    launch();
    auto& c = camera();
    const auto device = c._device;
    unplug(true);
    const uint64_t atLeaving = c.previewFramesDrawn();
    advance(0.5);
    // Nothing new to show while it is gone (a frame already on its way may still land).
    EXPECT_LE(c.previewFramesDrawn(), atLeaving + 1);
    const uint64_t drawnWhileGone = c.previewFramesDrawn();
    unplug(false);
    EXPECT_TRUE(c.viewForField("_cameraGoneView")->isHidden());
    EXPECT_TRUE(c._shutterButton->isEnabled());
    EXPECT_EQ(c._shutterButton->alpha(), 1);
    EXPECT_FALSE(c._afImage->isHidden());
    EXPECT_EQ(c._device, device);
    EXPECT_FALSE(c.session()->isInterrupted());
    // The preview moves again.
    advance(1);
    EXPECT_GT(c.previewFramesDrawn(), drawnWhileGone + 10);
    c.shutter(nullptr);
    ASSERT_TRUE(c._process.load());
    ASSERT_TRUE(waitIdle(1));
    EXPECT_EQ(storedPhotos(), 1u);
    EXPECT_FALSE(log_.contains("capture failed"));
}

TEST_F(CameraGoneTest, AScreenStartedWithoutACameraTakesUpTheFirstOneConnected) {
    SimulatedCamera::setUnplugged(true);
    launch();
    auto& c = camera();
    EXPECT_FALSE(c._device);
    // It says so over the preview, and the shutter waits.
    EXPECT_TRUE(c.isCameraGone());
    EXPECT_FALSE(c._shutterButton->isEnabled());
    auto panel = c.viewForField("_cameraGoneView");
    ASSERT_TRUE(panel);
    EXPECT_FALSE(panel->isHidden());
    ASSERT_TRUE(c._cameraGoneLabel);
    EXPECT_EQ(c._cameraGoneLabel->text(), "No camera is connected.\nConnect one to take photos.");

    unplug(false);
    ASSERT_TRUE(c._device);
    EXPECT_TRUE(panel->isHidden());
    EXPECT_TRUE(c._shutterButton->isEnabled());
    EXPECT_TRUE(log_.contains("is connected and taken up"));
    advance(1);
    EXPECT_GT(c.previewFramesDrawn(), 10u);
    c.shutter(nullptr);
    ASSERT_TRUE(c._process.load());
    ASSERT_TRUE(waitIdle(1));
    EXPECT_EQ(storedPhotos(), 1u);

    // Going away later says what a camera that left says.
    unplug(true);
    EXPECT_EQ(c._cameraGoneLabel->text(),
              "The camera is not connected.\nConnect it again to take photos.");
}

TEST_F(CameraGoneTest, ACameraThatArrivesUnannouncedIsFoundByLookingAgain) {
    SimulatedCamera::setHidesDevices(true);
    launch();
    auto& c = camera();
    ASSERT_FALSE(c._device);
    ASSERT_TRUE(c.isCameraGone());
    // The cameras show up without a word, as a V4L2 node does.
    SimulatedCamera::setHidesDevices(false);
    advance(0.5);
    EXPECT_TRUE(c.isCameraGone());
    advance(2);
    ASSERT_TRUE(waitFor([&] { return !c.isCameraGone(); }, 5));
    ASSERT_TRUE(c._device);
    EXPECT_TRUE(c._shutterButton->isEnabled());
    EXPECT_TRUE(log_.contains("is connected and taken up"));
}

TEST_F(CameraGoneTest, APhotoTakenAsTheCameraLeavesIsSavedAndALateOneReleasesTheShutter) {
    launch();
    auto& c = camera();
    c.shutter(nullptr);
    ASSERT_TRUE(c._process.load());
    // The still was taken at the press; the camera leaves before it is processed.
    SimulatedCamera::setUnplugged(true);
    ASSERT_TRUE(waitIdle(1));
    EXPECT_EQ(storedPhotos(), 1u);
    ASSERT_TRUE(waitFor([&] { return c.isCameraGone(); }));
    EXPECT_FALSE(log_.contains("capture failed"));

    // A press that reaches the camera after it left (before the screen heard of it) ends in an
    // error that frees the shutter instead of leaving it busy.
    unplug(false);
    SimulatedCamera::setUnplugged(true);
    c.shutter(nullptr);
    ASSERT_TRUE(c._process.load());
    EXPECT_TRUE(waitFor([&] { return !c._process.load(); }));
    EXPECT_TRUE(log_.contains("capture failed: The camera is not connected."));
    advance(0.1);
    EXPECT_TRUE(c._hud->isHidden());
    EXPECT_TRUE(c.isCameraGone());
    EXPECT_EQ(storedPhotos(), 1u);
}

}  // namespace
}  // namespace hx::app

// The camera screen's lifecycle and its settings store, driven through the application as the
// program runs it: first launch, the settings panel and its toggles, the version check, the
// store shared with another program, background and foreground, quick actions and the
// permission alerts.

#include <filesystem>
#include <fstream>

#include "app/camera/CameraSettingsKeys.h"
#include "platform/capture/CaptureAuthorization.h"
#include "platform/ui/alerts/UIAlertController.h"
#include "tests/app/CameraAppTestSupport.h"

namespace hx::app {
namespace {

using testing::CameraAppTest;

class CameraLifecycleTest : public CameraAppTest {};

TEST_F(CameraLifecycleTest, FirstLaunchTakesTheRegisteredDefaults) {
    launch();
    auto& c = camera();
    EXPECT_EQ(c._currentFrame, 1);
    EXPECT_EQ(c._currentFilm, 0);
    EXPECT_EQ(c._currentFlash, 0);
    EXPECT_EQ(c._currentEV, 0.0f);
    EXPECT_EQ(c._currentLens, 1);
    EXPECT_EQ(c._shutterType, 0);
    EXPECT_FLOAT_EQ(c._autoreviewTime, 0.5f);
    EXPECT_TRUE(c._savetoalbum);
    EXPECT_FALSE(c._geoTag || c._tiff || c._heic || c._grid);
    EXPECT_FALSE(c._firstPass);
    EXPECT_TRUE(c._privCamera);
    EXPECT_TRUE(c._privPhoto);
    // The screen appeared: the session runs and the preview draws the camera's frames.
    ASSERT_TRUE(c.session());
    EXPECT_TRUE(c.session()->isRunning());
    advance(1);
    EXPECT_GT(c.previewFramesDrawn(), 10u);
}

TEST_F(CameraLifecycleTest, ReviewTimesFollowThePreferenceAndOutOfRangeMeansNone) {
    auto other = otherProgramStore();
    for (auto [choice, seconds] : {std::pair{0, 0.0f}, {1, 0.3f}, {7, 10.0f}, {8, 0.0f}}) {
        other->setInteger(choice, kAutoreviewPreference);
        other->synchronize();
        if (!delegate_)
            launch();
        else
            camera().loadSettings();
        EXPECT_FLOAT_EQ(camera()._autoreviewTime, seconds) << "choice " << choice;
    }
}

TEST_F(CameraLifecycleTest, ANewBuildWritesTheSettingsOnceWithItsVersion) {
    auto other = otherProgramStore();
    other->setObject(std::string("0.0-old"), KEY_VERSION);
    other->synchronize();
    launch();
    auto reader = otherProgramStore();
    EXPECT_EQ(reader->stringForKey(KEY_VERSION), HALIDEX_BUNDLE_VERSION);
    EXPECT_EQ(camera()._savedVersion, HALIDEX_BUNDLE_VERSION);
    // Nothing the user chose was written on the way: the store holds only the version.
    EXPECT_FALSE(reader->objectExists(KEY_FILMTYPE));
}

TEST_F(CameraLifecycleTest, TiffAndHeicAreNeverOnTogether) {
    launch();
    auto& c = camera();
    press("_settingButton");
    advance(0.5);
    press("_tiffButton");
    EXPECT_TRUE(c._tiff);
    EXPECT_FALSE(c._heic);
    press("_heicButton");
    EXPECT_TRUE(c._heic);
    EXPECT_FALSE(c._tiff);
    EXPECT_TRUE(c._heicButton->isSelected());
    EXPECT_FALSE(c._tiffButton->isSelected());
    press("_heicButton");
    EXPECT_FALSE(c._heic || c._tiff);
    auto reader = otherProgramStore();
    EXPECT_FALSE(reader->boolForKey(KEY_HEIC));
    EXPECT_FALSE(reader->boolForKey(KEY_TIFF));
    press("_tiffButton");
    EXPECT_TRUE(otherProgramStore()->boolForKey(KEY_TIFF));
}

TEST_F(CameraLifecycleTest, TheSettingsPanelOpensOnceAndShowsTheCurrentValues) {
    launch();
    auto& c = camera();
    // Changed behind the panel's back (as a location failure does).
    c._grid = true;
    c._geoTag = false;
    press("_settingButton");
    advance(0.5);
    ASSERT_FALSE(c._settingView->isHidden());
    EXPECT_DOUBLE_EQ(c._settingView->alpha(), 1.0);
    EXPECT_TRUE(c._gridButton->isSelected());
    EXPECT_FALSE(c._geoTagButton->isSelected());
    auto window = delegate_->window();
    auto countPanels = [&] {
        int n = 0;
        for (const auto& v : window->subviews()) n += v == c._settingView;
        return n;
    };
    c.settingAction(nullptr);
    EXPECT_EQ(countPanels(), 1);

    c.closeSetting(nullptr);
    advance(0.5);
    EXPECT_TRUE(c._settingView->isHidden());
    EXPECT_EQ(countPanels(), 0);
    c.closeSetting(nullptr);  // closing a hidden panel does nothing
    advance(0.5);
    EXPECT_EQ(countPanels(), 0);
}

TEST_F(CameraLifecycleTest, TheGridToggleReachesTheOverlayAndTheStore) {
    launch();
    auto& c = camera();
    press("_settingButton");
    advance(0.5);
    press("_gridButton");
    EXPECT_TRUE(c._grid);
    EXPECT_EQ(c._overlayView->Grid(), 1);
    EXPECT_TRUE(otherProgramStore()->boolForKey(KEY_GRID));
    press("_gridButton");
    EXPECT_EQ(c._overlayView->Grid(), 0);
}

TEST_F(CameraLifecycleTest, ASaveKeepsWhatAnotherProgramChangedMeanwhile) {
    launch();
    auto& c = camera();
    auto other = otherProgramStore();
    other->setInteger(7, KEY_FILMTYPE);
    other->synchronize();
    c._grid = true;
    c.saveSettings();
    auto reader = otherProgramStore();
    EXPECT_EQ(reader->integerForKey(KEY_FILMTYPE), 7);
    EXPECT_TRUE(reader->boolForKey(KEY_GRID));
}

TEST_F(CameraLifecycleTest, ReturningFromTheBackgroundRereadsTheShutterPreference) {
    launch();
    auto& c = camera();
    EXPECT_EQ(c._shutterType, 0);
    UIApplication::sharedApplication().enterBackground();
    EXPECT_TRUE(c._inBack);
    EXPECT_FALSE(c._drawGL);
    auto other = otherProgramStore();
    other->setInteger(2, kShutterPreference);
    other->synchronize();
    UIApplication::sharedApplication().enterForeground();
    UIApplication::sharedApplication().becomeActive();
    EXPECT_FALSE(c._inBack);
    EXPECT_TRUE(c._drawGL);
    EXPECT_EQ(c._shutterType, 2);
}

TEST_F(CameraLifecycleTest, QuickActionsSwitchOnlyWhenTheOtherCameraIsAsked) {
    launch();
    auto& c = camera();
    ASSERT_EQ(c._currentCameraPosition, kPositionBack);
    auto& application = UIApplication::sharedApplication();
    application.performActionForShortcutItem({takePhotoShortcutType(), ""});
    advance(0.2);
    EXPECT_EQ(c._currentCameraPosition, kPositionBack);
    application.performActionForShortcutItem({takeSelfieShortcutType(), ""});
    advance(0.2);
    EXPECT_EQ(c._currentCameraPosition, kPositionFront);
    application.performActionForShortcutItem({takeSelfieShortcutType(), ""});
    advance(0.2);
    EXPECT_EQ(c._currentCameraPosition, kPositionFront);
    application.performActionForShortcutItem({"org.example.other", ""});
    application.performActionForShortcutItem({takePhotoShortcutType(), ""});
    advance(0.2);
    EXPECT_EQ(c._currentCameraPosition, kPositionBack);
}

TEST_F(CameraLifecycleTest, AQuickActionOnADeviceWithoutCamerasDoesNothingHarmful) {
    auto profile = DeviceProfile::parse("base = phone\ncameras = none\n", "no-camera");
    ASSERT_TRUE(profile);
    DeviceProfile::setCurrent(*profile);
    delegate_ = std::make_shared<hxAppDelegate>();
    UIApplication::sharedApplication().setDelegate(delegate_);
    UIApplication::sharedApplication().finishLaunching();
    host_ = std::make_unique<HeadlessHost>(delegate_->window());
    advance(0.5);
    EXPECT_FALSE(camera()._device);
    UIApplication::sharedApplication().performActionForShortcutItem({takeSelfieShortcutType(), ""});
    UIApplication::sharedApplication().performActionForShortcutItem({takePhotoShortcutType(), ""});
    advance(0.5);
    EXPECT_FALSE(camera()._device);
}

TEST_F(CameraLifecycleTest, ADeniedCameraShowsItsAlertAndIsSetUpOnceWhenAllowedLater) {
    environment_.set("HALIDEX_CAMERA_AUTH", "denied");
    launch();
    auto& c = camera();
    EXPECT_FALSE(c._privCamera);
    EXPECT_TRUE(c._firstPass);
    EXPECT_FALSE(c._session && c._device);
    auto alert = std::dynamic_pointer_cast<UIAlertController>(c.presentedViewController());
    ASSERT_TRUE(alert);
    ASSERT_EQ(alert->actions().size(), 2u);
    alert->dismissViewControllerAnimated(false);
    advance(0.5);

    environment_.set("HALIDEX_CAMERA_AUTH", "authorized");
    UIApplication::sharedApplication().enterBackground();
    UIApplication::sharedApplication().enterForeground();
    UIApplication::sharedApplication().becomeActive();
    advance(0.5);
    EXPECT_FALSE(c._firstPass);
    ASSERT_TRUE(c._device);
    auto device = c._device;
    UIApplication::sharedApplication().enterBackground();
    UIApplication::sharedApplication().enterForeground();
    UIApplication::sharedApplication().becomeActive();
    advance(0.5);
    EXPECT_EQ(c._device, device) << "the camera is set up only once";
}

TEST_F(CameraLifecycleTest, ADeniedLibraryShowsItsAlertOnEveryActivation) {
    environment_.set("HALIDEX_PHOTOS_AUTH", "denied");
    launch();
    auto& c = camera();
    EXPECT_FALSE(c._privPhoto);
    auto alert = std::dynamic_pointer_cast<UIAlertController>(c.presentedViewController());
    ASSERT_TRUE(alert);
    alert->dismissViewControllerAnimated(false);
    advance(0.5);
    UIApplication::sharedApplication().enterBackground();
    UIApplication::sharedApplication().enterForeground();
    UIApplication::sharedApplication().becomeActive();
    advance(0.5);
    EXPECT_TRUE(std::dynamic_pointer_cast<UIAlertController>(c.presentedViewController()));
}

TEST_F(CameraLifecycleTest, StartUpEmptiesOnlyTheCameraTemporaryFolder) {
    namespace fs = std::filesystem;
    fs::path cameraTemporary = home_.path() / "cache" / "camera-tmp";
    fs::path shared = home_.path() / "tmp";
    fs::create_directories(cameraTemporary / "left");
    fs::create_directories(shared);
    std::ofstream(cameraTemporary / "old.jpg") << "x";
    std::ofstream(shared / "photo-edit.jpg") << "x";
    launch();
    EXPECT_TRUE(fs::is_empty(cameraTemporary));
    EXPECT_TRUE(fs::exists(shared / "photo-edit.jpg"));
}

TEST_F(CameraLifecycleTest, ADamagedSettingsFileStartsWithTheDefaults) {
    namespace fs = std::filesystem;
    const std::string file = UserDefaults(UserDefaults::standardName()).filePath();
    fs::create_directories(fs::path(file).parent_path());
    std::ofstream(file) << "\x01\x02 not a defaults file\nKEY_FILMTYPE = = =\n";
    UserDefaults::resetStandardUserDefaults();
    launch();
    EXPECT_EQ(camera()._currentFilm, 0);
    EXPECT_EQ(camera()._currentFrame, 1);
}

}  // namespace
}  // namespace hx::app

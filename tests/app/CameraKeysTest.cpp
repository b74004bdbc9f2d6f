// The camera's keyboard and the script commands that stand for its controls (film, ev, zoom),
// run by the script runner against the whole application on the simulated camera. Each must
// change what the touch control changes: the screen's state, the capture device and the stored
// setting, read back through a second store of the camera's file.

#include <memory>
#include <string>

#include "app/CameraScriptTarget.h"
#include "app/camera/CameraSettingsKeys.h"
#include "app/shell/ScriptRunner.h"
#include "platform/ui/controllers/UIViewController.h"
#include "tests/app/CameraAppTestSupport.h"

namespace hx::app {
namespace {

using testing::CameraAppTest;

class CameraKeysTest : public CameraAppTest {
  protected:
    ScriptOutcome run(const std::string& text) {
        std::string error;
        auto script = CameraScript::parse(text, &error);
        EXPECT_TRUE(script) << error;
        if (!script) return {};
        ScriptOutcome outcome;
        auto runner = ScriptRunner::make(*script, delegate_->window(),
                                         std::make_shared<CameraScriptTarget>(delegate_),
                                         ScriptClock::Manual);
        runner->start([&](const ScriptOutcome& result) { outcome = result; });
        return outcome;
    }
    int stored(const char* key) { return int(otherProgramStore()->integerForKey(key)); }
};

TEST_F(CameraKeysTest, KeysChangeFilmExposureGridFlashAndZoomAndSaveThem) {
    launch();
    ASSERT_TRUE(camera()._hasFlash);
    ASSERT_FALSE(camera()._grid);
    auto outcome = run("key 3\nkey ]\nkey ]\nkey g\nkey f\nkey +\nkey +\n");
    EXPECT_EQ(outcome.exitStatus, 0) << outcome.message;

    EXPECT_EQ(camera()._currentFilm, 3);
    EXPECT_EQ(camera().filmRenderer()._currentFilm, 3);
    EXPECT_EQ(stored(KEY_FILMTYPE), 3);

    EXPECT_NEAR(camera()._currentEV, 2.0 / 3, 1e-4);
    EXPECT_FLOAT_EQ(camera()._evSlider->value(), 2);
    EXPECT_EQ(camera()._evButton->titleForState(UIControlStateNormal), "+0.7");
    EXPECT_NEAR(camera()._device->exposureTargetBias(), 2.0 / 3, 1e-4);
    EXPECT_NEAR(otherProgramStore()->floatForKey(KEY_EV), 2.0 / 3, 1e-4);

    EXPECT_TRUE(camera()._grid);
    EXPECT_TRUE(otherProgramStore()->boolForKey(KEY_GRID));

    EXPECT_EQ(camera()._currentFlash, 1);
    EXPECT_EQ(stored(KEY_FLASH), 1);
    EXPECT_FLOAT_EQ(camera()._flashSlider->value(), 1);

    EXPECT_NEAR(camera()._device->videoZoomFactor(), 1.5625, 1e-4);
    EXPECT_EQ(camera()._focalLabel->text(), "x1.6");

    // Round again: the flash cycles back to off, the grid goes, minus zooms out to no zoom.
    run("key f\nkey f\nkey g\nkey -\nkey -\nkey -\nkey [\nkey [\nkey [\n");
    EXPECT_EQ(camera()._currentFlash, 0);
    EXPECT_EQ(stored(KEY_FLASH), 0);
    EXPECT_FALSE(camera()._grid);
    EXPECT_DOUBLE_EQ(camera()._device->videoZoomFactor(), 1);
    EXPECT_NEAR(camera()._currentEV, -1.0 / 3, 1e-4);
}

TEST_F(CameraKeysTest, ScriptCommandsSetFilmExposureAndZoomWithinTheCamerasRange) {
    launch();
    auto outcome = run("film 12\nev -4\nzoom 2\n");
    EXPECT_EQ(outcome.exitStatus, 0) << outcome.message;
    EXPECT_EQ(camera()._currentFilm, 12);
    EXPECT_EQ(stored(KEY_FILMTYPE), 12);
    EXPECT_NEAR(camera()._device->exposureTargetBias(), -4.0 / 3, 1e-4);
    EXPECT_DOUBLE_EQ(camera()._device->videoZoomFactor(), 2);

    // Past the camera's most: clamped as a pinch is. The next pinch starts from there.
    run("zoom 1000\nev 9\n");
    const double most = camera()._device->maxAvailableVideoZoomFactor();
    EXPECT_DOUBLE_EQ(camera()._device->videoZoomFactor(),
                     std::min<double>(most, camera()._maxZoom));
    EXPECT_FLOAT_EQ(camera()._prevZoom, camera()._currentZoom);
    EXPECT_LE(camera()._device->exposureTargetBias(), camera()._device->maxExposureTargetBias());
    EXPECT_FLOAT_EQ(camera()._evSlider->value(), camera()._evSlider->maximumValue());
}

TEST_F(CameraKeysTest, AFilmThePickerDoesNotOfferStopsTheScript) {
    launch();
    camera()._onlyBW = true;
    camera()._filmCollectionView->reloadData();
    auto outcome = run("film 8\nfilm 9\nkey 5\n");
    EXPECT_EQ(outcome.exitStatus, 2);
    EXPECT_TRUE(outcome.endProgram);
    EXPECT_EQ(outcome.message,
              "script line 2: film: film 9 is not offered: the picker has 9 films");
    EXPECT_EQ(camera()._currentFilm, 8);
    EXPECT_EQ(stored(KEY_FILMTYPE), 8);
}

TEST_F(CameraKeysTest, LensKeyCyclesTheBackLensesAndRebuildsTheSession) {
    launch("phone");
    ASSERT_EQ(camera()._lensSet, 1);
    ASSERT_EQ(camera()._currentLens, kLensWide);
    auto wide = camera()._device;
    run("key l\n");
    EXPECT_EQ(camera()._currentLens, kLensTele);
    EXPECT_EQ(stored(KEY_LENS), kLensTele);
    EXPECT_NE(camera()._device, wide);
    EXPECT_EQ(camera()._lensSelect->selectedPreset(), kLensTele);
    run("key l\n");
    EXPECT_EQ(camera()._currentLens, kLensMulti);
    run("key l\n");
    EXPECT_EQ(camera()._currentLens, kLensUltraWide);

    // The front camera has one lens: the key does nothing.
    camera().switchCameraTapped(nullptr);
    advance(0.5);
    auto front = camera()._device;
    run("key l\n");
    EXPECT_EQ(camera()._device, front);
    EXPECT_EQ(camera()._currentLens, kLensUltraWide);
}

TEST_F(CameraKeysTest, KeysDoNothingOnACameraWithoutThatControlOrUnderAnotherScreen) {
    launch("small-phone");
    ASSERT_EQ(camera()._lensSet, 0);
    auto device = camera()._device;
    EXPECT_FALSE(camera().keyCommand('l'));
    EXPECT_EQ(camera()._device, device);
    if (!camera()._hasFlash) {
        EXPECT_FALSE(camera().keyCommand('f'));
        EXPECT_EQ(camera()._currentFlash, 0);
    }
    EXPECT_FALSE(camera().keyCommand('x'));

    // With the photo viewer open the keys belong to it, not to the camera behind.
    camera().pvAction(nullptr);
    advance(0.5);
    ASSERT_TRUE(camera().presentedViewController());
    EXPECT_FALSE(camera().keyCommand('4'));
    EXPECT_NE(camera()._currentFilm, 4);
}

}  // namespace
}  // namespace hx::app

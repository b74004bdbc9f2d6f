// The camera screen's controls, pressed and dragged where they stand on the screen, in the whole
// application on the simulated camera: the film picker, the EV button and slider, the format and
// flash sliders, the help picture and its support mail, and the photo-viewer button. Stored
// settings are read back through a second store of the camera's file.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/browse/hxThumbViewController.h"
#include "app/camera/CameraSettingsKeys.h"
#include "app/camera/hxFilmCollectionCell.h"
#include "platform/device/UIDevice.h"
#include "platform/motion/simulated/SimulatedAccelerometer.h"
#include "platform/ui/controls/UILabel.h"
#include "platform/ui/drawing/UIImage.h"
#include "platform/ui/navigation/UINavigationBar.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/sharing/Desktop.h"
#include "platform/ui/sharing/NSURL.h"
#include "tests/app/CameraAppTestSupport.h"

namespace hx::app {
namespace {

using testing::CameraAppTest;

// The machine's mail client stands in as a desktop that keeps the URLs it is asked to open.
class RecordingDesktop : public ui::Desktop {
  public:
    bool openURL(const NSURL& url) override {
        opened.push_back(url.absoluteString());
        return true;
    }
    bool openApplicationSettings() override { return true; }
    bool showInFileManager(const std::string&) override { return true; }
    bool copyFileToClipboard(const std::string&) override { return true; }
    bool annotateFile(const std::string&, const std::map<std::string, std::string>&) override {
        return true;
    }
    std::vector<std::string> opened;
};

class ControlsTest : public CameraAppTest {
  protected:
    void TearDown() override {
        ui::Desktop::setCurrent(nullptr);
        CameraAppTest::TearDown();
    }

    CGPoint onScreen(const UIView& view, CGPoint point) {
        return view.convertPointToView(point, nullptr);
    }
    CGPoint centre(const UIView& view) {
        CGRect frame = view.convertRectToView(view.bounds(), nullptr);
        return {frame.midX(), frame.midY()};
    }
    // Drags the slider's thumb from where it stands to where the value would put it.
    void dragSlider(UISlider& slider, float value) {
        const CGRect bounds = slider.bounds();
        const CGRect track = slider.trackRectForBounds(bounds);
        const CGRect from = slider.thumbRectForBounds(bounds, track, slider.value());
        const CGRect to = slider.thumbRectForBounds(bounds, track, value);
        host().drag(onScreen(slider, {from.midX(), from.midY()}),
                    onScreen(slider, {to.midX(), to.midY()}));
        advance(0.1);
    }
    std::shared_ptr<hxFilmCollectionCell> filmCell(int row) {
        return std::dynamic_pointer_cast<hxFilmCollectionCell>(
            camera()._filmCollectionView->cellForItemAtIndexPath(
                NSIndexPath::indexPathForItem(row, 0)));
    }
    UIImageRef maskOf(int row) {
        auto cell = filmCell(row);
        if (!cell) return nullptr;
        auto mask = cell->maskImage.lock();
        return mask ? mask->image() : nullptr;
    }
    int64_t stored(const char* key) { return otherProgramStore()->integerForKey(key); }
};

TEST_F(ControlsTest, FilmPickerReappliesTheCurrentFilmAndSelectsAnother) {
    launch();
    auto& picker = *camera()._filmCollectionView;
    ASSERT_TRUE(picker.isHidden());
    // A current film the store does not hold yet: opening the picker applies and saves it.
    camera()._currentFilm = 4;
    press("_filmButton");
    advance(0.3);
    EXPECT_FALSE(picker.isHidden());
    EXPECT_DOUBLE_EQ(picker.alpha(), 1.0);
    EXPECT_EQ(picker.numberOfItemsInSection(0), 13);
    ASSERT_EQ(picker.indexPathsForSelectedItems().size(), 1u);
    EXPECT_EQ(picker.indexPathsForSelectedItems()[0].row(), 4);
    EXPECT_EQ(stored(KEY_FILMTYPE), 4);
    EXPECT_EQ(maskOf(4), UIImage::imageNamed("maskimage_s"));
    EXPECT_EQ(maskOf(1), UIImage::imageNamed("maskimage"));
    auto cell = filmCell(2);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->filmImage.lock()->image(), UIImage::imageNamed("film_s2"));
    EXPECT_EQ(cell->titleImage.lock()->image(), UIImage::imageNamed("film_title_2"));

    host().tap(centre(*cell));
    advance(0.1);
    EXPECT_EQ(camera()._currentFilm, 2);
    EXPECT_EQ(camera().filmRenderer()._currentFilm, 2);
    EXPECT_EQ(stored(KEY_FILMTYPE), 2);
    EXPECT_EQ(camera()._filmButton->imageForState(UIControlStateNormal),
              UIImage::imageNamed("film_2"));
    EXPECT_EQ(maskOf(2), UIImage::imageNamed("maskimage_s"));
    EXPECT_EQ(maskOf(4), UIImage::imageNamed("maskimage"));

    // The film button closes it again, even pressed right after the cell: the screen's double
    // tap does not take a button's press.
    press("_filmButton");
    advance(0.3);
    EXPECT_TRUE(picker.isHidden());
    EXPECT_DOUBLE_EQ(picker.alpha(), 0.0);
}

TEST_F(ControlsTest, BlackAndWhiteCameraOffersNineFilmsAndKeepsAFilmBeyondThem) {
    launch();
    camera()._onlyBW = true;
    camera()._currentFilm = 11;
    camera()._filmCollectionView->reloadData();
    press("_filmButton");
    advance(0.3);
    auto& picker = *camera()._filmCollectionView;
    EXPECT_EQ(picker.numberOfItemsInSection(0), 9);
    EXPECT_TRUE(picker.indexPathsForSelectedItems().empty());
    EXPECT_EQ(camera()._currentFilm, 11);
}

TEST_F(ControlsTest, EvSliderStepsInThirdsOfAStopAndSaves) {
    launch();
    ASSERT_FALSE(camera()._evButton->isHidden());
    ASSERT_TRUE(camera()._evBase->isHidden());
    press("_evButton");
    EXPECT_FALSE(camera()._evBase->isHidden());

    auto& slider = *camera()._evSlider;
    dragSlider(slider, -2);
    EXPECT_FLOAT_EQ(slider.value(), -2);
    EXPECT_NEAR(camera()._currentEV, -0.6667, 1e-4);
    EXPECT_EQ(camera()._evButton->titleForState(UIControlStateNormal), "-0.7");
    EXPECT_NEAR(otherProgramStore()->floatForKey(KEY_EV), -0.6667, 1e-4);
    ASSERT_TRUE(camera()._device);
    EXPECT_NEAR(camera()._device->exposureTargetBias(), -0.6667, 1e-4);

    dragSlider(slider, 0);
    EXPECT_EQ(camera()._currentEV, 0);
    EXPECT_EQ(camera()._evButton->titleForState(UIControlStateNormal), "±");

    press("_evButton");
    EXPECT_TRUE(camera()._evBase->isHidden());
}

TEST_F(ControlsTest, FormatAndFlashSlidersSnapAndSave) {
    launch();
    ASSERT_EQ(camera()._currentFrame, 1);
    dragSlider(*camera()._formatSlider, 1);
    EXPECT_EQ(camera()._formatSlider->value(), 1);
    EXPECT_EQ(camera()._currentFrame, 2);
    EXPECT_EQ(camera()._overlayView->Aspect(), 2);
    EXPECT_EQ(stored(KEY_FRAMEMODE), 2);

    // A release between positions leaves the flash as it was.
    auto& flash = *camera()._flashSlider;
    camera()._currentFlash = 1;
    flash.setValue(1.4f);
    flash.sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(camera()._currentFlash, 1);
    flash.setValue(2);
    flash.sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(camera()._currentFlash, 2);
    EXPECT_EQ(stored(KEY_FLASH), 2);
}

TEST_F(ControlsTest, HelpOpensClosesAndSendsAWellFormedSupportMail) {
    auto desktop = std::make_shared<RecordingDesktop>();
    ui::Desktop::setCurrent(desktop);
    launch();
    press("_helpButton");
    advance(0.5);
    auto help = camera()._helpImageView;
    ASSERT_TRUE(help);
    EXPECT_FALSE(help->isHidden());
    EXPECT_EQ(help->window(), delegate_->window());
    EXPECT_DOUBLE_EQ(help->alpha(), 1.0);
    // The desktop's keys are listed on it.
    bool listsKeys = false;
    for (const auto& view : help->subviews()) {
        if (auto label = std::dynamic_pointer_cast<UILabel>(view))
            listsKeys = listsKeys || label->text().find("G grid") != std::string::npos;
    }
    EXPECT_TRUE(listsKeys);

    // A tap away from the mail button closes it.
    CGRect frame = help->convertRectToView(help->bounds(), nullptr);
    host().tap({frame.midX(), frame.midY()});
    advance(0.5);
    EXPECT_TRUE(help->isHidden());
    EXPECT_FALSE(help->superview());

    press("_helpButton");
    advance(0.5);
    ASSERT_FALSE(help->isHidden());
    // The mail button opens the mail and leaves the help up.
    host().tap(onScreen(*help, {34, 34}));
    advance(0.5);
    ASSERT_EQ(desktop->opened.size(), 1u);
    const std::string url = desktop->opened[0];
    EXPECT_FALSE(help->isHidden());

    const std::string prefix = "mailto:support@halidex.example?subject=";
    ASSERT_EQ(url.rfind(prefix, 0), 0u) << url;
    const auto amp = url.find('&');
    ASSERT_NE(amp, std::string::npos);
    EXPECT_EQ(url.find('&', amp + 1), std::string::npos) << "one separator only: " << url;
    EXPECT_EQ(stringByRemovingPercentEncoding(url.substr(prefix.size(), amp - prefix.size())),
              "Support Request:Halidex Camera");
    ASSERT_EQ(url.compare(amp, 6, "&body="), 0) << url;
    auto body = stringByRemovingPercentEncoding(url.substr(amp + 6));
    ASSERT_TRUE(body);
    const auto& device = UIDevice::currentDevice();
    EXPECT_NE(body->find("System version: " + device.systemVersion()), std::string::npos);
    EXPECT_NE(body->find("Device: " + device.modelName()), std::string::npos);
}

TEST(MailtoURLTest, EveryCharacterOfSubjectAndBodyComesBackFromItsOwnValue) {
    const std::string subject = "Help & advice = #1?";
    const std::string body = "a&b=c+d #e\n\tline 2 %41 caf\xc3\xa9";
    const std::string url = mailtoURL("me@halidex.example", subject, body);
    ASSERT_TRUE(NSURL::URLWithString(url)) << url;
    const std::string head = "mailto:me@halidex.example?subject=";
    ASSERT_EQ(url.rfind(head, 0), 0u) << url;
    const auto amp = url.find('&');
    ASSERT_NE(amp, std::string::npos);
    EXPECT_EQ(url.find('&', amp + 1), std::string::npos) << url;
    EXPECT_EQ(url.find('#'), std::string::npos) << url;
    EXPECT_EQ(url.find('=', amp + 6), std::string::npos) << url;
    EXPECT_EQ(stringByRemovingPercentEncoding(url.substr(head.size(), amp - head.size())), subject);
    ASSERT_EQ(url.compare(amp, 6, "&body="), 0) << url;
    EXPECT_EQ(stringByRemovingPercentEncoding(url.substr(amp + 6)), body);
}

TEST_F(ControlsTest, ClosingTheRefilterScreenPutsTheCameraPhotoSizeAndFilmBack) {
    launch();
    ASSERT_GT(camera()._photoWidth, 0);
    auto& renderer = camera().filmRenderer();
    camera()._currentFilm = 5;
    camera().changeToneCurve(5);
    const auto cameraFilm = renderer.contrastTable;
    // The re-filter screen renders another size with another film.
    camera().setupOfflineWidth(640, 480);
    camera().changeToneCurve(1);
    ASSERT_NE(renderer.contrastTable, cameraFilm);
    camera().willCloseFilterView(nullptr);
    EXPECT_EQ(renderer._photoWidth, camera()._photoWidth);
    EXPECT_EQ(renderer._photoHeight, camera()._photoHeight);
    EXPECT_EQ(renderer.contrastTable, cameraFilm);
}

TEST_F(ControlsTest, PhotoViewerButtonStopsTheCameraAndDoneStartsItAgain) {
    launch();
    ASSERT_TRUE(camera().session());
    ASSERT_TRUE(camera().session()->isRunning());
    camera()._pvButton->setEnabled(true);
    press("_pvButton");
    advance(0.6);
    auto nav = camera()._nav;
    ASSERT_TRUE(nav);
    EXPECT_EQ(camera().presentedViewController(), nav);
    EXPECT_FALSE(camera()._drawGL);
    EXPECT_FALSE(camera().session()->isRunning());
    EXPECT_EQ(nav->navigationBar()->barStyle(), UIBarStyle::BlackTranslucent);
    EXPECT_TRUE(nav->navigationBar()->isTranslucent());
    auto root = nav->topViewController();
    ASSERT_TRUE(root);
    EXPECT_EQ(root, camera()._thumbViewConvtoller);

    // Done sits at the right end of the bar.
    CGRect bar = nav->navigationBar()->convertRectToView(nav->navigationBar()->bounds(), nullptr);
    host().tap({bar.maxX() - 25, bar.midY()});
    advance(0.6);
    EXPECT_FALSE(camera().presentedViewController());
    EXPECT_FALSE(camera()._nav);
    EXPECT_TRUE(camera()._drawGL);
    EXPECT_TRUE(camera().session()->isRunning());
}

// Every control where it stands on each profile's screen, upright and turned: the turned
// controls move and rotate, so a fault in where a touch lands shows here.
TEST_F(ControlsTest, EveryProfileUprightAndTurnedTakesTouchesOnEachControl) {
    for (const std::string profile : {"phone", "small-phone", "tablet", "legacy-phone"}) {
        for (const bool turned : {false, true}) {
            SCOPED_TRACE(profile + (turned ? " landscape" : " portrait"));
            {
                // Each round starts from a new camera's choices.
                auto store = otherProgramStore();
                for (const char* key : {KEY_FILMTYPE, KEY_FRAMEMODE, KEY_FLASH})
                    store->removeObjectForKey(key);
                store->setFloat(0, KEY_EV);
                ASSERT_TRUE(store->synchronize());
            }
            launch(profile);
            ASSERT_EQ(camera()._currentFrame, 1);
            ASSERT_EQ(camera()._currentFilm, 0);
            if (turned) {
                SimulatedMotion::setAcceleration({-1, 0, 0});
                advance(1);
            }
            press("_filmButton");
            advance(0.3);
            auto cell = filmCell(1);
            ASSERT_TRUE(cell);
            host().tap(centre(*cell));
            advance(0.1);
            EXPECT_EQ(camera()._currentFilm, 1);
            EXPECT_EQ(stored(KEY_FILMTYPE), 1);

            press("_evButton");
            ASSERT_FALSE(camera()._evBase->isHidden());
            dragSlider(*camera()._evSlider, 2);
            EXPECT_NEAR(camera()._device->exposureTargetBias(), 2.0 / 3, 1e-4);

            dragSlider(*camera()._formatSlider, 1);
            EXPECT_EQ(camera()._currentFrame, 2);
            EXPECT_EQ(stored(KEY_FRAMEMODE), 2);

            if (camera()._hasFlash) {
                dragSlider(*camera()._flashSlider, 2);
                EXPECT_EQ(camera()._currentFlash, 2);
                EXPECT_EQ(stored(KEY_FLASH), 2);
            } else {
                EXPECT_FALSE(camera()._flashSlider->isEnabled());
            }

            press("_helpButton");
            advance(0.5);
            ASSERT_TRUE(camera()._helpImageView);
            EXPECT_FALSE(camera()._helpImageView->isHidden());
            host().tap(centre(*camera()._helpImageView));
            advance(0.5);
            EXPECT_TRUE(camera()._helpImageView->isHidden());

            TearDown();
            SetUp();
        }
    }
}

}  // namespace
}  // namespace hx::app

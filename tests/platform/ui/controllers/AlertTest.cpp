// Alerts over the current screen: the order of their buttons, a tap that dismisses and then runs
// the handler, the screen underneath left in place, and the action sheet's backdrop.

#include <gtest/gtest.h>

#include "ControllerTestSupport.h"
#include "platform/ui/alerts/UIAlertController.h"
#include "platform/ui/controls/UIButton.h"

namespace hx::testing {
namespace {

class AlertTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        journal = std::make_shared<std::vector<std::string>>();
        camera = std::make_shared<JournalingController>("camera", journal);
        window->setRootViewController(camera);
        journal->clear();
    }

    std::shared_ptr<UIAlertController> permissionAlert() {
        auto alert = UIAlertController::alertControllerWithTitle(
            "", "Allow the camera in the settings", UIAlertControllerStyle::Alert);
        close = UIAlertAction::actionWithTitle(
            "Close", UIAlertActionStyle::Default, [this](UIAlertAction& action) {
                chosen.push_back(action.title());
                presentedWhenChosen = camera->presentedViewController() != nullptr;
            });
        open = UIAlertAction::actionWithTitle(
            "Open", UIAlertActionStyle::Cancel,
            [this](UIAlertAction& action) { chosen.push_back(action.title()); });
        alert->addAction(close);
        alert->addAction(open);
        return alert;
    }

    std::shared_ptr<std::vector<std::string>> journal;
    std::shared_ptr<JournalingController> camera;
    std::shared_ptr<UIAlertAction> close;
    std::shared_ptr<UIAlertAction> open;
    std::vector<std::string> chosen;
    bool presentedWhenChosen = true;
};

TEST_F(AlertTest, TwoButtonsStandSideBySideWithCancelOnTheLeft) {
    auto alert = permissionAlert();
    camera->presentViewController(alert, false);
    auto cancel = alert->buttonForAction(*open);
    auto other = alert->buttonForAction(*close);
    ASSERT_TRUE(cancel && other);
    EXPECT_EQ(cancel->frame().minY(), other->frame().minY());
    EXPECT_LT(cancel->frame().minX(), other->frame().minX());
    EXPECT_EQ(cancel->currentTitle(), "Open");
    // The box is centred in the window.
    CGRect box = alert->contentView()->frame();
    EXPECT_NEAR(box.midX(), window->bounds().midX(), 0.5);
    EXPECT_NEAR(box.midY(), window->bounds().midY(), 0.5);
}

TEST_F(AlertTest, MoreButtonsStackWithCancelLast) {
    auto alert = UIAlertController::alertControllerWithTitle("Save", "Where to?",
                                                             UIAlertControllerStyle::Alert);
    auto cancel = UIAlertAction::actionWithTitle("Cancel", UIAlertActionStyle::Cancel);
    auto library = UIAlertAction::actionWithTitle("Library", UIAlertActionStyle::Default);
    auto album = UIAlertAction::actionWithTitle("Album", UIAlertActionStyle::Destructive);
    alert->addAction(cancel);
    alert->addAction(library);
    alert->addAction(album);
    alert->loadViewIfNeeded();
    double libraryY = alert->buttonForAction(*library)->frame().minY();
    double albumY = alert->buttonForAction(*album)->frame().minY();
    double cancelY = alert->buttonForAction(*cancel)->frame().minY();
    EXPECT_LT(libraryY, albumY);
    EXPECT_LT(albumY, cancelY);
    EXPECT_EQ(alert->buttonForAction(*library)->frame().width(),
              alert->contentView()->frame().width());
}

TEST_F(AlertTest, ATapDismissesTheAlertThenRunsTheHandler) {
    auto alert = permissionAlert();
    camera->presentViewController(alert, true);
    advance(0.5);
    EXPECT_TRUE(journal->empty()) << "the screen underneath neither disappears nor reappears";
    EXPECT_EQ(camera->view()->window(), window) << "and stays in the window, dimmed";

    tap(*alert->buttonForAction(*close));
    EXPECT_TRUE(chosen.empty()) << "not before the alert has gone";
    tap(*alert->buttonForAction(*open));
    advance(0.5);
    EXPECT_EQ(chosen, std::vector<std::string>{"Close"}) << "one choice only";
    EXPECT_FALSE(presentedWhenChosen);
    EXPECT_FALSE(alert->view()->window());
    EXPECT_TRUE(journal->empty());
}

TEST_F(AlertTest, ADisabledActionCannotBeChosen) {
    auto alert = permissionAlert();
    close->setEnabled(false);
    camera->presentViewController(alert, false);
    tap(*alert->buttonForAction(*close));
    advance(0.5);
    EXPECT_TRUE(chosen.empty());
    EXPECT_EQ(camera->presentedViewController(), alert);
}

TEST_F(AlertTest, TappingBesideAnActionSheetCancelsIt) {
    auto sheet = UIAlertController::alertControllerWithTitle("photo.jpg", "",
                                                             UIAlertControllerStyle::ActionSheet);
    std::vector<std::string> picked;
    sheet->addAction(
        UIAlertAction::actionWithTitle("Copy", UIAlertActionStyle::Default,
                                       [&](UIAlertAction& a) { picked.push_back(a.title()); }));
    sheet->addAction(
        UIAlertAction::actionWithTitle("Cancel", UIAlertActionStyle::Cancel,
                                       [&](UIAlertAction& a) { picked.push_back(a.title()); }));
    camera->presentViewController(sheet, false);
    CGRect box = sheet->contentView()->frame();
    EXPECT_NEAR(box.maxY(), window->bounds().maxY() - 34 - 8, 0.5) << "above the bottom inset";

    host->tap(CGPointMake(195, 100));
    advance(0.5);
    EXPECT_EQ(picked, std::vector<std::string>{"Cancel"});
}

}  // namespace
}  // namespace hx::testing

// The navigation controller: push and pop with their appearance calls and slides on the clock,
// the navigation bar's items and back button (pressed through hit-testing), the toolbar's
// layout, and bars hidden and shown with animation.

#include <gtest/gtest.h>

#include "ControllerTestSupport.h"
#include "platform/ui/controls/UIButton.h"
#include "platform/ui/controls/UILabel.h"
#include "platform/ui/navigation/UIBarButtonItem.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/navigation/UINavigationItem.h"

namespace hx::testing {
namespace {

using Journal = std::shared_ptr<std::vector<std::string>>;

class NavigationTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        journal = std::make_shared<std::vector<std::string>>();
        root = std::make_shared<JournalingController>("root", journal);
        root->setTitle("Library");
        navigation = UINavigationController::make(root);
    }
    void show() {
        window->setRootViewController(navigation);
        journal->clear();
    }
    std::shared_ptr<JournalingController> screen(const std::string& name) {
        return std::make_shared<JournalingController>(name, journal);
    }

    Journal journal;
    std::shared_ptr<JournalingController> root;
    std::shared_ptr<UINavigationController> navigation;
};

TEST_F(NavigationTest, PushSlidesTheNewScreenInWithAppearanceCallsInOrder) {
    show();
    auto viewer = screen("viewer");
    navigation->pushViewController(viewer, true);
    EXPECT_EQ(*journal, (std::vector<std::string>{"viewer.viewDidLoad", "root.viewWillDisappear",
                                                  "viewer.viewWillAppear"}));
    EXPECT_EQ(viewer->navigationController(), navigation.get());
    EXPECT_EQ(navigation->topViewController(), viewer);

    advance(0.15);
    double x = viewer->view()->presentation().center.x;
    EXPECT_GT(x, window->bounds().midX()) << "still sliding in from the right";
    EXPECT_LT(x, window->bounds().midX() + window->bounds().width());

    advance(0.3);
    EXPECT_EQ(*journal, (std::vector<std::string>{"viewer.viewDidLoad", "root.viewWillDisappear",
                                                  "viewer.viewWillAppear", "root.viewDidDisappear",
                                                  "viewer.viewDidAppear"}));
    EXPECT_EQ(viewer->view()->frame(), navigation->view()->bounds());
    EXPECT_FALSE(root->view()->superview()) << "the covered screen leaves the container";
}

TEST_F(NavigationTest, TheBackButtonPopsWithAppearanceCallsInOrder) {
    show();
    auto viewer = screen("viewer");
    navigation->pushViewController(viewer, false);
    journal->clear();

    std::shared_ptr<UIButton> back = navigation->navigationBar()->backButton();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->currentTitle(), "\u2039 Library") << "titled after the screen below";
    tap(*back);
    EXPECT_EQ(*journal,
              (std::vector<std::string>{"viewer.viewWillDisappear", "root.viewWillAppear"}));
    EXPECT_EQ(navigation->viewControllers().size(), 1u);
    advance(0.5);
    EXPECT_EQ(*journal,
              (std::vector<std::string>{"viewer.viewWillDisappear", "root.viewWillAppear",
                                        "viewer.viewDidDisappear", "root.viewDidAppear"}));
    EXPECT_FALSE(viewer->parentViewController());
    EXPECT_FALSE(viewer->view()->superview());
    EXPECT_FALSE(navigation->navigationBar()->backButton()) << "no back button on the root";
}

TEST_F(NavigationTest, PoppingTheRootDoesNothingAndPopToRootTakesAllTheRest) {
    show();
    EXPECT_FALSE(navigation->popViewControllerAnimated(false));
    auto second = screen("second");
    auto third = screen("third");
    navigation->pushViewController(second, false);
    navigation->pushViewController(third, false);
    journal->clear();

    auto removed = navigation->popToRootViewControllerAnimated(false);
    EXPECT_EQ(removed, (std::vector<std::shared_ptr<UIViewController>>{second, third}));
    EXPECT_EQ(navigation->viewControllers(), std::vector<std::shared_ptr<UIViewController>>{root});
    EXPECT_EQ(*journal, (std::vector<std::string>{"third.viewWillDisappear", "root.viewWillAppear",
                                                  "third.viewDidDisappear", "root.viewDidAppear"}));
}

TEST_F(NavigationTest, AStackBuiltOffScreenAppearsWhenTheNavigationControllerIsShown) {
    auto viewer = screen("viewer");
    navigation->pushViewController(viewer, true);
    EXPECT_TRUE(journal->empty()) << "nothing is on screen yet";
    EXPECT_EQ(viewer->navigationController(), navigation.get());

    window->setRootViewController(navigation);
    EXPECT_EQ(*journal, (std::vector<std::string>{"viewer.viewDidLoad", "viewer.viewWillAppear",
                                                  "viewer.viewDidAppear"}))
        << "only the top screen appears";
}

TEST_F(NavigationTest, APushDuringAPushFinishesTheFirstAtOnce) {
    show();
    auto second = screen("second");
    auto third = screen("third");
    navigation->pushViewController(second, true);
    navigation->pushViewController(third, true);
    advance(0.5);
    EXPECT_EQ(*journal, (std::vector<std::string>{
                            "second.viewDidLoad", "root.viewWillDisappear", "second.viewWillAppear",
                            "root.viewDidDisappear", "second.viewDidAppear", "third.viewDidLoad",
                            "second.viewWillDisappear", "third.viewWillAppear",
                            "second.viewDidDisappear", "third.viewDidAppear"}));
    EXPECT_EQ(navigation->view()->subviews().size(), 3u) << "the top screen and two bars";
}

TEST_F(NavigationTest, BarButtonItemsAndTitleViewShowInTheBar) {
    auto viewer = screen("viewer");
    int closes = 0;
    auto done = UIBarButtonItem::initWithBarButtonSystemItem(
        UIBarButtonSystemItem::Done, this, [&](UIBarButtonItem* sender) {
            EXPECT_EQ(sender->systemItem(), UIBarButtonSystemItem::Done);
            ++closes;
        });
    viewer->navigationItem().setRightBarButtonItem(done);
    auto counter = UILabel::make(CGRectMake(0, 0, 200, 40));
    counter->setText("3 of 12");
    viewer->navigationItem().setTitleView(counter);
    navigation->pushViewController(viewer, false);
    show();

    const auto& bar = navigation->navigationBar();
    EXPECT_EQ(counter->superview(), bar);
    EXPECT_NEAR(counter->frame().midX(), bar->bounds().midX(), 0.5);
    ASSERT_TRUE(done->view());
    EXPECT_EQ(done->view()->superview(), bar);
    EXPECT_GT(done->view()->frame().minX(), counter->frame().maxX() - 1) << "right of the title";
    tap(*done->view());
    EXPECT_EQ(closes, 1);

    done->setEnabled(false);
    tap(*done->view());
    EXPECT_EQ(closes, 1) << "a disabled item does nothing";

    viewer->navigationItem().setHidesBackButton(true);
    EXPECT_FALSE(bar->backButton());
}

TEST_F(NavigationTest, ToolbarSharesTheRoomLeftBetweenFlexibleSpaces) {
    auto viewer = screen("viewer");
    auto flexible = [] {
        return UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem::FlexibleSpace);
    };
    auto share = UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem::Action);
    auto filter = UIBarButtonItem::initWithTitle("Filter", UIBarButtonItemStyle::Plain);
    viewer->setToolbarItems({flexible(), share, flexible(), filter, flexible()});
    navigation->setToolbarHidden(false, false);
    show();
    navigation->pushViewController(viewer, false);

    const auto& toolbar = navigation->toolbar();
    EXPECT_FALSE(toolbar->isHidden());
    EXPECT_EQ(toolbar->frame(), CGRectMake(0, 844 - 34 - 44, 390, 44)) << "above the bottom inset";
    ASSERT_TRUE(share->view() && filter->view());
    const double shareWidth = share->view()->frame().width();
    const double filterWidth = filter->view()->frame().width();
    const double gap = (390 - 2 * 8 - shareWidth - filterWidth) / 3;
    EXPECT_NEAR(share->view()->frame().minX(), 8 + gap, 0.01);
    EXPECT_NEAR(filter->view()->frame().minX(), 8 + 2 * gap + shareWidth, 0.01);

    // The toolbar follows the top screen's items.
    navigation->popViewControllerAnimated(false);
    EXPECT_TRUE(toolbar->items().empty());
    EXPECT_FALSE(share->view()->superview());
}

TEST_F(NavigationTest, BarsHideAndShowWithAnimation) {
    show();
    const auto& bar = navigation->navigationBar();
    EXPECT_EQ(bar->frame(), CGRectMake(0, 47, 390, 44)) << "below the top inset";

    navigation->setNavigationBarHidden(true, true);
    EXPECT_TRUE(navigation->isNavigationBarHidden()) << "answers the new state at once";
    EXPECT_FALSE(bar->isHidden()) << "visible while it slides away";
    advance(0.1);
    EXPECT_LT(bar->presentation().center.y, 47 + 22.0);
    advance(0.3);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_LE(bar->frame().maxY(), 0);

    navigation->setNavigationBarHidden(false, true);
    EXPECT_FALSE(bar->isHidden());
    advance(0.4);
    EXPECT_EQ(bar->frame(), CGRectMake(0, 47, 390, 44));

    // Hiding and showing again before the first animation ends leaves it shown.
    navigation->setNavigationBarHidden(true, true);
    navigation->setNavigationBarHidden(false, true);
    advance(0.4);
    EXPECT_FALSE(bar->isHidden());

    navigation->setToolbarHidden(false, true);
    advance(0.4);
    EXPECT_FALSE(navigation->toolbar()->isHidden());
    navigation->setToolbarHidden(true, false);
    EXPECT_TRUE(navigation->toolbar()->isHidden());
}

class StatusBarlessScreen : public UIViewController {
  public:
    bool prefersStatusBarHidden() const override { return true; }
    UIInterfaceOrientationMask supportedInterfaceOrientations() const override {
        return UIInterfaceOrientationMaskAll;
    }
};

TEST_F(NavigationTest, TheTopScreenAnswersForTheStatusBarAndOrientations) {
    show();
    EXPECT_FALSE(navigation->prefersStatusBarHidden());
    navigation->pushViewController(std::make_shared<StatusBarlessScreen>(), false);
    EXPECT_TRUE(navigation->prefersStatusBarHidden());
    EXPECT_EQ(navigation->supportedInterfaceOrientations(), UIInterfaceOrientationMaskAll);
}

TEST_F(NavigationTest, BlackTranslucentBarShowsAWhiteTitle) {
    navigation->navigationBar()->setBarStyle(UIBarStyle::Black);
    navigation->navigationBar()->setTranslucent(true);
    show();
    EXPECT_EQ(navigation->navigationBar()->titleLabel()->text(), "Library");
    EXPECT_EQ(navigation->navigationBar()->titleLabel()->textColor(), UIColor::whiteColor());
}

}  // namespace
}  // namespace hx::testing

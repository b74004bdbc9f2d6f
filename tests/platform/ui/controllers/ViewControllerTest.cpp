// View controllers: loading from interface files, appearance calls, the root of a window, modal
// presentation and dismissal (animated on the run loop's clock and not), the presented chain,
// and trait transitions when the interface turns.

#include <gtest/gtest.h>

#include <algorithm>

#include "ControllerTestSupport.h"
#include "platform/bundle/Bundle.h"
#include "platform/log/CaptureScope.h"
#include "platform/ui/controls/UIButton.h"
#include "platform/ui/controls/UILabel.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/window/UIScreen.h"

namespace hx::testing {
namespace {

using Journal = std::shared_ptr<std::vector<std::string>>;

Journal newJournal() {
    return std::make_shared<std::vector<std::string>>();
}

std::shared_ptr<JournalingController> controller(const std::string& name, const Journal& journal) {
    return std::make_shared<JournalingController>(name, journal);
}

bool inWindow(UIViewController& controller, const UIWindow& window) {
    return controller.isViewLoaded() && controller.view()->window().get() == &window;
}

// ------------------------------------------------------------------------------------------
// Loading

class ProfileScreen : public JournalingController {
  public:
    ProfileScreen(Journal journal, Bundle* bundle)
        : JournalingController("profile", std::move(journal), "ProfileScreen", bundle) {
        declareOutlet("nameLabel", nameLabel);
        declareAction("save:", this, &ProfileScreen::save);
    }
    void save(UIButton* sender) {
        ++saves;
        lastSender = sender;
    }
    std::shared_ptr<UILabel> nameLabel;
    int saves = 0;
    UIButton* lastSender = nullptr;
};

constexpr const char* kProfileInterface = R"({
  "objects": [
    { "class": "UIView", "outlet": "view", "frame": [0, 0, 390, 844], "backgroundColor": "#102030",
      "subviews": [
        { "class": "UILabel", "outlet": "nameLabel", "frame": [20, 100, 200, 30], "text": "Ada" },
        { "class": "UIButton", "frame": [20, 200, 120, 44], "tag": 7,
          "states": { "normal": { "title": "Save" } },
          "actions": { "touchUpInside": "save:" } } ] } ]
})";

TEST_F(ControllerTest, ViewComesFromTheInterfaceFileNamedAfterTheController) {
    TemporaryFolder folder;
    folder.write("ProfileScreen.ui.json", kProfileInterface);
    Bundle bundle(folder.path().string());
    Journal journal = newJournal();
    auto screen = std::make_shared<ProfileScreen>(journal, &bundle);

    EXPECT_FALSE(screen->isViewLoaded());
    const auto& view = screen->view();
    screen->view();
    EXPECT_EQ(*journal, std::vector<std::string>{"profile.viewDidLoad"}) << "loaded once";
    EXPECT_EQ(view->backgroundColor(),
              UIColor::colorWithRed(0x10 / 255.0, 0x20 / 255.0, 0x30 / 255.0, 1));
    ASSERT_TRUE(screen->nameLabel);
    EXPECT_EQ(screen->nameLabel->text(), "Ada");
    EXPECT_EQ(screen->nameLabel->superview(), view);

    window->setRootViewController(screen);
    auto button = std::dynamic_pointer_cast<UIButton>(view->viewWithTag(7));
    ASSERT_TRUE(button);
    tap(*button);
    EXPECT_EQ(screen->saves, 1);
    EXPECT_EQ(screen->lastSender, button.get());
}

TEST_F(ControllerTest, MissingInterfaceFileGivesAPlainScreenSizedViewAndALogLine) {
    log::CaptureScope log;
    auto screen = UIViewController::make("NoSuchScreen");
    EXPECT_EQ(screen->view()->frame(), UIScreen::mainScreen().bounds());
    EXPECT_TRUE(log.contains("NoSuchScreen.ui.json")) << ::testing::PrintToString(log.messages());
}

TEST_F(ControllerTest, BrokenInterfaceFileIsReportedWithItsLine) {
    TemporaryFolder folder;
    folder.write("Broken.ui.json",
                 "{ \"objects\": [\n { \"class\": \"UIView\", \"fram\": [0, 0, 1, 1] } ] }");
    Bundle bundle(folder.path().string());
    log::CaptureScope log;
    auto screen = std::make_shared<UIViewController>("Broken", &bundle);
    EXPECT_TRUE(screen->view());
    EXPECT_TRUE(log.contains("Broken: line 2")) << ::testing::PrintToString(log.messages());
    EXPECT_TRUE(log.contains("unknown property \"fram\""))
        << ::testing::PrintToString(log.messages());
}

// ------------------------------------------------------------------------------------------
// The window's root

TEST_F(ControllerTest, InstallingARootShowsItAndReplacingItTakesTheOldOneAway) {
    Journal journal = newJournal();
    auto first = controller("first", journal);
    auto second = controller("second", journal);

    window->setRootViewController(first);
    EXPECT_EQ(*journal, (std::vector<std::string>{"first.viewDidLoad", "first.viewWillAppear",
                                                  "first.viewDidAppear"}));
    EXPECT_EQ(first->view()->frame(), window->bounds());
    EXPECT_TRUE(inWindow(*first, *window));

    journal->clear();
    window->setRootViewController(second);
    EXPECT_EQ(*journal,
              (std::vector<std::string>{"first.viewWillDisappear", "first.viewDidDisappear",
                                        "second.viewDidLoad", "second.viewWillAppear",
                                        "second.viewDidAppear"}));
    EXPECT_FALSE(inWindow(*first, *window));
    EXPECT_TRUE(inWindow(*second, *window));
}

// ------------------------------------------------------------------------------------------
// Modal presentation

TEST_F(ControllerTest, AnimatedPresentationSlidesUpAndCallsAppearanceInOrder) {
    Journal journal = newJournal();
    auto camera = controller("camera", journal);
    auto browser = controller("browser", journal);
    window->setRootViewController(camera);
    journal->clear();

    bool presented = false;
    camera->presentViewController(browser, true, [&] { presented = true; });
    EXPECT_EQ(*journal, (std::vector<std::string>{"browser.viewDidLoad", "camera.viewWillDisappear",
                                                  "browser.viewWillAppear"}));
    EXPECT_EQ(camera->presentedViewController(), browser);
    EXPECT_EQ(browser->presentingViewController(), camera);
    EXPECT_TRUE(browser->isBeingPresented());

    advance(0.2);
    const double midway = browser->view()->presentation().center.y;
    EXPECT_GT(midway, window->bounds().midY()) << "still on its way up";
    EXPECT_LT(midway, window->bounds().midY() + window->bounds().height());
    EXPECT_FALSE(presented);

    advance(0.3);
    EXPECT_TRUE(presented);
    EXPECT_EQ(*journal, (std::vector<std::string>{"browser.viewDidLoad", "camera.viewWillDisappear",
                                                  "browser.viewWillAppear", "browser.viewDidAppear",
                                                  "camera.viewDidDisappear"}));
    EXPECT_EQ(browser->view()->frame(), window->bounds());
    EXPECT_FALSE(inWindow(*camera, *window)) << "the covered screen leaves the window";
    EXPECT_FALSE(browser->isBeingPresented());

    journal->clear();
    bool dismissed = false;
    browser->dismissViewControllerAnimated(true, [&] { dismissed = true; });
    EXPECT_EQ(*journal,
              (std::vector<std::string>{"browser.viewWillDisappear", "camera.viewWillAppear"}));
    EXPECT_TRUE(inWindow(*camera, *window)) << "back under the leaving screen at once";
    advance(0.5);
    EXPECT_TRUE(dismissed);
    EXPECT_EQ(*journal,
              (std::vector<std::string>{"browser.viewWillDisappear", "camera.viewWillAppear",
                                        "camera.viewDidAppear", "browser.viewDidDisappear"}));
    EXPECT_FALSE(camera->presentedViewController());
    EXPECT_FALSE(browser->presentingViewController());
    EXPECT_FALSE(inWindow(*browser, *window));
}

TEST_F(ControllerTest, PresentationWithoutAnimationCompletesAtOnce) {
    Journal journal = newJournal();
    auto camera = controller("camera", journal);
    auto browser = controller("browser", journal);
    window->setRootViewController(camera);

    bool presented = false;
    camera->presentViewController(browser, false, [&] { presented = true; });
    EXPECT_TRUE(presented);
    EXPECT_TRUE(inWindow(*browser, *window));
    EXPECT_FALSE(inWindow(*camera, *window));

    bool dismissed = false;
    camera->dismissViewControllerAnimated(false, [&] { dismissed = true; });
    EXPECT_TRUE(dismissed);
    EXPECT_TRUE(inWindow(*camera, *window));
    EXPECT_FALSE(inWindow(*browser, *window));
}

TEST_F(ControllerTest, PresentingWhilePresentingIsRefused) {
    Journal journal = newJournal();
    auto camera = controller("camera", journal);
    auto first = controller("first", journal);
    auto second = controller("second", journal);
    window->setRootViewController(camera);
    camera->presentViewController(first, false);

    log::CaptureScope log;
    bool completed = false;
    camera->presentViewController(second, false, [&] { completed = true; });
    EXPECT_FALSE(completed);
    EXPECT_EQ(camera->presentedViewController(), first);
    EXPECT_FALSE(second->isViewLoaded());
    EXPECT_TRUE(log.contains("presented already")) << ::testing::PrintToString(log.messages());
}

TEST_F(ControllerTest, PresentingFromAScreenOutsideAnyWindowIsRefused) {
    log::CaptureScope log;
    Journal journal = newJournal();
    auto loose = controller("loose", journal);
    auto other = controller("other", journal);
    loose->presentViewController(other, false);
    EXPECT_FALSE(loose->presentedViewController());
    EXPECT_TRUE(log.contains("not in a window")) << ::testing::PrintToString(log.messages());
}

TEST_F(ControllerTest, TheChainOfPresentedScreensIsFollowedAndDismissedTogether) {
    Journal journal = newJournal();
    auto camera = controller("camera", journal);
    auto browser = controller("browser", journal);
    auto editor = controller("editor", journal);
    window->setRootViewController(camera);
    camera->presentViewController(browser, false);
    browser->presentViewController(editor, false);

    // From the root, presentedViewController leads to the top-most screen.
    std::shared_ptr<UIViewController> top = window->rootViewController();
    while (top->presentedViewController()) top = top->presentedViewController();
    EXPECT_EQ(top, editor);
    EXPECT_EQ(editor->presentingViewController(), browser);

    journal->clear();
    camera->dismissViewControllerAnimated(false);
    EXPECT_FALSE(camera->presentedViewController());
    EXPECT_FALSE(browser->presentedViewController());
    EXPECT_FALSE(editor->presentingViewController());
    ASSERT_EQ(window->subviews().size(), 1u);
    EXPECT_EQ(window->subviews().front(), camera->view());
    // Only the screens that were showing hear of it.
    EXPECT_EQ(*journal,
              (std::vector<std::string>{"editor.viewWillDisappear", "camera.viewWillAppear",
                                        "camera.viewDidAppear", "editor.viewDidDisappear"}));
}

TEST_F(ControllerTest, AChildPresentsThroughItsContainer) {
    Journal journal = newJournal();
    auto grid = controller("grid", journal);
    auto navigation = UINavigationController::make(grid);
    auto camera = controller("camera", journal);
    auto viewer = controller("viewer", journal);
    window->setRootViewController(camera);
    camera->presentViewController(navigation, false);

    grid->presentViewController(viewer, false);
    EXPECT_EQ(navigation->presentedViewController(), viewer);
    EXPECT_EQ(grid->presentedViewController(), viewer);
    EXPECT_EQ(viewer->presentingViewController(), navigation);
    EXPECT_EQ(grid->presentingViewController(), camera);

    // A child without anything presented dismisses what holds it.
    viewer->dismissViewControllerAnimated(false);
    grid->dismissViewControllerAnimated(false);
    EXPECT_FALSE(camera->presentedViewController());
    EXPECT_TRUE(inWindow(*camera, *window));
}

TEST_F(ControllerTest, ANewTransitionEndsTheOneInFlightFirst) {
    Journal journal = newJournal();
    auto camera = controller("camera", journal);
    auto browser = controller("browser", journal);
    window->setRootViewController(camera);
    journal->clear();

    int completions = 0;
    camera->presentViewController(browser, true, [&] { ++completions; });
    camera->dismissViewControllerAnimated(false, [&] { ++completions; });
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(*journal,
              (std::vector<std::string>{
                  "browser.viewDidLoad", "camera.viewWillDisappear", "browser.viewWillAppear",
                  "browser.viewDidAppear", "camera.viewDidDisappear", "browser.viewWillDisappear",
                  "camera.viewWillAppear", "camera.viewDidAppear", "browser.viewDidDisappear"}));
    advance(1);
    EXPECT_EQ(completions, 2) << "the first animation's end changes nothing later";
    EXPECT_TRUE(inWindow(*camera, *window));
    EXPECT_FALSE(inWindow(*browser, *window));
}

// ------------------------------------------------------------------------------------------
// Trait transitions

class TurningScreen : public UIViewController {
  public:
    void willTransitionToTraitCollection(
        const UITraitCollection& collection,
        const std::shared_ptr<UIViewControllerTransitionCoordinator>& coordinator) override {
        UIViewController::willTransitionToTraitCollection(collection, coordinator);
        traits.push_back(collection);
        coordinator->animateAlongsideTransition(
            [this](const UIViewControllerTransitionCoordinatorContext& context) {
                alongsideOrientation = UIWindowScene::mainScene().interfaceOrientation();
                alongsideWidth = view()->bounds().width();
                alongsideAnimated = context.isAnimated();
            },
            [this](const UIViewControllerTransitionCoordinatorContext&) { ++completions; });
    }
    void viewWillTransitionToSize(
        CGSize size, const std::shared_ptr<UIViewControllerTransitionCoordinator>&) override {
        sizes.push_back(size);
    }

    std::vector<UITraitCollection> traits;
    std::vector<CGSize> sizes;
    UIInterfaceOrientation alongsideOrientation = UIInterfaceOrientation::Unknown;
    double alongsideWidth = 0;
    bool alongsideAnimated = false;
    int completions = 0;
};

TEST_F(ControllerTest, TurningToLandscapeRunsATraitTransitionWithTheCoordinator) {
    auto screen = std::make_shared<TurningScreen>();
    window->setRootViewController(screen);

    UIWindowScene::mainScene().setInterfaceOrientation(UIInterfaceOrientation::LandscapeRight);
    ASSERT_EQ(screen->traits.size(), 1u);
    EXPECT_EQ(screen->traits[0].verticalSizeClass(), UIUserInterfaceSizeClass::Compact);
    EXPECT_EQ(screen->traits[0].horizontalSizeClass(), UIUserInterfaceSizeClass::Compact);
    ASSERT_EQ(screen->sizes.size(), 1u);
    EXPECT_EQ(screen->sizes[0], CGSizeMake(844, 390));
    EXPECT_EQ(screen->alongsideOrientation, UIInterfaceOrientation::LandscapeRight);
    EXPECT_EQ(screen->alongsideWidth, 844) << "the new size is in place alongside";
    EXPECT_TRUE(screen->alongsideAnimated);
    EXPECT_EQ(window->bounds().size, CGSizeMake(844, 390));
    EXPECT_EQ(screen->completions, 0);
    advance(0.4);
    EXPECT_EQ(screen->completions, 1);

    // Landscape to the other landscape keeps the traits: only the size is announced.
    UIWindowScene::mainScene().setInterfaceOrientation(UIInterfaceOrientation::LandscapeLeft);
    EXPECT_EQ(screen->traits.size(), 1u);
    EXPECT_EQ(screen->sizes.size(), 2u);
}

TEST_F(ControllerTest, PresentedScreensAndContainersHearOfTraitTransitionsToo) {
    auto root = std::make_shared<TurningScreen>();
    auto child = std::make_shared<TurningScreen>();
    auto navigation = UINavigationController::make(child);
    window->setRootViewController(root);
    root->presentViewController(navigation, false);

    UIWindowScene::mainScene().setInterfaceOrientation(UIInterfaceOrientation::LandscapeLeft);
    EXPECT_EQ(root->traits.size(), 1u);
    EXPECT_EQ(child->traits.size(), 1u) << "the navigation controller passes it on";
    EXPECT_EQ(child->alongsideWidth, 844) << "the child's view follows its container";
    EXPECT_EQ(navigation->view()->frame(), CGRectMake(0, 0, 844, 390));
}

}  // namespace
}  // namespace hx::testing

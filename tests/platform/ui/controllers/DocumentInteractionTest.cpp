// Offering a file to the desktop: the menu's entries, what each hands to the desktop (the
// annotation first), the delegate's calls, and the cases that refuse to show a menu.

#include <gtest/gtest.h>

#include "ControllerTestSupport.h"
#include "platform/log/CaptureScope.h"
#include "platform/ui/alerts/UIAlertController.h"
#include "platform/ui/controls/UIButton.h"
#include "platform/ui/navigation/UIBarButtonItem.h"
#include "platform/ui/sharing/Desktop.h"
#include "platform/ui/sharing/UIDocumentInteractionController.h"

namespace hx::testing {
namespace {

// A desktop that writes down what it is asked, in order.
class RecordingDesktop : public ui::Desktop {
  public:
    bool openURL(const NSURL& url) override { return note("open " + url.absoluteString()); }
    bool openApplicationSettings() override { return note("settings"); }
    bool showInFileManager(const std::string& path) override { return note("show " + path); }
    bool copyFileToClipboard(const std::string& path) override { return note("copy " + path); }
    bool annotateFile(const std::string& path,
                      const std::map<std::string, std::string>& annotation) override {
        std::string text;
        for (const auto& [key, value] : annotation) text += " " + key + "=" + value;
        return note("annotate " + path + text);
    }
    bool note(std::string call) {
        calls.push_back(std::move(call));
        return true;
    }
    std::vector<std::string> calls;
};

class Viewer : public UIViewController, public UIDocumentInteractionControllerDelegate {
  public:
    void documentInteractionControllerDidDismissOptionsMenu(
        UIDocumentInteractionController&) override {
        events.push_back("dismissed options");
        shareController.reset();
    }
    void documentInteractionControllerDidDismissOpenInMenu(
        UIDocumentInteractionController&) override {
        events.push_back("dismissed open-in");
    }
    void documentInteractionControllerWillBeginSendingToApplication(
        UIDocumentInteractionController&, const std::string& application) override {
        events.push_back("sending to " + application);
    }
    std::shared_ptr<UIDocumentInteractionController> shareController;
    std::vector<std::string> events;
};

class DocumentInteractionTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        desktop = std::make_shared<RecordingDesktop>();
        ui::Desktop::setCurrent(desktop);
        viewer = std::make_shared<Viewer>();
        window->setRootViewController(viewer);
        file = folder.write("IMG 0001.jpg", "not really a photo");
        shareItem = UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem::Action);
        viewer->shareController = UIDocumentInteractionController::interactionControllerWithURL(
            NSURL::fileURLWithPath(file));
        viewer->shareController->setAnnotation({{"tags", "HalidexCamera"}});
        viewer->shareController->setDelegate(viewer.get());
    }
    void TearDown() override {
        ui::Desktop::setCurrent(nullptr);
        ControllerTest::TearDown();
    }
    std::vector<std::string> menuTitles(UIAlertController& menu) {
        std::vector<std::string> titles;
        for (const auto& action : menu.actions()) titles.push_back(action->title());
        return titles;
    }
    void choose(UIAlertController& menu, const std::string& title) {
        for (const auto& action : menu.actions())
            if (action->title() == title) return tap(*menu.buttonForAction(*action));
        FAIL() << "no entry " << title;
    }

    TemporaryFolder folder;
    std::shared_ptr<RecordingDesktop> desktop;
    std::shared_ptr<Viewer> viewer;
    std::string file;
    std::shared_ptr<UIBarButtonItem> shareItem;
};

TEST_F(DocumentInteractionTest, OptionsMenuOffersTheFileAndHandsItOnWithItsAnnotation) {
    auto controller = viewer->shareController;
    ASSERT_TRUE(controller->presentOptionsMenuFromBarButtonItem(*shareItem, true));
    advance(0.5);
    std::shared_ptr<UIAlertController> menu = controller->menu();
    ASSERT_TRUE(menu);
    EXPECT_EQ(viewer->presentedViewController(), menu);
    EXPECT_EQ(menu->title(), "IMG 0001.jpg");
    EXPECT_EQ(menuTitles(*menu),
              (std::vector<std::string>{UIDocumentInteractionController::kOpenTitle,
                                        UIDocumentInteractionController::kShowTitle,
                                        UIDocumentInteractionController::kCopyTitle,
                                        UIDocumentInteractionController::kCancelTitle}));

    choose(*menu, UIDocumentInteractionController::kOpenTitle);
    advance(0.5);
    EXPECT_EQ(desktop->calls, (std::vector<std::string>{
                                  "annotate " + file + " tags=HalidexCamera",
                                  "open file://" + folder.path().string() + "/IMG%200001.jpg"}));
    EXPECT_EQ(viewer->events,
              (std::vector<std::string>{"sending to Default Application", "dismissed options"}));
    EXPECT_FALSE(viewer->shareController) << "the viewer let it go when the menu went";
    EXPECT_FALSE(viewer->presentedViewController());
}

TEST_F(DocumentInteractionTest, EachEntryGoesToItsPartOfTheDesktop) {
    auto controller = viewer->shareController;
    controller->presentOptionsMenuFromBarButtonItem(*shareItem, false);
    choose(*controller->menu(), UIDocumentInteractionController::kCopyTitle);
    advance(0.5);
    controller->presentOptionsMenuFromBarButtonItem(*shareItem, false);
    choose(*controller->menu(), UIDocumentInteractionController::kShowTitle);
    advance(0.5);
    controller->presentOptionsMenuFromBarButtonItem(*shareItem, false);
    choose(*controller->menu(), UIDocumentInteractionController::kCancelTitle);
    advance(0.5);
    EXPECT_EQ(desktop->calls.size(), 4u);
    EXPECT_EQ(desktop->calls[1], "copy " + file);
    EXPECT_EQ(desktop->calls[3], "show " + file);
    EXPECT_EQ(viewer->events.back(), "dismissed options") << "cancel only dismisses";
}

TEST_F(DocumentInteractionTest, OpenInMenuHasNoCopyAndASecondMenuIsRefused) {
    auto controller = viewer->shareController;
    ASSERT_TRUE(controller->presentOpenInMenuFromRect(CGRectZero, *viewer->view(), false));
    EXPECT_EQ(menuTitles(*controller->menu()),
              (std::vector<std::string>{UIDocumentInteractionController::kOpenTitle,
                                        UIDocumentInteractionController::kShowTitle,
                                        UIDocumentInteractionController::kCancelTitle}));
    log::CaptureScope log;
    EXPECT_FALSE(controller->presentOptionsMenuFromBarButtonItem(*shareItem, false));
    EXPECT_TRUE(log.contains("menu is up")) << ::testing::PrintToString(log.messages());

    controller->dismissMenuAnimated(false);
    EXPECT_FALSE(controller->menu());
    EXPECT_EQ(viewer->events, std::vector<std::string>{"dismissed open-in"});
    EXPECT_TRUE(desktop->calls.empty());
}

TEST_F(DocumentInteractionTest, AFileThatIsNotThereIsNotOffered) {
    log::CaptureScope log;
    auto missing = UIDocumentInteractionController::interactionControllerWithURL(
        NSURL::fileURLWithPath(folder.path().string() + "/gone.jpg"));
    EXPECT_FALSE(missing->presentOptionsMenuFromBarButtonItem(*shareItem, false));
    EXPECT_FALSE(viewer->presentedViewController());
    auto web = UIDocumentInteractionController::interactionControllerWithURL(
        *NSURL::URLWithString("https://example.org/a.jpg"));
    EXPECT_FALSE(web->presentOptionsMenuFromBarButtonItem(*shareItem, false));
    EXPECT_TRUE(log.contains("not an existing file")) << ::testing::PrintToString(log.messages());
}

}  // namespace
}  // namespace hx::testing

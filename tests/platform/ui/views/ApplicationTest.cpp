// The application's lifecycle transitions, its delegate calls and notifications; images looked
// up by name in the resources.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/image/png/PngCodec.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform/ui/drawing/UIImage.h"
#include "platform/ui/window/UIApplication.h"
#include "platform/ui/window/UIWindow.h"
#include "tests/platform/ui/views/UITestSupport.h"

namespace hx {
namespace {

using testing::UITest;

struct RecordingDelegate : UIApplicationDelegate {
    std::vector<std::string>* log;
    std::shared_ptr<UIWindow> window_;
    bool applicationDidFinishLaunchingWithOptions(UIApplication&,
                                                  const UIApplicationLaunchOptions&) override {
        log->push_back("launch");
        window_ = UIWindow::make();
        window_->makeKeyAndVisible();
        return true;
    }
    void applicationDidBecomeActive(UIApplication&) override { log->push_back("active"); }
    void applicationWillResignActive(UIApplication&) override { log->push_back("resign"); }
    void applicationDidEnterBackground(UIApplication&) override { log->push_back("background"); }
    void applicationWillEnterForeground(UIApplication&) override { log->push_back("foreground"); }
    void applicationPerformActionForShortcutItem(UIApplication&,
                                                 const UIApplicationShortcutItem& item,
                                                 std::function<void(bool)> done) override {
        log->push_back("shortcut " + item.type);
        done(true);
    }
    std::shared_ptr<UIWindow> window() const override { return window_; }
};

class ApplicationTest : public UITest {
  protected:
    void SetUp() override {
        UITest::SetUp();
        auto delegate = std::make_shared<RecordingDelegate>();
        delegate->log = &log;
        app().setDelegate(delegate);
        for (const char* name :
             {UIApplicationDidBecomeActiveNotification, UIApplicationWillResignActiveNotification,
              UIApplicationDidEnterBackgroundNotification,
              UIApplicationWillEnterForegroundNotification}) {
            tokens.push_back(NotificationCenter::defaultCenter().addObserverForName(
                name, &app(), nullptr, [this](const Notification& n) {
                    log.push_back(std::string("posted ") + n.name.substr(13));
                }));
        }
    }
    void TearDown() override {
        for (auto token : tokens) NotificationCenter::defaultCenter().removeObserver(token);
        app().resetForTesting();
        UITest::TearDown();
    }
    static UIApplication& app() { return UIApplication::sharedApplication(); }

    std::vector<std::string> log;
    std::vector<NotificationCenter::ObserverToken> tokens;
};

TEST_F(ApplicationTest, LaunchMakesTheWindowKeyAndBecomesActive) {
    EXPECT_TRUE(app().finishLaunching());
    EXPECT_EQ(log,
              (std::vector<std::string>{"launch", "active", "posted DidBecomeActiveNotification"}));
    EXPECT_EQ(app().applicationState(), UIApplicationState::Active);
    EXPECT_EQ(app().keyWindow(), app().delegate()->window());
}

TEST_F(ApplicationTest, BackgroundAndBackPassThroughInactive) {
    app().finishLaunching();
    log.clear();
    app().enterBackground();
    app().enterBackground();  // no second transition
    EXPECT_EQ(app().applicationState(), UIApplicationState::Background);
    app().becomeActive();
    EXPECT_EQ(log, (std::vector<std::string>{"resign", "posted WillResignActiveNotification",
                                             "background", "posted DidEnterBackgroundNotification",
                                             "foreground", "posted WillEnterForegroundNotification",
                                             "active", "posted DidBecomeActiveNotification"}));
}

TEST_F(ApplicationTest, LosingFocusOnlyResigns) {
    app().finishLaunching();
    log.clear();
    app().resignActive();
    EXPECT_EQ(app().applicationState(), UIApplicationState::Inactive);
    app().enterForeground();  // not in the background: nothing happens
    app().becomeActive();
    EXPECT_EQ(log, (std::vector<std::string>{"resign", "posted WillResignActiveNotification",
                                             "active", "posted DidBecomeActiveNotification"}));
}

TEST_F(ApplicationTest, QuickActionsReachTheDelegate) {
    app().performActionForShortcutItem({"com.example.halidex.takephoto", "Take Photo"});
    EXPECT_EQ(log, (std::vector<std::string>{"shortcut com.example.halidex.takephoto"}));
}

// Images by name, from a resource folder of this test's own.
class ImageNamedTest : public UITest {
  protected:
    static void SetUpTestSuite() {
        // The resource folder is read once per process, on first use; only this suite looks
        // images up by name.
        folder =
            std::filesystem::temp_directory_path() / ("hx-ui-images-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder / "nested");
        writeSolid(folder / "grid_off.png", 4, 4, 255);
        writeSolid(folder / "nested" / "back-568h@2x.png", 8, 4, 128);
        writeSolid(folder / "shutter@2x.png", 6, 6, 10);
        writeSolid(folder / "shutter@3x.png", 9, 9, 20);
        std::filesystem::path broken = folder / "broken.png";
        FILE* f = std::fopen(broken.c_str(), "wb");
        std::fputs("not a png", f);
        std::fclose(f);
        ::setenv("HALIDEX_RESOURCES", folder.c_str(), 1);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(folder); }

    static void writeSolid(const std::filesystem::path& path, int w, int h, uint8_t grey) {
        auto pixels = std::vector<uint8_t>(static_cast<std::size_t>(w * h), grey);
        image::writePng(*image::Image::adopt(image::PixelFormat::Grey8, w, h, std::move(pixels)),
                        path.string());
    }
    static std::filesystem::path folder;
};
std::filesystem::path ImageNamedTest::folder;

TEST_F(ImageNamedTest, FindsPlainAndRetinaNamesWithOrWithoutExtension) {
    auto grid = UIImage::imageNamed("grid_off");
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->scale(), 1);
    EXPECT_EQ(grid->size(), (CGSize{4, 4}));
    EXPECT_EQ(UIImage::imageNamed("grid_off.png"), UIImage::imageNamed("grid_off.png"));  // cached

    auto back = UIImage::imageNamed("back-568h.png");  // only the @2x file exists, in a subfolder
    ASSERT_TRUE(back);
    EXPECT_EQ(back->scale(), 2);
    EXPECT_EQ(back->size(), (CGSize{4, 2}));

    // On a 3x screen the 3x file is preferred; on a 2x screen the 2x file.
    auto shutter = UIImage::imageNamed("shutter");
    ASSERT_TRUE(shutter);
    EXPECT_EQ(shutter->scale(), 3);
    EXPECT_EQ(shutter->size(), (CGSize{3, 3}));
    DeviceProfile::setCurrent(*DeviceProfile::named("small-phone"));
    auto small = UIImage::imageNamed("shutter.png");
    ASSERT_TRUE(small);
    EXPECT_EQ(small->scale(), 2);
}

TEST_F(ImageNamedTest, MissingOrBrokenImagesAreNull) {
    EXPECT_EQ(UIImage::imageNamed("no_such_image"), nullptr);
    EXPECT_EQ(UIImage::imageNamed(""), nullptr);
    EXPECT_EQ(UIImage::imageNamed("broken.png"), nullptr);
    EXPECT_EQ(UIImage::imageWithContentsOfFile((folder / "missing.png").string()), nullptr);
    auto file = UIImage::imageWithContentsOfFile((folder / "shutter@2x.png").string());
    ASSERT_TRUE(file);
    EXPECT_EQ(file->scale(), 2);
}

}  // namespace
}  // namespace hx

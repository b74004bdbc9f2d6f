// URLs as the programs build them, opening URLs through the desktop, and the freedesktop
// backend driven against stand-in tools on PATH, the Qt clipboard and extended attributes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <optional>

#include "ControllerTestSupport.h"
#include "platform/log/CaptureScope.h"
#include "platform/ui/sharing/Desktop.h"
#include "platform/ui/sharing/NSURL.h"
#include "platform/ui/sharing/OpenURL.h"
#include "platform/ui/sharing/desktop/XdgDesktop.h"
#include "platform/ui/window/UIApplication.h"

namespace hx::testing {
namespace {

// ------------------------------------------------------------------------------------------
// URLs

TEST(NSURLTest, ASupportMailIsEncodedWithTheFragmentCharacters) {
    std::string mail =
        "mailto:help@halidex.invalid?subject=Support Request:Halidex Camera&body=17.5 on iPhone "
        "12 #1 caf\u00e9 100%";
    std::string encoded = stringByAddingPercentEncodingWithAllowedCharacters(
        mail, NSCharacterSet::URLFragmentAllowedCharacterSet());
    EXPECT_EQ(
        encoded,
        "mailto:help@halidex.invalid?subject=Support%20Request:Halidex%20Camera&body=17.5%20on"
        "%20iPhone%2012%20%231%20caf%C3%A9%20100%25");
    auto url = NSURL::URLWithString(encoded);
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme(), "mailto");
    EXPECT_EQ(url->path(), "help@halidex.invalid");
    EXPECT_EQ(stringByRemovingPercentEncoding(encoded), mail);
}

TEST(NSURLTest, StringsThatAreNoURLsAreRefused) {
    EXPECT_FALSE(NSURL::URLWithString("no scheme here"));
    EXPECT_FALSE(NSURL::URLWithString("mailto:a b@c.d"));
    EXPECT_FALSE(NSURL::URLWithString("file:///tmp/100%"));
    EXPECT_FALSE(NSURL::URLWithString("file:///tmp/%zz"));
    EXPECT_FALSE(NSURL::URLWithString("1http://x"));
    ASSERT_TRUE(NSURL::URLWithString(UIApplicationOpenSettingsURLString));
    EXPECT_EQ(NSURL::URLWithString("HTTPS://example.org")->scheme(), "https");
    EXPECT_FALSE(stringByRemovingPercentEncoding("%4"));
}

TEST(NSURLTest, FileURLsEncodeTheirPathAndGiveItBack) {
    NSURL url = NSURL::fileURLWithPath("/tmp/My Photos/IMG#1.jpg");
    EXPECT_EQ(url.absoluteString(), "file:///tmp/My%20Photos/IMG%231.jpg");
    EXPECT_TRUE(url.isFileURL());
    EXPECT_EQ(url.path(), "/tmp/My Photos/IMG#1.jpg");
    EXPECT_EQ(url.lastPathComponent(), "IMG#1.jpg");
    EXPECT_EQ(NSURL::fileURLWithPath("/tmp/dir/").lastPathComponent(), "dir");
    EXPECT_EQ(NSURL::fileURLWithPath("/").lastPathComponent(), "");

    NSURL relative = NSURL::fileURLWithPath("photo.jpg");
    EXPECT_EQ(relative.path().front(), '/');
    EXPECT_EQ(relative.lastPathComponent(), "photo.jpg");
}

// ------------------------------------------------------------------------------------------
// Opening URLs

class RecordingDesktop : public ui::Desktop {
  public:
    bool openURL(const NSURL& url) override { return note("open " + url.absoluteString()); }
    bool openApplicationSettings() override { return note("settings"); }
    bool showInFileManager(const std::string& path) override { return note("show " + path); }
    bool copyFileToClipboard(const std::string& path) override { return note("copy " + path); }
    bool annotateFile(const std::string&, const std::map<std::string, std::string>&) override {
        return note("annotate");
    }
    bool note(std::string call) {
        calls.push_back(std::move(call));
        return true;
    }
    std::vector<std::string> calls;
};

class OpenURLTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        ui::Desktop::setCurrent(desktop);
    }
    void TearDown() override {
        ui::Desktop::setCurrent(nullptr);
        ControllerTest::TearDown();
    }
    std::shared_ptr<RecordingDesktop> desktop = std::make_shared<RecordingDesktop>();
};

TEST_F(OpenURLTest, TheSettingsPageAndMailGoToTheirPartsOfTheDesktop) {
    std::vector<bool> results;
    openURL(*NSURL::URLWithString(UIApplicationOpenSettingsURLString),
            [&](bool ok) { results.push_back(ok); });
    // Screens go through the application object; it hands over to the same desktop.
    UIApplication::sharedApplication().openURL(
        *NSURL::URLWithString("mailto:help@halidex.invalid?subject=Hi"),
        [&](bool ok) { results.push_back(ok); });
    EXPECT_TRUE(UIApplication::sharedApplication().canOpenURL(
        *NSURL::URLWithString("mailto:help@halidex.invalid")));
    EXPECT_TRUE(results.empty()) << "completions come on the main queue";
    advance(0);
    EXPECT_EQ(results, (std::vector<bool>{true, true}));
    EXPECT_EQ(desktop->calls, (std::vector<std::string>{
                                  "settings", "open mailto:help@halidex.invalid?subject=Hi"}));
}

TEST_F(OpenURLTest, URLsNothingHandlesAreRefused) {
    log::CaptureScope log;
    bool result = true;
    EXPECT_FALSE(canOpenURL(*NSURL::URLWithString("ftp://example.org/file")));
    openURL(*NSURL::URLWithString("ftp://example.org/file"), [&](bool ok) { result = ok; });
    advance(0);
    EXPECT_FALSE(result);
    EXPECT_TRUE(desktop->calls.empty());
    EXPECT_TRUE(log.contains("\"ftp\"")) << ::testing::PrintToString(log.messages());
}

// ------------------------------------------------------------------------------------------
// The freedesktop backend

// PATH holds only a stand-in xdg-open that reports its arguments through a FIFO.
class XdgDesktopTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        environment.set("PATH", folder.path().c_str());
        fifo = (folder.path() / "report").string();
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        environment.set("HX_TEST_FIFO", fifo.c_str());
        std::string tool = folder.write("xdg-open", "#!/bin/sh\necho \"$*\" > \"$HX_TEST_FIFO\"\n");
        ::chmod(tool.c_str(), 0755);
        // Read and write, so that opening never blocks and no hang-up shows before a report.
        reader = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
        ASSERT_GE(reader, 0);
    }
    void TearDown() override {
        ::close(reader);
        environment.restore();
        ControllerTest::TearDown();
    }
    // The arguments of the next start of the stand-in.
    std::string nextReport() {
        pollfd ready{reader, POLLIN, 0};
        if (::poll(&ready, 1, 30000) != 1) return "(no report)";
        char line[512] = {};
        ssize_t n = ::read(reader, line, sizeof line - 1);
        return n > 0 ? std::string(line, static_cast<size_t>(n)) : "(empty report)";
    }

    struct Environment {
        void set(const char* name, const char* value) {
            const char* old = std::getenv(name);
            saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            ::setenv(name, value, 1);
        }
        void restore() {
            for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
                if (it->second)
                    ::setenv(it->first.c_str(), it->second->c_str(), 1);
                else
                    ::unsetenv(it->first.c_str());
            }
            saved.clear();
        }
        std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    };

    TemporaryFolder folder;
    Environment environment;
    std::string fifo;
    int reader = -1;
    ui::desktop::XdgDesktop desktop;
};

TEST_F(XdgDesktopTest, URLsGoToXdgOpen) {
    ASSERT_TRUE(
        desktop.openURL(*NSURL::URLWithString("mailto:help@halidex.invalid?subject=A%20B")));
    EXPECT_EQ(nextReport(), "mailto:help@halidex.invalid?subject=A%20B\n");

    std::string photo = folder.write("a photo.jpg", "jpeg");
    ASSERT_TRUE(desktop.openURL(NSURL::fileURLWithPath(photo)));
    EXPECT_EQ(nextReport(), "file://" + folder.path().string() + "/a%20photo.jpg\n");
}

TEST_F(XdgDesktopTest, AMissingFileIsNotOpened) {
    log::CaptureScope log;
    EXPECT_FALSE(desktop.openURL(NSURL::fileURLWithPath(folder.path().string() + "/gone.jpg")));
    EXPECT_FALSE(desktop.showInFileManager(folder.path().string() + "/gone.jpg"));
    EXPECT_TRUE(log.contains("no such file")) << ::testing::PrintToString(log.messages());
}

TEST_F(XdgDesktopTest, WithoutAFileManagerOnTheBusTheFolderOpens) {
    log::CaptureScope log;  // dbus-send is not on PATH
    std::string photo = folder.write("shot.jpg", "jpeg");
    ASSERT_TRUE(desktop.showInFileManager(photo));
    EXPECT_EQ(nextReport(), folder.path().string() + "\n");
}

TEST_F(XdgDesktopTest, CopyPutsTheFileOnTheClipboardAsFileManagersPasteIt) {
    std::string photo = folder.write("shot.jpg", "jpeg");
    ASSERT_TRUE(desktop.copyFileToClipboard(photo));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    ASSERT_EQ(data->urls().size(), 1);
    EXPECT_EQ(data->urls().front().toLocalFile().toStdString(), photo);
    EXPECT_EQ(data->data("x-special/gnome-copied-files").toStdString(),
              "copy\nfile://" + folder.path().string() + "/shot.jpg");
}

TEST_F(XdgDesktopTest, AnnotationsBecomeExtendedAttributes) {
    std::string photo = folder.write("shot.jpg", "jpeg");
    if (::setxattr(photo.c_str(), "user.probe", "1", 1, 0) != 0)
        GTEST_SKIP() << "the temporary folder keeps no user extended attributes: "
                     << std::strerror(errno);
    ASSERT_TRUE(desktop.annotateFile(photo, {{"tags", "HalidexCamera"}}));
    char value[64] = {};
    ssize_t n = ::getxattr(photo.c_str(), "user.xdg.tags", value, sizeof value);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(value, static_cast<size_t>(n)), "HalidexCamera");
}

}  // namespace
}  // namespace hx::testing

// Reload requests through real datagram sockets in a private runtime folder.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/log/CaptureScope.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"
#include "platform/widgetkit/WidgetCenter.h"
#include "platform/widgetkit/WidgetKitHelper.h"
#include "platform/widgetkit/WidgetReloadListener.h"

namespace hx {
namespace {

namespace fs = std::filesystem;

// A private HALIDEX_HOME; requests cross threads, so waits are on the real clock.
class WidgetReload : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "hx-widget-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        home_ = pattern;
        const char* old = std::getenv("HALIDEX_HOME");
        if (old) savedHome_ = old;
        ::setenv("HALIDEX_HOME", home_.c_str(), 1);
        RunLoop::main().bindToCurrentThread();
        RunLoop::main().discardPendingWork();
        Clock::useRealTime();
    }
    void TearDown() override {
        RunLoop::main().discardPendingWork();
        if (savedHome_)
            ::setenv("HALIDEX_HOME", savedHome_->c_str(), 1);
        else
            ::unsetenv("HALIDEX_HOME");
        std::error_code ec;
        fs::remove_all(home_, ec);
    }
    static bool waitFor(const std::function<bool()>& done) {
        return RunLoop::main().runUntil(done, 10);
    }
    // A socket file whose listener has gone, as a crashed host leaves behind.
    static std::string makeStaleSocket(const std::string& name) {
        fs::create_directories(WidgetCenter::hostsDirectory());
        const std::string path = WidgetCenter::hostsDirectory() + "/" + name;
        const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
        return path;
    }

    std::string home_;
    std::optional<std::string> savedHome_;
};

TEST_F(WidgetReload, NoHostRunningIsNotAnError) {
    log::CaptureScope capture;
    EXPECT_EQ(WidgetCenter::shared().reloadAllTimelines(), 0u);
    WidgetKitHelper::reloadAllWidgets();
    EXPECT_TRUE(capture.messages().empty());
}

TEST_F(WidgetReload, EveryRunningHostHearsTheRequestOnTheMainThread) {
    int first = 0;
    bool firstOnMain = false;
    std::atomic<int> second{0};
    WidgetReloadListener a([&] {
        ++first;
        firstOnMain = RunLoop::isMainThread();
    });
    WidgetReloadListener b([&] { ++second; });
    std::string error;
    ASSERT_TRUE(a.start(&error)) << error;
    ASSERT_TRUE(b.start(&error)) << error;
    EXPECT_NE(a.socketPath(), b.socketPath());
    EXPECT_EQ(fs::path(a.socketPath()).parent_path(), fs::path(WidgetCenter::hostsDirectory()));

    EXPECT_EQ(WidgetCenter::shared().reloadAllTimelines(), 2u);
    ASSERT_TRUE(waitFor([&] { return first == 1 && second == 1; }));
    EXPECT_TRUE(firstOnMain);

    // The camera's call goes the same way.
    WidgetKitHelper::reloadAllWidgets();
    ASSERT_TRUE(waitFor([&] { return first == 2 && second == 2; }));
}

TEST_F(WidgetReload, StaleSocketsAreRemovedQuietlyAndOtherFilesLeftAlone) {
    const std::string stale = makeStaleSocket("host-999999-0.sock");
    std::ofstream(WidgetCenter::hostsDirectory() + "/notes.txt") << "not a socket\n";
    int heard = 0;
    WidgetReloadListener live([&] { ++heard; });
    ASSERT_TRUE(live.start());

    log::CaptureScope capture;
    EXPECT_EQ(WidgetCenter::shared().reloadAllTimelines(), 1u);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(WidgetCenter::hostsDirectory() + "/notes.txt"));
    EXPECT_TRUE(capture.messages().empty());
    ASSERT_TRUE(waitFor([&] { return heard == 1; }));
}

TEST_F(WidgetReload, ListenerAnswersOnlyReloadRequests) {
    int heard = 0;
    WidgetReloadListener listener([&] { ++heard; });
    ASSERT_TRUE(listener.start());
    log::CaptureScope capture;

    // A stranger's datagram, then a real request: datagrams arrive in order, so by the time the
    // request has been answered the stranger's has been read and dropped.
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, listener.socketPath().c_str(), sizeof address.sun_path - 1);
    const char hello[] = "hello";
    ASSERT_GT(::sendto(fd, hello, sizeof hello - 1, 0, reinterpret_cast<sockaddr*>(&address),
                       sizeof address),
              0);
    ::close(fd);
    ASSERT_TRUE(waitFor([&] { return capture.contains("unknown request"); }));
    EXPECT_EQ(heard, 0);
    WidgetCenter::shared().reloadAllTimelines();
    ASSERT_TRUE(waitFor([&] { return heard == 1; }));
}

TEST_F(WidgetReload, ARequestWithMoreAfterItIsRefusedWholeNotCutToSize) {
    int heard = 0;
    WidgetReloadListener listener([&] { ++heard; });
    ASSERT_TRUE(listener.start());
    log::CaptureScope capture;

    // The request followed by far more than a request may hold: read cut to the buffer's size
    // it would be the request and trailing junk; it is measured whole and refused.
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, listener.socketPath().c_str(), sizeof address.sun_path - 1);
    const std::string big =
        std::string(WidgetCenter::kReloadAllTimelinesMessage) + "\n" + std::string(4000, 'x');
    ASSERT_GT(::sendto(fd, big.data(), big.size(), 0, reinterpret_cast<sockaddr*>(&address),
                       sizeof address),
              0);
    ::close(fd);
    ASSERT_TRUE(waitFor([&] { return capture.contains("4021 bytes"); }));
    EXPECT_TRUE(capture.contains("more than the 256"));
    EXPECT_EQ(heard, 0);
}

TEST_F(WidgetReload, StoppedListenerLeavesNoSocketAndHearsNothingMore) {
    int heard = 0;
    WidgetReloadListener listener([&] { ++heard; });
    ASSERT_TRUE(listener.start());
    const std::string path = listener.socketPath();
    EXPECT_EQ(WidgetCenter::shared().reloadAllTimelines(), 1u);
    // Whether or not the request got as far as the main queue, stop() has the last word.
    listener.stop();
    EXPECT_FALSE(listener.isListening());
    EXPECT_FALSE(fs::exists(path));
    RunLoop::main().runOnce(0);
    EXPECT_EQ(heard, 0);
    EXPECT_EQ(WidgetCenter::shared().reloadAllTimelines(), 0u);
}

TEST_F(WidgetReload, ListenerExplainsWhyItCannotStart) {
    // The hosts folder cannot be made when a file stands in its way.
    fs::create_directories(fs::path(WidgetCenter::hostsDirectory()).parent_path());
    std::ofstream(WidgetCenter::hostsDirectory()) << "in the way\n";
    WidgetReloadListener listener([] {});
    std::string error;
    EXPECT_FALSE(listener.start(&error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(listener.isListening());
    EXPECT_EQ(WidgetCenter::shared().reloadAllTimelines(), 0u);
}

}  // namespace
}  // namespace hx

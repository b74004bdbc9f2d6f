// One halidex per user, between real processes: a second launch forwards its request to the
// primary, whose handler hears it on the main thread; a dead primary's socket is replaced;
// malformed requests are refused without harm; simultaneous launches elect one primary.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "app/shell/SingleInstance.h"
#include "platform/log/Log.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"

extern char** environ;

namespace hx::app {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class SingleInstanceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Clock::useRealTime();
        RunLoop::main().bindToCurrentThread();
        RunLoop::main().discardPendingWork();
        char pattern[] = "/tmp/hxsi-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
        directory = folder + "/runtime";
    }

    void TearDown() override {
        for (pid_t pid : children) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        RunLoop::main().discardPendingWork();
        std::filesystem::remove_all(folder);
    }

    // Starts the helper; its standard output goes to a file of its own.
    pid_t launch(const std::string& request, double hold, std::string* outputPath) {
        *outputPath = folder + "/out-" + std::to_string(serial++);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath->c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::string holdText = std::to_string(hold);
        const char* argv[] = {HX_SINGLE_INSTANCE_HELPER, directory.c_str(), request.c_str(),
                              holdText.c_str(), nullptr};
        pid_t pid = -1;
        int failed = ::posix_spawn(&pid, HX_SINGLE_INSTANCE_HELPER, &actions, nullptr,
                                   const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(failed, 0) << std::strerror(failed);
        if (pid > 0) children.push_back(pid);
        return pid;
    }

    // The exit status of a helper (waits for it).
    int exitStatus(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        std::erase(children, pid);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // Waits (up to 10 s of real time) for a helper to print its first line.
    bool waitForOutput(const std::string& path) {
        for (int i = 0; i < 1000; ++i) {
            if (readFile(path).find('\n') != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Collects the requests the primary's handler hears, and whether on the main thread.
    void listen(SingleInstance& primary) {
        primary.setRequestHandler([this](const std::string& request) {
            received.push_back(request);
            onMainThread = onMainThread && RunLoop::isMainThread();
        });
    }

    bool receive(size_t n) {
        return RunLoop::main().runUntil([&] { return received.size() >= n; }, 10);
    }

    // A raw client's exchange: sends the bytes (closing without a read when `read` is false).
    std::string exchange(const std::string& bytes, const std::string& path) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return "no connection";
        }
        if (!bytes.empty()) ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_WR);
        std::string answer;
        char buffer[64];
        ssize_t n;
        while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) answer.append(buffer, size_t(n));
        ::close(fd);
        return answer;
    }

    std::string folder, directory;
    std::vector<pid_t> children;
    int serial = 0;
    std::vector<std::string> received;
    bool onMainThread = true;
};

TEST_F(SingleInstanceTest, RequestsOfTheProtocol) {
    for (const char* good : {"activate", "action takephoto", "action takeselfie"})
        EXPECT_TRUE(SingleInstance::isValidRequest(good)) << good;
    for (const char* bad :
         {"", "Activate", "activate ", " activate", "action", "action ", "action takevideo",
          "action takephoto ", "action  takephoto", "action takephoto\n", "quit"})
        EXPECT_FALSE(SingleInstance::isValidRequest(bad)) << bad;
    EXPECT_EQ(SingleInstance::requestForAction(""), "activate");
    EXPECT_EQ(SingleInstance::requestForAction("takeselfie"), "action takeselfie");
}

TEST_F(SingleInstanceTest, SecondLaunchForwardsItsActionToThePrimaryOnTheMainThread) {
    std::string error;
    auto primary = SingleInstance::acquireIn(directory, &error);
    ASSERT_TRUE(primary) << error;
    ASSERT_TRUE(primary->isPrimary());
    EXPECT_EQ(primary->socketPath(), directory + "/halidex.sock");
    struct stat info {};
    ASSERT_EQ(::stat(directory.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    listen(*primary);

    std::string output;
    pid_t second = launch("action takephoto", 0, &output);
    EXPECT_EQ(exitStatus(second), 0);
    EXPECT_EQ(readFile(output), "forwarded\n");
    ASSERT_TRUE(receive(1));
    EXPECT_EQ(received, std::vector<std::string>{"action takephoto"});
    EXPECT_TRUE(onMainThread);

    // Within one process a second election loses too (the lock is per open file).
    auto other = SingleInstance::acquireIn(directory, &error);
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->isPrimary());
    EXPECT_TRUE(other->forward("activate", &error)) << error;
    EXPECT_FALSE(other->forward("format the disk", &error));
    ASSERT_TRUE(receive(2));
    EXPECT_EQ(received.back(), "activate");
}

TEST_F(SingleInstanceTest, ARunningPrimaryInAnotherProcessHearsTheRequests) {
    std::string primaryOutput;
    pid_t primary = launch("activate", 3, &primaryOutput);
    ASSERT_TRUE(waitForOutput(primaryOutput));
    ASSERT_EQ(readFile(primaryOutput), "primary\n");
    std::string error;
    auto second = SingleInstance::acquireIn(directory, &error);
    ASSERT_TRUE(second) << error;
    ASSERT_FALSE(second->isPrimary());
    EXPECT_TRUE(second->forward("action takeselfie", &error)) << error;
    EXPECT_EQ(exitStatus(primary), 0);
    EXPECT_EQ(readFile(primaryOutput), "primary\nrequest action takeselfie\n");
}

TEST_F(SingleInstanceTest, RequestsBeforeAHandlerWaitForIt) {
    std::string error;
    auto primary = SingleInstance::acquireIn(directory, &error);
    ASSERT_TRUE(primary && primary->isPrimary()) << error;
    auto second = SingleInstance::acquireIn(directory, &error);
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->forward("action takeselfie", &error)) << error;
    EXPECT_TRUE(second->forward("activate", &error)) << error;
    RunLoop::main().runUntil([] { return false; }, 0.1);
    listen(*primary);
    ASSERT_TRUE(receive(2));
    EXPECT_EQ(received, (std::vector<std::string>{"action takeselfie", "activate"}));
}

TEST_F(SingleInstanceTest, ADeadPrimarysSocketIsReplaced) {
    std::string output;
    pid_t dead = launch("activate", 60, &output);
    ASSERT_TRUE(waitForOutput(output));
    ASSERT_EQ(readFile(output), "primary\n");
    ::kill(dead, SIGKILL);
    EXPECT_EQ(exitStatus(dead), 128 + SIGKILL);
    ASSERT_TRUE(std::filesystem::exists(directory + "/halidex.sock")) << "left behind";

    std::string error;
    auto primary = SingleInstance::acquireIn(directory, &error);
    ASSERT_TRUE(primary) << error;
    EXPECT_TRUE(primary->isPrimary());
    listen(*primary);
    pid_t second = launch("action takephoto", 0, &output);
    EXPECT_EQ(exitStatus(second), 0);
    EXPECT_EQ(readFile(output), "forwarded\n");
    ASSERT_TRUE(receive(1));

    // Gone with the primary: socket removed, lock free for the next.
    primary.reset();
    EXPECT_FALSE(std::filesystem::exists(directory + "/halidex.sock"));
    auto next = SingleInstance::acquireIn(directory, &error);
    ASSERT_TRUE(next);
    EXPECT_TRUE(next->isPrimary());
}

TEST_F(SingleInstanceTest, ASecondaryWithoutAnAnsweringPrimaryFails) {
    std::string error;
    auto primary = SingleInstance::acquireIn(directory, &error);
    ASSERT_TRUE(primary);
    auto second = SingleInstance::acquireIn(directory, &error);
    ASSERT_TRUE(second);
    // The socket taken away under a live primary: the secondary gives up after its time-out.
    std::filesystem::remove(primary->socketPath());
    EXPECT_FALSE(second->forward("activate", &error, 0.2));
    EXPECT_NE(error.find("does not answer"), std::string::npos) << error;
}

TEST_F(SingleInstanceTest, MalformedRequestsAreRefusedAndLogged) {
    std::vector<std::string> logged;
    auto previous = log::setSink([&](std::string_view m) { logged.emplace_back(m); });
    std::string error;
    auto primary = SingleInstance::acquireIn(directory, &error);
    ASSERT_TRUE(primary) << error;
    listen(*primary);
    const std::string& path = primary->socketPath();
    EXPECT_EQ(exchange("rm -rf /\n", path), "refused\n");
    EXPECT_EQ(exchange("ACTIVATE\n", path), "refused\n");
    EXPECT_EQ(exchange("action takephoto please\n", path), "refused\n");
    EXPECT_EQ(exchange(std::string("\x01\xff\0\n", 4), path), "refused\n");
    EXPECT_EQ(exchange(std::string(10000, 'x'), path), "refused\n");
    EXPECT_EQ(exchange("", path), "refused\n") << "a client that sends nothing";
    EXPECT_EQ(exchange("activate", path), "refused\n") << "no newline before the end";
    EXPECT_EQ(exchange("activate\r\n", path), "ok\n");
    ASSERT_TRUE(receive(1));
    RunLoop::main().runUntil([] { return false; }, 0.05);
    EXPECT_EQ(received, std::vector<std::string>{"activate"});
    log::setSink(previous);
    EXPECT_EQ(logged.size(), 7u);
    for (const auto& line : logged) {
        EXPECT_EQ(line.rfind("halidex: refused a request", 0), 0u) << line;
        for (char c : line) EXPECT_TRUE(c >= 0x20 && c < 0x7f) << "unprintable byte logged";
    }
}

TEST_F(SingleInstanceTest, SimultaneousLaunchesElectExactlyOnePrimary) {
    constexpr int kLaunches = 5;
    std::vector<pid_t> pids;
    std::vector<std::string> outputs(kLaunches);
    for (int i = 0; i < kLaunches; ++i) pids.push_back(launch("activate", 2, &outputs[i]));
    int primaries = 0, forwarded = 0;
    for (int i = 0; i < kLaunches; ++i) {
        EXPECT_EQ(exitStatus(pids[i]), 0);
        std::string text = readFile(outputs[i]);
        if (text.rfind("primary\n", 0) == 0) {
            ++primaries;
            EXPECT_EQ(count(text, "request activate\n"), kLaunches - 1) << text;
            EXPECT_EQ(count(text, "not on the main thread"), 0);
        } else {
            EXPECT_EQ(text, "forwarded\n");
            ++forwarded;
        }
    }
    EXPECT_EQ(primaries, 1);
    EXPECT_EQ(forwarded, kLaunches - 1);
}

}  // namespace
}  // namespace hx::app

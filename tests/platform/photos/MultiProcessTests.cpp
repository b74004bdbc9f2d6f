// Several processes on one library: a writer killed at random points of a stream of saves, and
// two processes that write and observe at the same time. The second program is
// hx_photos_test_writer (PhotosWriterProcess.cpp); sqlite3, when installed, checks the database
// independently.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>
#include <sstream>

#include "platform/photos/store/LibraryStore.h"
#include "platform/photos/store/PicturesFolder.h"
#include "tests/platform/photos/PhotosTestSupport.h"
#include "tests/platform/photos/SqliteTool.h"

namespace hx::photos::testing {
namespace {

namespace fs = std::filesystem;

// A child process with its stdin and stdout on pipes.
class Child {
  public:
    explicit Child(const std::vector<std::string>& arguments) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        std::vector<char*> argv;
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            close(in[0]);
            close(in[1]);
            close(out[0]);
            close(out[1]);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        input_ = in[1];
        output_ = out[0];
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
        if (input_ >= 0) close(input_);
        if (output_ >= 0) close(output_);
    }

    bool started() const { return pid_ > 0; }
    void kill(int signal) { ::kill(pid_, signal); }
    int wait() {
        int status = 0;
        if (pid_ > 0) waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }
    void send(const std::string& line) {
        std::string text = line + "\n";
        EXPECT_EQ(write(input_, text.data(), text.size()), ssize_t(text.size()));
    }

    // The whole lines that arrive within `seconds`; with a negative time, until end of file.
    std::vector<std::string> readLines(double seconds) {
        auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::duration<double>(seconds));
        std::vector<std::string> lines;
        while (fill(seconds < 0 ? -1 : millisecondsUntil(deadline))) {
            for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
                lines.push_back(pending_.substr(0, end));
                pending_.erase(0, end + 1);
            }
        }
        return lines;
    }

    // The next line, or nothing when none comes within `seconds`.
    std::string readLine(double seconds) {
        auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::duration<double>(seconds));
        while (pending_.find('\n') == std::string::npos) {
            if (!fill(millisecondsUntil(deadline))) return {};
        }
        size_t end = pending_.find('\n');
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return line;
    }

  private:
    static int millisecondsUntil(std::chrono::steady_clock::time_point deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        return std::max(0, int(left.count()));
    }

    // Reads what arrives within `milliseconds` (-1: no limit); false at the time-out or end of
    // file.
    bool fill(int milliseconds) {
        pollfd fd{output_, POLLIN, 0};
        if (poll(&fd, 1, milliseconds) <= 0) return false;
        char buffer[4096];
        ssize_t n = read(output_, buffer, sizeof buffer);
        if (n <= 0) return false;
        pending_.append(buffer, size_t(n));
        return true;
    }

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string pending_;
};

class MultiProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/hx-photos-processes-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = pattern;
        environment_.set("HALIDEX_HOME", home_.c_str());
        environment_.set(LibraryAuthorization::kEnvironmentVariable, "authorized");
    }
    void TearDown() override {
        environment_.restore();
        std::error_code ignored;
        fs::remove_all(home_, ignored);
    }

    std::string writer() const {
        return std::string(HX_TEST_BINARY_DIR) + "/tests/platform/photos/hx_photos_test_writer";
    }

    std::string home_;
    hx::testing::ScopedEnvironment environment_;
};

TEST_F(MultiProcessTest, AWriterKilledMidSaveLosesNothingItReported) {
    std::mt19937 random(std::random_device{}());
    std::set<std::string> reported;
    constexpr int kRounds = 6;
    for (int round = 0; round < kRounds; ++round) {
        Child child({writer(), "save"});
        ASSERT_TRUE(child.started());
        // Once it has saved something, let it go on for a random while, then kill it wherever
        // it is.
        std::string first = child.readLine(20);
        ASSERT_FALSE(first.empty()) << "the writer saved nothing";
        reported.insert(first);
        double seconds = double(random() % 200) / 1000;
        for (const auto& line : child.readLines(seconds)) reported.insert(line);
        child.kill(SIGKILL);
        // Lines it wrote before it died were reported as saved too.
        for (const auto& line : child.readLines(-1)) reported.insert(line);
        int status = child.wait();
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;
    }

    std::string error;
    auto store = LibraryStore::open({}, &error);
    ASSERT_TRUE(store) << error;
    if (auto integrity = sqliteTool(store->databasePath(), "PRAGMA integrity_check")) {
        EXPECT_EQ(*integrity, "ok");
    }
    std::set<std::string> rows;
    std::set<std::string> named;
    for (const AssetRecord& record : store->assets()) {
        rows.insert(record.localIdentifier);
        std::string path = store->originalPath(record);
        named.insert(path);
        EXPECT_TRUE(fs::exists(path)) << record.localIdentifier << " has no file";
    }
    for (const std::string& identifier : reported) {
        EXPECT_TRUE(rows.count(identifier)) << identifier << " was reported saved but is gone";
    }
    // A kill between writing a file and committing its row leaves the file; opening the
    // library swept it (and any temporary file).
    std::error_code ignored;
    for (const std::string& root : {store->folder() + "/originals", cameraFolder()}) {
        for (const auto& entry : fs::recursive_directory_iterator(root, ignored)) {
            if (entry.is_regular_file()) {
                EXPECT_TRUE(named.count(entry.path().string())) << entry.path() << " has no row";
            }
        }
    }
    // Every asset made it into the album in the same transaction.
    auto albums = store->albumsWithTitle("Stress");
    ASSERT_EQ(albums.size(), 1u);
    EXPECT_EQ(store->assetsInAlbum(albums[0].localIdentifier).size(), rows.size());
}

TEST_F(MultiProcessTest, TwoProcessesWriteAndObserveEveryChange) {
    // Both open the library before either writes, so each hears every change.
    { ASSERT_TRUE(LibraryStore::open({})); }
    constexpr int kEach = 20;
    std::string total = std::to_string(2 * kEach);
    Child first({writer(), "exchange", std::to_string(kEach), total});
    Child second({writer(), "exchange", std::to_string(kEach), total});
    ASSERT_TRUE(first.started() && second.started());
    ASSERT_EQ(first.readLine(20), "ready");
    ASSERT_EQ(second.readLine(20), "ready");
    first.send("go");
    second.send("go");
    std::string expected = "changes " + total + " assets " + total + " locked 0";
    EXPECT_EQ(first.readLine(90), expected);
    EXPECT_EQ(second.readLine(90), expected);
    int firstStatus = first.wait(), secondStatus = second.wait();
    EXPECT_TRUE(WIFEXITED(firstStatus) && WEXITSTATUS(firstStatus) == 0);
    EXPECT_TRUE(WIFEXITED(secondStatus) && WEXITSTATUS(secondStatus) == 0);
    auto store = LibraryStore::open({});
    ASSERT_TRUE(store);
    EXPECT_EQ(store->assets().size(), size_t(2 * kEach));
}

TEST_F(MultiProcessTest, TwoFirstOpensWaitForEachOtherAndMakeOneAlbumOfATitle) {
    // Each round, two processes open a library folder that does not exist yet at the same
    // moment, and each files a photo into the album "Trip", made by whichever comes first.
    constexpr int kRounds = 6;
    for (int round = 0; round < kRounds; ++round) {
        std::string folder = home_ + "/first-open-" + std::to_string(round);
        Child first({writer(), "trip", folder});
        Child second({writer(), "trip", folder});
        ASSERT_TRUE(first.started() && second.started());
        ASSERT_EQ(first.readLine(20), "ready");
        ASSERT_EQ(second.readLine(20), "ready");
        first.send("go");
        second.send("go");
        EXPECT_EQ(first.readLine(60), "saved") << "round " << round;
        EXPECT_EQ(second.readLine(60), "saved") << "round " << round;
        int firstStatus = first.wait(), secondStatus = second.wait();
        EXPECT_TRUE(WIFEXITED(firstStatus) && WEXITSTATUS(firstStatus) == 0);
        EXPECT_TRUE(WIFEXITED(secondStatus) && WEXITSTATUS(secondStatus) == 0);

        auto store = LibraryStore::open(folder);
        ASSERT_TRUE(store);
        auto albums = store->albumsWithTitle("Trip");
        ASSERT_EQ(albums.size(), 1u) << "round " << round;
        EXPECT_EQ(store->assetsInAlbum(albums[0].localIdentifier).size(), 2u);
        if (auto integrity = sqliteTool(store->databasePath(), "PRAGMA integrity_check")) {
            EXPECT_EQ(*integrity, "ok");
        }
    }
}

}  // namespace
}  // namespace hx::photos::testing

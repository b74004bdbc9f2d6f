#include "platform/paths/FileAccess.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/paths/SettingFile.h"

namespace {

namespace fs = std::filesystem;
using hx::paths::ReadFailure;
using hx::paths::readWholeFile;
using hx::paths::writeFileAtomically;

class FileAccessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("hx-file-access-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    std::vector<std::string> folderNames() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path folder_;
};

// Runs `body` in a child process that exits with 0 when it returns true.
pid_t spawn(const std::function<bool()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body() ? 0 : 1);
    return pid;
}

int exitStatus(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(FileAccessTest, ReadsWholeFilesAndTellsMissingFromUnreadable) {
    const std::string file = path("data");
    const std::string text("line one\n\0binary\xff", 17);
    ASSERT_TRUE(writeFileAtomically(file, text));
    std::string read;
    ASSERT_TRUE(readWholeFile(file, read));
    EXPECT_EQ(read, text);
    std::vector<uint8_t> bytes;
    struct stat info {};
    ASSERT_TRUE(readWholeFile(file, bytes, nullptr, hx::paths::kMaxWholeFileBytes, &info));
    EXPECT_EQ(bytes.size(), text.size());
    EXPECT_EQ(info.st_size, static_cast<off_t>(text.size()));

    ReadFailure failure;
    EXPECT_FALSE(readWholeFile(path("absent"), read, &failure));
    EXPECT_TRUE(failure.missing);
    EXPECT_NE(failure.message.find("cannot open"), std::string::npos) << failure.message;

    failure = {};
    EXPECT_FALSE(readWholeFile(folder_.string(), read, &failure));
    EXPECT_FALSE(failure.missing);
    EXPECT_NE(failure.message.find("not a regular file"), std::string::npos) << failure.message;

    failure = {};
    EXPECT_FALSE(readWholeFile(file, read, &failure, 4));
    EXPECT_FALSE(failure.missing);
    EXPECT_NE(failure.message.find("too large"), std::string::npos) << failure.message;
}

TEST_F(FileAccessTest, WritesHonourTheModeAndLeaveNoTemporaryFiles) {
    const std::string file = path("private");
    ASSERT_TRUE(writeFileAtomically(file, "secret", nullptr, 0600));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(writeFileAtomically(file, ""));
    std::string read = "x";
    ASSERT_TRUE(readWholeFile(file, read));
    EXPECT_EQ(read, "");
    EXPECT_EQ(folderNames(), std::vector<std::string>{"private"});

    std::string error;
    EXPECT_FALSE(writeFileAtomically(path("no-such-folder/file"), "x", &error));
    EXPECT_NE(error.find("temporary"), std::string::npos) << error;
}

// Two processes replace one setting file as fast as they can while this one reads it: every read
// is one whole word of one writer, never empty, never a mix, and nothing is left beside it.
TEST_F(FileAccessTest, TwoProcessesWritingOneSettingNeverTearIt) {
    const std::string file = path("switch");
    const std::string shortWord = "a";
    const std::string longWord = "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb";
    ASSERT_TRUE(hx::paths::writeSettingWord(file, shortWord));
    auto writer = [&](const std::string& word) {
        return [&file, word] {
            for (int i = 0; i < 400; ++i)
                if (!hx::paths::writeSettingWord(file, word)) return false;
            return true;
        };
    };
    const pid_t first = spawn(writer(shortWord));
    const pid_t second = spawn(writer(longWord));
    int reads = 0;
    auto running = [](pid_t pid) {
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == 0;
    };
    auto childrenRunning = [&] { return running(first) || running(second); };
    while (childrenRunning() || reads < 100) {
        std::string error;
        const std::optional<std::string> word = hx::paths::readSettingWord(file, &error);
        ASSERT_TRUE(word.has_value()) << error;
        ASSERT_TRUE(*word == shortWord || *word == longWord) << "torn setting: \"" << *word << '"';
        ++reads;
    }
    EXPECT_EQ(exitStatus(first), 0);
    EXPECT_EQ(exitStatus(second), 0);
    EXPECT_EQ(folderNames(), std::vector<std::string>{"switch"});
}

// A writer killed at any moment of a write leaves the whole old file or the whole new one.
TEST_F(FileAccessTest, AWriterKilledMidWriteLeavesTheOldOrTheNewFile) {
    const std::string file = path("large");
    const std::string oldText(8 << 20, 'o');
    const std::string newText(24 << 20, 'n');
    for (int round = 0; round < 6; ++round) {
        ASSERT_TRUE(writeFileAtomically(file, oldText));
        const pid_t writer = spawn([&] {
            for (;;)
                if (!writeFileAtomically(file, newText)) return false;
        });
        // Kill it while a temporary file is being written, later in each round.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        bool writing = false;
        while (!writing && std::chrono::steady_clock::now() < deadline) {
            for (const std::string& name : folderNames())
                if (name != "large") writing = true;
            std::this_thread::yield();
        }
        for (int spin = 0; spin < round * 2000; ++spin) std::this_thread::yield();
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
        ASSERT_TRUE(writing) << "the writer never started a write";

        std::string read;
        ASSERT_TRUE(readWholeFile(file, read));
        ASSERT_TRUE(read == oldText || read == newText)
            << "round " << round << ": a torn file of " << read.size() << " bytes";
        for (const std::string& name : folderNames())
            if (name != "large") fs::remove(folder_ / name);  // the dead writer's temporary file
    }
}

}  // namespace

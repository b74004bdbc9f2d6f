// Opening the settings starts the settings tool found on PATH, detached.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "DefaultsTestSupport.h"
#include "platform/defaults/OpenSettings.h"
#include "platform/log/CaptureScope.h"

namespace {

class OpenSettings : public hx::test::TemporaryHome {
  protected:
    void SetUp() override {
        TemporaryHome::SetUp();
        savedPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        bin = home / "bin";
        std::filesystem::create_directories(bin);
        ::setenv("PATH", bin.c_str(), 1);
    }
    void TearDown() override {
        ::setenv("PATH", savedPath_.c_str(), 1);
        ::unsetenv("HX_TEST_FIFO");
        TemporaryHome::TearDown();
    }
    std::filesystem::path bin;

  private:
    std::string savedPath_;
};

TEST_F(OpenSettings, StartsTheToolFoundOnPathWithNoArguments) {
    // A stand-in for the tool that reports how it was started through a FIFO.
    std::string fifo = (home / "started").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::setenv("HX_TEST_FIFO", fifo.c_str(), 1);
    std::string tool = (bin / "halidex-settings").string();
    writeText(tool, "#!/bin/sh\necho \"started with $# arguments\" > \"$HX_TEST_FIFO\"\n");
    ::chmod(tool.c_str(), 0755);
    // Opened for reading and writing so that opening never blocks and polling never sees a
    // hang-up before the tool writes.
    int fd = ::open(fifo.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);

    ASSERT_TRUE(hx::openApplicationSettings());
    pollfd ready{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 30000), 1) << "the tool never reported";
    char line[64] = {};
    ssize_t n = ::read(fd, line, sizeof line - 1);
    ::close(fd);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(line, static_cast<size_t>(n)), "started with 0 arguments\n");
}

TEST_F(OpenSettings, MissingToolIsReportedNotFatal) {
    hx::log::CaptureScope log;
    EXPECT_FALSE(hx::openApplicationSettings());
    EXPECT_TRUE(log.contains("halidex-settings")) << ::testing::PrintToString(log.messages());
}

}  // namespace

#include "platform/log/Log.h"

#include <errno.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/log/CaptureScope.h"

namespace hx::log {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Points stderr at a temporary file for as long as it lives.
class StderrToFile {
  public:
    StderrToFile() {
        char path[] = "/tmp/hx_log_test_XXXXXX";
        fd_ = mkstemp(path);
        path_ = path;
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        dup2(fd_, STDERR_FILENO);
    }
    ~StderrToFile() {
        restore();
        close(fd_);
        unlink(path_.c_str());
    }
    std::string text() {
        restore();
        std::ifstream file(path_);
        std::stringstream contents;
        contents << file.rdbuf();
        return contents.str();
    }

  private:
    void restore() {
        if (saved_ < 0) return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
    }
    std::string path_;
    int fd_ = -1;
    int saved_ = -1;
};

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::string linePattern(const std::string& message) {
    return R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} )" +
           std::string(program_invocation_short_name) + R"(\[)" + std::to_string(getpid()) +
           R"(\] )" + message;
}

// Formats as hxLog does with a format made at run time: the compiler checks every literal format
// as printf's, and "%@" is no printf conversion.
std::string runtimeFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    return text;
}

TEST(LogFormat, ObjectDescriptionsMixWithPrintfConversions) {
    EXPECT_EQ(runtimeFormat("Error creating album: %@", "disk full"),
              "Error creating album: disk full");
    EXPECT_EQ(runtimeFormat("%d photos in %@ (%.1f%%)", 3, "Halidex", 42.5),
              "3 photos in Halidex (42.5%)");
    EXPECT_EQ(runtimeFormat("%@ then %@ then %ld", "first", "second", 7L),
              "first then second then 7");
}

TEST(LogFormat, EscapedPercentBeforeAtStaysLiteral) {
    EXPECT_EQ(runtimeFormat("100%%@ %@", "done"), "100%@ done");
    EXPECT_EQ(runtimeFormat("%%%@", "x"), "%x");
}

TEST(LogFormat, WidthAppliesToObjectsAndLengthModifiersAreIgnored) {
    EXPECT_EQ(runtimeFormat("[%-6@][%4@]", "ab", "cd"), "[ab    ][  cd]");
    EXPECT_EQ(runtimeFormat("[%.3@]", "truncated"), "[tru]");
    EXPECT_EQ(runtimeFormat("%l@", "narrow"), "narrow");
}

TEST(LogFormat, NullArgumentsAndLongMessagesAreSafe) {
    EXPECT_EQ(runtimeFormat("error %@", static_cast<const char*>(nullptr)), "error (null)");
    EXPECT_EQ(runtimeFormat(nullptr), "(null format)");
    const std::string longText(5000, 'x');
    EXPECT_EQ(runtimeFormat("<%@>", longText.c_str()), "<" + longText + ">");
}

TEST(LogSink, CapturesMessageTextWithoutPrefixOrNewline) {
    CaptureScope capture;
    hxLog("Failed to create pipeline state, error %s", "no such function");
    hxLog("Saved %d photos\n", 2);
    hxLog(nullptr);
    EXPECT_THAT(capture.messages(),
                ElementsAre("Failed to create pipeline state, error no such function",
                            "Saved 2 photos", "(null format)"));
    EXPECT_TRUE(capture.contains("pipeline state"));
    EXPECT_FALSE(capture.contains("album"));
}

TEST(LogSink, ScopesNestAndRestoreTheirPredecessor) {
    CaptureScope outer;
    hxLog("before");
    {
        CaptureScope inner;
        hxLog("inside");
        EXPECT_THAT(inner.messages(), ElementsAre("inside"));
    }
    hxLog("after");
    EXPECT_THAT(outer.messages(), ElementsAre("before", "after"));
}

TEST(LogSink, SinkReplacesStderrUntilReset) {
    StderrToFile stderrFile;
    std::vector<std::string> seen;
    Sink previous = setSink([&](std::string_view message) { seen.emplace_back(message); });
    EXPECT_FALSE(previous);
    hxLog("to the sink");
    resetSink();
    hxLog("to stderr");
    EXPECT_THAT(seen, ElementsAre("to the sink"));
    const auto lines = splitLines(stderrFile.text());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(linePattern("to stderr"))));
}

TEST(LogStderr, WritesOneStampedLinePerMessage) {
    StderrToFile stderrFile;
    hxLog("Error creating album: %s (%d)", "permission denied", 13);
    const std::string text = stderrFile.text();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    EXPECT_TRUE(std::regex_match(
        text, std::regex(linePattern(R"(Error creating album: permission denied \(13\))") + "\n")))
        << text;
}

constexpr int kThreads = 8;
constexpr int kMessagesPerThread = 250;

void logFromManyThreads() {
    const std::string padding(300, '.');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &padding] {
            for (int i = 0; i < kMessagesPerThread; ++i)
                hxLog("thread %d message %d %s end", t, i, padding.c_str());
        });
    for (auto& thread : threads) thread.join();
}

TEST(LogConcurrency, LinesFromManyThreadsStayWhole) {
    StderrToFile stderrFile;
    logFromManyThreads();
    const auto lines = splitLines(stderrFile.text());
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kMessagesPerThread));
    const std::regex pattern(linePattern(R"(thread (\d+) message (\d+) \.{300} end)"));
    std::set<std::pair<int, int>> seen;
    for (const auto& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, pattern)) << line;
        seen.emplace(std::stoi(match[1]), std::stoi(match[2]));
    }
    EXPECT_EQ(seen.size(), lines.size());
}

TEST(LogConcurrency, CaptureCollectsEveryMessageFromManyThreads) {
    CaptureScope capture;
    logFromManyThreads();
    const auto messages = capture.messages();
    EXPECT_EQ(messages.size(), static_cast<size_t>(kThreads * kMessagesPerThread));
    const std::regex pattern(R"(thread \d+ message \d+ \.{300} end)");
    for (const auto& message : messages) ASSERT_TRUE(std::regex_match(message, pattern));
    capture.clear();
    EXPECT_THAT(capture.messages(), IsEmpty());
}

}  // namespace
}  // namespace hx::log

#include "platform/paths/Permission.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/log/CaptureScope.h"
#include "platform/paths/SettingFile.h"
#include "tests/support/ScopedEnvironment.h"

namespace {

namespace fs = std::filesystem;

enum class Answer { Unknown = 0, Yes = 3, No = 2, Sometimes = 7 };

const hx::paths::Permission<Answer>& permission() {
    static const hx::paths::Permission<Answer> instance("test", "HX_PERMISSION_TEST_AUTH",
                                                        Answer::Unknown,
                                                        {{Answer::Yes, "yes"},
                                                         {Answer::Yes, "granted"},
                                                         {Answer::No, "no"},
                                                         {Answer::Sometimes, "sometimes"},
                                                         {Answer::Unknown, "unknown"}});
    return instance;
}

class PermissionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("hx-permission-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        env_.set("HX_PERMISSION_TEST_AUTH", nullptr);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string file() const { return (folder_ / "answer").string(); }

    fs::path folder_;
    hx::testing::ScopedEnvironment env_;
};

TEST_F(PermissionTest, WordsComeFromTheTableFirstWordWritten) {
    EXPECT_EQ(permission().parse(" Granted\n"), Answer::Yes);
    EXPECT_EQ(permission().parse("SOMETIMES"), Answer::Sometimes);
    EXPECT_EQ(permission().parse(""), Answer::Unknown) << "an empty setting is no answer";
    EXPECT_EQ(permission().parse("maybe"), std::nullopt);
    EXPECT_STREQ(permission().word(Answer::Yes), "yes");
    EXPECT_EQ(permission().wordList(), "yes, no, sometimes or unknown");
    for (Answer a : {Answer::Unknown, Answer::Yes, Answer::No, Answer::Sometimes})
        EXPECT_EQ(permission().parse(permission().word(a)), a);
}

TEST_F(PermissionTest, TheEnvironmentOverridesTheFileAndNotDeterminedRemovesIt) {
    EXPECT_EQ(permission().current(file()), Answer::Unknown);
    ASSERT_TRUE(permission().set(file(), Answer::No));
    EXPECT_EQ(hx::paths::readSettingWord(file()), "no");
    EXPECT_EQ(permission().current(file()), Answer::No);
    env_.set("HX_PERMISSION_TEST_AUTH", "sometimes");
    EXPECT_EQ(permission().current(file()), Answer::Sometimes);
    env_.set("HX_PERMISSION_TEST_AUTH", nullptr);
    ASSERT_TRUE(permission().set(file(), Answer::Unknown));
    EXPECT_FALSE(fs::exists(file()));
}

TEST_F(PermissionTest, UnknownWordsAreReportedOnceAndReadAsNotDetermined) {
    hx::log::CaptureScope log;
    env_.set("HX_PERMISSION_TEST_AUTH", "perhaps");
    ASSERT_TRUE(hx::paths::writeSettingWord(file(), "whatever"));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(permission().current(file()), Answer::Unknown);
    ASSERT_EQ(log.messages().size(), 1u);
    EXPECT_TRUE(log.contains("HX_PERMISSION_TEST_AUTH=perhaps is not one of yes, no"))
        << log.messages()[0];
    env_.set("HX_PERMISSION_TEST_AUTH", nullptr);
    EXPECT_EQ(permission().current(file()), Answer::Unknown);
    ASSERT_EQ(log.messages().size(), 2u);
    EXPECT_TRUE(log.contains("holds \"whatever\"")) << log.messages()[1];
}

TEST_F(PermissionTest, AskingHappensOnceAndAnUnansweredQuestionIsNotRecorded) {
    int questions = 0;
    EXPECT_EQ(permission().request(file(), [&] { return ++questions, Answer::Unknown; }),
              Answer::Unknown);
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_EQ(permission().request(file(), [&] { return ++questions, Answer::Sometimes; }),
              Answer::Sometimes);
    EXPECT_EQ(permission().request(file(), [&] { return ++questions, Answer::No; }),
              Answer::Sometimes)
        << "an answered question is not asked again";
    EXPECT_EQ(questions, 2);
    EXPECT_EQ(hx::paths::readSettingWord(file()), "sometimes");
}

}  // namespace

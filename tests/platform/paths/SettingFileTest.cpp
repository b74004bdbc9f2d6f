#include "platform/paths/SettingFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/ScopedEnvironment.h"

namespace {

namespace fs = std::filesystem;
using hx::paths::readSettingWord;

class SettingFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("hx-setting-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    void writeRaw(const std::string& name, const std::string& text) const {
        fs::create_directories(folder_);
        std::ofstream(path(name), std::ios::binary) << text;
    }

    fs::path folder_;
};

TEST_F(SettingFileTest, WordsAreComparedTrimmedLowerCaseWithDashes) {
    EXPECT_EQ(hx::paths::settingWord("  Not_Determined\n"), "not-determined");
    EXPECT_EQ(hx::paths::settingWord("\t\n "), "");
    writeRaw("answer", "\r\n  GRANTED \r\n");
    EXPECT_EQ(readSettingWord(path("answer")), "granted");
}

TEST_F(SettingFileTest, WriteMakesTheFolderAndReplacesTheWordWholly) {
    const std::string file = path("deeper/camera-authorization");
    std::string error;
    ASSERT_TRUE(hx::paths::writeSettingWord(file, "denied", &error)) << error;
    EXPECT_EQ(readSettingWord(file), "denied");
    ASSERT_TRUE(hx::paths::writeSettingWord(file, "authorized", &error)) << error;
    EXPECT_EQ(readSettingWord(file), "authorized");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "deeper"), fs::directory_iterator()),
              1)
        << "no temporary file is left beside the setting";
}

TEST_F(SettingFileTest, MissingAndRemovedSettingsReadAsAbsentWithoutError) {
    std::string error;
    EXPECT_EQ(readSettingWord(path("never-written"), &error), std::nullopt);
    EXPECT_TRUE(error.empty());
    ASSERT_TRUE(hx::paths::writeSettingWord(path("switch"), "off"));
    EXPECT_TRUE(hx::paths::removeSetting(path("switch"), &error)) << error;
    EXPECT_TRUE(hx::paths::removeSetting(path("switch"), &error)) << "removing twice is fine";
    EXPECT_EQ(readSettingWord(path("switch")), std::nullopt);
}

TEST_F(SettingFileTest, UnreadableOrOversizedSettingsAreNotTakenAsWords) {
    fs::create_directories(folder_ / "a-folder");
    std::string error;
    EXPECT_EQ(readSettingWord(path("a-folder"), &error), std::nullopt);
    EXPECT_NE(error.find("cannot read"), std::string::npos) << error;

    // A huge file is no one-word setting: refused with the reason, not read in full.
    writeRaw("huge", std::string(1 << 20, 'x'));
    error.clear();
    EXPECT_EQ(readSettingWord(path("huge"), &error), std::nullopt);
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
}

TEST_F(SettingFileTest, EnvironmentWordsOverrideOnlyWhenSet) {
    hx::testing::ScopedEnvironment env;
    env.set("HX_SETTING_TEST", nullptr);
    EXPECT_EQ(hx::paths::environmentSettingWord("HX_SETTING_TEST"), std::nullopt);
    env.set("HX_SETTING_TEST", "");
    EXPECT_EQ(hx::paths::environmentSettingWord("HX_SETTING_TEST"), std::nullopt);
    env.set("HX_SETTING_TEST", " When_In_Use ");
    EXPECT_EQ(hx::paths::environmentSettingWord("HX_SETTING_TEST"), "when-in-use");
}

TEST_F(SettingFileTest, AWriteThatCannotReplaceLeavesTheOldWordAndSaysWhy) {
    const std::string file = path("blocked");
    fs::create_directories(fs::path(file) / "inside");  // a folder where the file should be
    std::string error;
    EXPECT_FALSE(hx::paths::writeSettingWord(file, "on", &error));
    EXPECT_NE(error.find("cannot replace"), std::string::npos) << error;
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1)
        << "the temporary file is removed";
}

}  // namespace

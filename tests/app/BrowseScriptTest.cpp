// The script language's browsing commands: item, swipe and share, and their mistakes.

#include <gtest/gtest.h>

#include "app/shell/CameraScript.h"

namespace hx::app {
namespace {

std::string errorOf(const std::string& text) {
    std::string error;
    EXPECT_FALSE(CameraScript::parse(text, &error)) << text;
    return error;
}

TEST(BrowseScriptTest, ItemSwipeAndShareParse) {
    std::string error;
    auto script = CameraScript::parse(
        "item 0\nitem 12 # the thirteenth\nswipe left\nswipe right\n"
        "share /tmp/shared photos\nshare /tmp/out without-location\n"
        "share /tmp/without-location\n",
        &error);
    ASSERT_TRUE(script) << error;
    const auto& c = script->commands;
    ASSERT_EQ(c.size(), 7u);
    EXPECT_EQ(c[0].kind, ScriptCommandKind::Item);
    EXPECT_EQ(c[0].count, 0);
    EXPECT_EQ(c[1].count, 12);
    EXPECT_EQ(c[2].kind, ScriptCommandKind::Swipe);
    EXPECT_TRUE(c[2].option);
    EXPECT_FALSE(c[3].option);
    EXPECT_EQ(c[4].kind, ScriptCommandKind::Share);
    EXPECT_EQ(c[4].text, "/tmp/shared photos");
    EXPECT_FALSE(c[4].option);
    EXPECT_EQ(c[5].text, "/tmp/out");
    EXPECT_TRUE(c[5].option);
    // A folder whose name ends in the word is a folder, not the option.
    EXPECT_EQ(c[6].text, "/tmp/without-location");
    EXPECT_FALSE(c[6].option);
    EXPECT_STREQ(scriptCommandName(c[0].kind), "item");
    EXPECT_STREQ(scriptCommandName(c[2].kind), "swipe");
    EXPECT_STREQ(scriptCommandName(c[4].kind), "share");
}

TEST(BrowseScriptTest, MistakesNameTheirLine) {
    EXPECT_EQ(errorOf("wait 1\nitem\n"), "script line 2: item needs N");
    EXPECT_EQ(errorOf("item -1"),
              "script line 1: item: N must be a whole number from 0 to "
              "1000000, not '-1'");
    EXPECT_EQ(errorOf("item 1.5"),
              "script line 1: item: N must be a whole number from 0 to "
              "1000000, not '1.5'");
    EXPECT_EQ(errorOf("item 1 2"), "script line 1: item takes one N");
    EXPECT_EQ(errorOf("swipe up"), "script line 1: unknown swipe 'up' (left or right)");
    EXPECT_EQ(errorOf("swipe"), "script line 1: swipe needs left or right");
    EXPECT_EQ(errorOf("share"), "script line 1: share needs DIR");
    EXPECT_EQ(errorOf("share without-location"), "script line 1: share needs DIR");
}

}  // namespace
}  // namespace hx::app

// The shared command runner: exit status, standard error apart or together with standard
// output, and changes to the child's environment that leave this process's own untouched.

#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace hx::testsupport;

TEST(RunCommand, CollectsOutputAndExitStatus) {
    CommandResult result = runCommand("printf 'one\\ntwo'; echo hidden >&2; exit 3");
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.output, "one\ntwo");
    EXPECT_EQ(runCommand("kill -9 $$").status, -1);  // died of a signal
    EXPECT_EQ(linesOf(result.output), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(linesOf("a\n\nb\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(linesOf("").empty());
}

TEST(RunCommand, KeepsStandardErrorApartAndRemovesItsFile) {
    SeparateOutputs result = runCommandSeparately("echo out; echo err >&2; exit 2");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "out\n");
    EXPECT_EQ(result.err, "err\n");
    // A command that sends its standard error on to standard output keeps nothing apart.
    SeparateOutputs merged = runCommandSeparately("(echo err >&2) 2>&1");
    EXPECT_EQ(merged.out, "err\n");
    EXPECT_EQ(merged.err, "");
    // The file that held standard error is gone afterwards.
    const std::string file = runCommandSeparately("readlink /proc/self/fd/2").out;
    ASSERT_FALSE(file.empty());
    EXPECT_FALSE(std::filesystem::exists(file.substr(0, file.size() - 1))) << file;
}

TEST(RunCommand, ChangesOnlyTheChildsEnvironment) {
    ::setenv("HX_RUN_COMMAND_KEPT", "here", 1);
    ::setenv("HX_RUN_COMMAND_GONE", "here", 1);
    CommandResult result = runCommand(
        "echo \"$HX_RUN_COMMAND_SET|${HX_RUN_COMMAND_GONE-unset}|$HX_RUN_COMMAND_KEPT\"",
        {{"HX_RUN_COMMAND_SET", "it's a $value"}, {"HX_RUN_COMMAND_GONE", std::nullopt}});
    EXPECT_EQ(result.output, "it's a $value|unset|here\n");
    EXPECT_STREQ(std::getenv("HX_RUN_COMMAND_GONE"), "here");
    EXPECT_EQ(std::getenv("HX_RUN_COMMAND_SET"), nullptr);
    SeparateOutputs apart =
        runCommandSeparately("echo \"$HX_RUN_COMMAND_SET\" >&2", {{"HX_RUN_COMMAND_SET", "x"}});
    EXPECT_EQ(apart.err, "x\n");
    ::unsetenv("HX_RUN_COMMAND_KEPT");
    ::unsetenv("HX_RUN_COMMAND_GONE");
}

TEST(RunCommand, QuotesAnyTextAsOneShellWord) {
    for (const std::string text : {"", "plain", "two words", "it's", "'$HOME' `x` \"q\" \\ ;|&"})
        EXPECT_EQ(runCommand("printf %s " + shellQuoted(text)).output, text) << text;
}

}  // namespace

// The halidex command line: options, values after "=", help, and bad usage as status 2.

#include <gtest/gtest.h>

#include "app/shell/CommandLine.h"

namespace hx::app {
namespace {

CommandLineResult parse(std::vector<std::string> arguments) {
    return parseCommandLine(arguments);
}

TEST(CommandLineTest, ReadsEveryOption) {
    auto result =
        parse({"--device", "tablet", "--headless", "--script", "-", "--action", "takeselfie"});
    ASSERT_FALSE(result.exitStatus);
    EXPECT_EQ(result.options.device, "tablet");
    EXPECT_TRUE(result.options.headless);
    EXPECT_EQ(result.options.script, "-");
    EXPECT_EQ(result.options.action, "takeselfie");

    auto attached = parse({"--device=small-phone", "--script=run.txt", "--action=takephoto"});
    ASSERT_FALSE(attached.exitStatus);
    EXPECT_EQ(attached.options.device, "small-phone");
    EXPECT_EQ(attached.options.script, "run.txt");
    EXPECT_EQ(attached.options.action, "takephoto");
    EXPECT_FALSE(attached.options.headless);

    auto none = parse({});
    EXPECT_FALSE(none.exitStatus);
    EXPECT_TRUE(none.options.script.empty());
}

TEST(CommandLineTest, HelpPrintsTheUsageAndEndsWithZero) {
    auto result = parse({"--headless", "--help"});
    ASSERT_TRUE(result.exitStatus);
    EXPECT_EQ(*result.exitStatus, 0);
    EXPECT_EQ(result.text, commandLineUsage());
    EXPECT_EQ(parse({"-h"}).exitStatus, 0);
}

TEST(CommandLineTest, BadUsageIsStatusTwoWithAMessage) {
    struct Case {
        std::vector<std::string> arguments;
        const char* message;
    };
    for (const Case& c : {
             Case{{"--action", "takevideo"}, "--action takes takephoto or takeselfie"},
             Case{{"--action"}, "--action takes takephoto or takeselfie"},
             Case{{"--action="}, "--action takes takephoto or takeselfie"},
             Case{{"--device"}, "--device needs a profile"},
             Case{{"--script"}, "--script needs a file or -"},
             Case{{"--script", ""}, "--script needs a file or -"},
             Case{{"--frobnicate"}, "unknown option --frobnicate"},
             Case{{"photo.jpg"}, "unexpected argument photo.jpg"},
             Case{{"-"}, "unexpected argument -"},
             Case{{"--headless=yes"}, "--headless takes no value"},
             Case{{"--device", "a", "--device", "b"}, "--device given twice"},
             Case{{"--script", "a", "--script=b"}, "--script given twice"},
         }) {
        auto result = parse(c.arguments);
        ASSERT_TRUE(result.exitStatus) << c.message;
        EXPECT_EQ(*result.exitStatus, 2) << c.message;
        EXPECT_EQ(result.text, std::string("halidex: ") + c.message + "\n" + commandLineUsage());
    }
}

TEST(CommandLineTest, ArgcArgvFormSkipsTheProgramName) {
    const char* argv[] = {"halidex", "--headless", "--action", "takephoto"};
    auto result = parseCommandLine(4, argv);
    ASSERT_FALSE(result.exitStatus);
    EXPECT_TRUE(result.options.headless);
    EXPECT_EQ(result.options.action, "takephoto");
}

}  // namespace
}  // namespace hx::app

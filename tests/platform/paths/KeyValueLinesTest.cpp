#include "platform/paths/KeyValueLines.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using hx::paths::readKeyValueLines;

TEST(KeyValueLines, ReadsBareAndQuotedKeysWithTheirValues) {
    const std::string text =
        "# comment\r\n"
        "\n"
        "  plain.key-1 =  integer 3  \r\n"
        "\"key with = and \\\" inside\"=string \"v\"\n"
        "empty =\n"
        "last = no newline";
    const auto read = readKeyValueLines(text);
    ASSERT_TRUE(read.bad.empty()) << read.bad.front().problem;
    ASSERT_EQ(read.lines.size(), 4u);
    EXPECT_EQ(read.lines[0].number, 3);
    EXPECT_EQ(read.lines[0].key, "plain.key-1");
    EXPECT_EQ(read.lines[0].value, "integer 3");
    EXPECT_EQ(read.lines[1].key, "key with = and \" inside");
    EXPECT_EQ(read.lines[1].value, "string \"v\"");
    EXPECT_EQ(read.lines[2].value, "");
    EXPECT_EQ(read.lines[3].number, 6);
    EXPECT_EQ(read.lines[3].value, "no newline");
}

TEST(KeyValueLines, BadLinesAreNamedAndTheRestIsRead) {
    const std::string text =
        std::string("a = 1\nno equals here\n\"open = 2\n= 3\nb = 4\nc\0 = 5\nd = 6", 53);
    const auto read = readKeyValueLines(text);
    ASSERT_EQ(read.lines.size(), 3u);
    EXPECT_EQ(read.lines[0].key, "a");
    EXPECT_EQ(read.lines[1].key, "b");
    EXPECT_EQ(read.lines[2].key, "d");
    ASSERT_EQ(read.bad.size(), 4u);
    EXPECT_EQ(read.bad[0].number, 2);
    EXPECT_EQ(read.bad[0].problem, "missing '=' after the key");
    EXPECT_EQ(read.bad[1].problem, "malformed quoted key");
    EXPECT_EQ(read.bad[2].problem, "unexpected character at the start of the line");
    EXPECT_EQ(read.bad[3].number, 6);
    EXPECT_EQ(read.bad[3].problem, "contains a NUL byte");
    EXPECT_EQ(hx::paths::describeBadLines(read.bad, 2),
              "line 2: missing '=' after the key; line 3: malformed quoted key; and 2 more");
}

TEST(KeyValueLines, QuotedStringsRoundTripAnyBytes) {
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    const std::string quoted = hx::paths::quoteString(all);
    EXPECT_EQ(quoted.find('\n'), std::string::npos);
    std::string_view rest = quoted;
    EXPECT_EQ(hx::paths::unquoteString(rest), all);
    EXPECT_TRUE(rest.empty());
    for (std::string_view bad : {"\"cut", "\"bad \\q escape\"", "\"\\u12\"", "unquoted"}) {
        std::string_view text = bad;
        EXPECT_EQ(hx::paths::unquoteString(text), std::nullopt) << bad;
    }
    EXPECT_TRUE(hx::paths::isBareKey("KEY_EV.x-1"));
    EXPECT_FALSE(hx::paths::isBareKey(""));
    EXPECT_FALSE(hx::paths::isBareKey("two words"));
}

}  // namespace

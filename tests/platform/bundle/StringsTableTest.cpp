#include "platform/bundle/StringsTable.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/TemporaryFolder.h"

namespace {

using hx::strings::parse;
using hx::strings::parseFile;

TEST(StringsTableTest, ReadsEntriesWithEscapesAndComments) {
    const auto table = parse(R"(/* a block comment
   over two lines */
"plain" = "text";
"escapes" = "line\nnext \"quoted\" back\\slash tab\t end";   // a line comment
"unicode" = "caf\U00e9 \u2014 \ud83d\udcf7";
"apostrophe" = "it\'s";
unquoted_key = unquoted.value;
"spaced"   =
    /* a comment inside the statement */ "value on the next line"  ;
"bare";
"with // inside" = "/* not a comment */";
)");
    EXPECT_TRUE(table.problems.empty());
    const auto& e = table.entries;
    EXPECT_EQ(e.at("plain"), "text");
    EXPECT_EQ(e.at("escapes"), "line\nnext \"quoted\" back\\slash tab\t end");
    EXPECT_EQ(e.at("unicode"), "caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x93\xB7");
    EXPECT_EQ(e.at("apostrophe"), "it's");
    EXPECT_EQ(e.at("unquoted_key"), "unquoted.value");
    EXPECT_EQ(e.at("spaced"), "value on the next line");
    EXPECT_EQ(e.at("bare"), "bare");
    EXPECT_EQ(e.at("with // inside"), "/* not a comment */");
    EXPECT_EQ(e.size(), 8u);
}

TEST(StringsTableTest, LaterEntryReplacesEarlierOne) {
    const auto table = parse("\"k\" = \"first\";\n\"k\" = \"second\";\n");
    EXPECT_EQ(table.entries.at("k"), "second");
}

TEST(StringsTableTest, DamagedLinesAreReportedAndTheRestIsKept) {
    const auto table = parse(
        "\"a\" = \"1\";\n"
        "\"no_semicolon\" = \"x\"\n"
        "\"b\" = \"2\";\n"
        "\"no_equals\" \"x\";\n"
        "\"c\" = \"3\";\n"
        "\"open = \"never closed;\n"
        "\"d\" = \"4\";\n"
        "= \"no key\";\n"
        "\"bad_escape\" = \"\\u12\";\n"
        "\"e\" = \"5\";\n");
    const auto& e = table.entries;
    EXPECT_EQ(e.at("a"), "1");
    EXPECT_EQ(e.at("b"), "2");
    EXPECT_EQ(e.at("c"), "3");
    EXPECT_EQ(e.at("e"), "5");
    EXPECT_EQ(e.count("no_semicolon"), 0u);
    EXPECT_EQ(e.count("no_equals"), 0u);
    std::vector<int> lines;
    for (const auto& problem : table.problems) {
        lines.push_back(problem.line);
        EXPECT_FALSE(problem.message.empty());
    }
    // Each damaged statement costs its own line only: the entries after the missing ';' and
    // after the unclosed string survive.
    EXPECT_EQ(lines, (std::vector<int>{2, 4, 6, 8, 9}));
    EXPECT_EQ(e.at("d"), "4");
}

TEST(StringsTableTest, TruncatedTextAndUnclosedCommentAreReported) {
    auto table = parse("\"a\" = \"1\";\n\"b\" =");
    EXPECT_EQ(table.entries.at("a"), "1");
    ASSERT_EQ(table.problems.size(), 1u);
    EXPECT_EQ(table.problems[0].line, 2);

    table = parse("\"a\" = \"1\";\n/* never closed\n\"b\" = \"2\";\n");
    EXPECT_EQ(table.entries.size(), 1u);
    ASSERT_EQ(table.problems.size(), 1u);
    EXPECT_EQ(table.problems[0].line, 2);

    table = parse("\"trailing backslash\\");
    EXPECT_TRUE(table.entries.empty());
    EXPECT_EQ(table.problems.size(), 1u);
}

TEST(StringsTableTest, ReadsUtf8AndUtf16WithByteOrderMarks) {
    auto table = parse("\xEF\xBB\xBF\"k\" = \"v\";");
    EXPECT_TRUE(table.problems.empty());
    EXPECT_EQ(table.entries.at("k"), "v");

    auto utf16 = [](bool bigEndian) {
        const std::u16string text = u"\"k\" = \"\u00e9\U0001F4F7\";\n";
        std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t unit : text) {
            const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
            bytes += bigEndian ? hi : lo;
            bytes += bigEndian ? lo : hi;
        }
        return bytes;
    };
    for (bool bigEndian : {false, true}) {
        table = parse(utf16(bigEndian));
        EXPECT_TRUE(table.problems.empty());
        EXPECT_EQ(table.entries.at("k"), "\xC3\xA9\xF0\x9F\x93\xB7") << bigEndian;
    }
}

TEST(StringsTableTest, GarbageNeverStopsTheParser) {
    std::string noise;
    for (int i = 0; i < 4096; ++i) noise += static_cast<char>((i * 7919 + 13) % 256);
    const auto table = parse(noise + "\n\"after\" = \"ok\";\n");
    EXPECT_EQ(table.entries.at("after"), "ok");
    EXPECT_FALSE(table.problems.empty());
    EXPECT_TRUE(parse("").entries.empty());
    EXPECT_TRUE(parse("").problems.empty());
}

TEST(StringsTableTest, MissingFileGivesAnEmptyTableAndAProblem) {
    hx::testsupport::TemporaryFolder folder("hx-strings");
    auto table = parseFile(folder.file("absent.strings"));
    EXPECT_TRUE(table.entries.empty());
    ASSERT_EQ(table.problems.size(), 1u);
    EXPECT_EQ(table.problems[0].line, 0);

    std::ofstream(folder.file("Localizable.strings")) << "\"k\" = \"v\";\n";
    table = parseFile(folder.file("Localizable.strings"));
    EXPECT_EQ(table.entries.at("k"), "v");
}

}  // namespace

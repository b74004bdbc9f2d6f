// The defaults file's text format and the conversions between value types.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/defaults/DefaultsFile.h"
#include "platform/defaults/DefaultsValue.h"

namespace {

using hx::DefaultsValue;
using hx::defaults::Entries;
using hx::defaults::parseDefaults;
using hx::defaults::serializeDefaults;

TEST(DefaultsValue, ReadingAsAnotherTypeConverts) {
    EXPECT_EQ(DefaultsValue(-2.7f).integerValue(), -2);
    EXPECT_EQ(DefaultsValue(1e30f).integerValue(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(DefaultsValue(std::nanf("")).integerValue(), 0);
    EXPECT_EQ(DefaultsValue("12 seconds").integerValue(), 12);
    EXPECT_EQ(DefaultsValue("  -7").integerValue(), -7);
    EXPECT_EQ(DefaultsValue("seven").integerValue(), 0);
    EXPECT_EQ(DefaultsValue(true).integerValue(), 1);

    EXPECT_FLOAT_EQ(DefaultsValue("0.5").floatValue(), 0.5f);
    EXPECT_FLOAT_EQ(DefaultsValue(3).floatValue(), 3.0f);

    for (const char* yes : {"YES", "yes", "true", "T", "1", "007", "+4", " y"})
        EXPECT_TRUE(DefaultsValue(yes).boolValue()) << yes;
    for (const char* no : {"NO", "false", "0", "-0", "", "000", "off"})
        EXPECT_FALSE(DefaultsValue(no).boolValue()) << no;
    EXPECT_TRUE(DefaultsValue(0.25f).boolValue());
    EXPECT_FALSE(DefaultsValue(std::int64_t{0}).boolValue());

    EXPECT_EQ(DefaultsValue(42).stringValue(), "42");
    EXPECT_EQ(DefaultsValue(true).stringValue(), "1");
    EXPECT_EQ(DefaultsValue(-0.5f).stringValue(), "-0.5");
}

TEST(DefaultsValue, ConstructorsPickTheExpectedType) {
    EXPECT_EQ(DefaultsValue("text").type(), DefaultsValue::Type::String);
    EXPECT_EQ(DefaultsValue(true).type(), DefaultsValue::Type::Boolean);
    EXPECT_EQ(DefaultsValue(1).type(), DefaultsValue::Type::Integer);
    EXPECT_EQ(DefaultsValue(1u).type(), DefaultsValue::Type::Integer);
    EXPECT_EQ(DefaultsValue(0.0).type(), DefaultsValue::Type::Float);
}

TEST(DefaultsFile, EveryValueAndKeyRoundTripsThroughTheText) {
    Entries entries = {
        {"KEY_EV", DefaultsValue(-1.0f / 3.0f)},
        {"tiny", DefaultsValue(1e-40f)},
        {"infinite", DefaultsValue(-std::numeric_limits<float>::infinity())},
        {"largest", DefaultsValue(std::numeric_limits<std::int64_t>::max())},
        {"smallest", DefaultsValue(std::numeric_limits<std::int64_t>::min())},
        {"on", DefaultsValue(true)},
        {"off", DefaultsValue(false)},
        {"empty", DefaultsValue("")},
        {"awkward", DefaultsValue("say \"hi\" \\ = # \n\ttab\r\x01\x7f caf\xc3\xa9")},
        {"key with spaces = and # signs", DefaultsValue(1)},
        {"", DefaultsValue("empty key")},
        {"clé", DefaultsValue(2)},
    };
    std::string text = serializeDefaults(entries, "halidex");
    auto parsed = parseDefaults(text);
    ASSERT_FALSE(parsed.damaged) << parsed.problem << "\n" << text;
    EXPECT_EQ(parsed.entries, entries);

    // One readable line per key.
    EXPECT_NE(text.find("\nKEY_EV = float -0.33333334\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\non = boolean true\n"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + static_cast<long>(entries.size()));
}

TEST(DefaultsFile, HandEditedTextIsAccepted) {
    auto parsed = parseDefaults(
        "# edited by hand\r\n"
        "\n"
        "   KEY_LENS   =   integer   2   \r\n"
        "\tKEY_GRID=boolean yes\n"
        "KEY_LENS = integer 100\n"  // the last of a repeated key counts
        "KEY_VERSION = string \"12\"");
    ASSERT_FALSE(parsed.damaged) << parsed.problem;
    EXPECT_EQ(parsed.entries.at("KEY_LENS"), DefaultsValue(100));
    EXPECT_EQ(parsed.entries.at("KEY_GRID"), DefaultsValue(true));
    EXPECT_EQ(parsed.entries.at("KEY_VERSION"), DefaultsValue("12"));
}

TEST(DefaultsFile, ABadLineSpoilsOnlyItselfAndIsNamed) {
    const std::string good = "# header\nKEY_FILMTYPE = integer 3\n";
    const std::string after = "\nKEY_GRID = boolean true\n";
    struct Case {
        std::string bad;
        std::string problem;
    } cases[] = {
        {"KEY_EV = flo", "line 3: value"},               // cut short
        {"KEY_VERSION = string \"12", "line 3: value"},  // cut inside a string
        {"KEY_FLASH = integer 1x", "line 3: value"},     // junk after the value
        {"KEY_FLASH = integer 99999999999999999999", "line 3: value"},
        {"KEY_GRID boolean maybe", "line 3: missing '='"},
        {"\x89PNG binary", "line 3: unexpected character"},
        {std::string("KEY_A = integer 1\0\0\0", 20), "line 3: contains a NUL byte"},
        {"KEY = string \"raw\x01control\"", "line 3: value"},
        {"\"KEY = integer 1", "line 3: malformed quoted key"},
    };
    for (const Case& c : cases) {
        auto parsed = parseDefaults(good + c.bad + after);
        EXPECT_TRUE(parsed.damaged) << c.bad;
        EXPECT_EQ(parsed.entries,
                  (Entries{{"KEY_FILMTYPE", DefaultsValue(3)}, {"KEY_GRID", DefaultsValue(true)}}))
            << c.bad;
        EXPECT_EQ(parsed.problem.rfind(c.problem, 0), 0u) << parsed.problem;
        ASSERT_EQ(parsed.badLines.size(), 1u) << c.bad;
        EXPECT_EQ(parsed.badLines[0].number, 3);
    }

    // Many bad lines: each is listed in order, the message stays short.
    std::string text = "KEY_A = integer 1\n";
    for (int i = 0; i < 12; ++i) text += "garbage ?\n";
    auto parsed = parseDefaults(text + "KEY_B = integer 2");
    EXPECT_EQ(parsed.entries.size(), 2u);
    ASSERT_EQ(parsed.badLines.size(), 12u);
    EXPECT_EQ(parsed.badLines.front().number, 2);
    EXPECT_EQ(parsed.badLines.back().number, 13);
    EXPECT_NE(parsed.problem.find("and 7 more"), std::string::npos) << parsed.problem;
}

}  // namespace

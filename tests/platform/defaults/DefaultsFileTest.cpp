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

TEST(DefaultsFile, DamagedTextReadsAsEmptyAndNamesTheLine) {
    const std::string good = "# header\nKEY_FILMTYPE = integer 3\n";
    struct Case {
        std::string text;
        std::string problemStart;
    } cases[] = {
        {good + "KEY_EV = flo", "line 3"},               // cut short
        {good + "KEY_VERSION = string \"12", "line 3"},  // cut inside a string
        {good + "KEY_FLASH = integer 1x\n", "line 3"},   // junk after the value
        {good + "KEY_FLASH = integer 99999999999999999999\n", "line 3"},
        {good + "KEY_GRID = boolean maybe\n", "line 3"},
        {good + "KEY_GRID boolean true\n", "line 3"},
        {"\x89PNG\r\n\x1a\n binary", "line 1"},
        {std::string("KEY_A = integer 1\n\0\0\0", 21), "contains a NUL byte"},
        {"KEY = string \"raw\x01control\"\n", "line 1"},
    };
    for (const Case& c : cases) {
        auto parsed = parseDefaults(c.text);
        EXPECT_TRUE(parsed.damaged) << c.text;
        EXPECT_TRUE(parsed.entries.empty()) << c.text;
        EXPECT_EQ(parsed.problem.rfind(c.problemStart, 0), 0u) << parsed.problem;
    }
}

}  // namespace

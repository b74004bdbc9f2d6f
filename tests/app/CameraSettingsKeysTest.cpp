// The camera keys' types and allowed values: what halidex-settings lets through, and how stored
// values read back.

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

#include "app/camera/CameraSettingsKeys.h"

namespace {

using hx::DefaultsValue;
using hx::app::CameraKey;

const CameraKey& key(const char* name) {
    const CameraKey* found = hx::app::findCameraKey(name);
    EXPECT_NE(found, nullptr) << name;
    return *found;
}

std::optional<DefaultsValue> parse(const char* name, const std::string& text,
                                   std::string* error = nullptr) {
    return hx::app::parseCameraValue(key(name), text, error);
}

TEST(CameraSettingsKeys, EveryRegisteredCameraKeyHasADomainAndItsDefaultIsInside) {
    auto defaults = hx::app::cameraRegisteredDefaults();
    std::set<std::string> names;
    for (const CameraKey& each : hx::app::cameraKeys()) {
        names.insert(each.key);
        ASSERT_EQ(defaults.count(each.key), 1u) << each.key;
        const DefaultsValue& registered = defaults.at(each.key);
        // The default prints as text the key takes back, giving the same stored value.
        std::string text = hx::app::formatCameraValue(each, registered);
        std::string error;
        auto back = hx::app::parseCameraValue(each, text, &error);
        ASSERT_TRUE(back) << each.key << ": " << error;
        EXPECT_EQ(*back, registered) << each.key;
    }
    EXPECT_EQ(names.size(), 11u);
    EXPECT_EQ(hx::app::findCameraKey("autoreview_preference"), nullptr);
    EXPECT_EQ(hx::app::findCameraKey("key_filmtype"), nullptr);
}

TEST(CameraSettingsKeys, IntegerKeysTakeTheirRangeOnly) {
    struct Case {
        const char* key;
        const char* text;
        std::optional<std::int64_t> value;
    };
    const Case cases[] = {
        {hx::app::KEY_FILMTYPE, "-1", {}},  {hx::app::KEY_FILMTYPE, "0", 0},
        {hx::app::KEY_FILMTYPE, "12", 12},  {hx::app::KEY_FILMTYPE, "13", {}},
        {hx::app::KEY_FILMTYPE, " 7 ", 7},  {hx::app::KEY_FILMTYPE, "+3", 3},
        {hx::app::KEY_FILMTYPE, "3.0", {}}, {hx::app::KEY_FILMTYPE, "3x", {}},
        {hx::app::KEY_FILMTYPE, "", {}},    {hx::app::KEY_FILMTYPE, "+-3", {}},
        {hx::app::KEY_FRAMEMODE, "0", {}},  {hx::app::KEY_FRAMEMODE, "1", 1},
        {hx::app::KEY_FRAMEMODE, "4", 4},   {hx::app::KEY_FRAMEMODE, "5", {}},
        {hx::app::KEY_FLASH, "0", 0},       {hx::app::KEY_FLASH, "2", 2},
        {hx::app::KEY_FLASH, "3", {}},      {hx::app::KEY_LENS, "0", 0},
        {hx::app::KEY_LENS, "2", 2},        {hx::app::KEY_LENS, "3", {}},
        {hx::app::KEY_LENS, "99", {}},      {hx::app::KEY_LENS, "100", 100},
        {hx::app::KEY_LENS, "101", {}},     {hx::app::KEY_FILMTYPE, "99999999999999999999", {}},
    };
    for (const Case& c : cases) {
        std::string error;
        auto value = parse(c.key, c.text, &error);
        if (c.value) {
            ASSERT_TRUE(value) << c.key << " " << c.text << ": " << error;
            EXPECT_EQ(value->type(), DefaultsValue::Type::Integer);
            EXPECT_EQ(*value, DefaultsValue(*c.value)) << c.key << " " << c.text;
        } else {
            EXPECT_FALSE(value) << c.key << " \"" << c.text << "\"";
            EXPECT_EQ(error.rfind(std::string(c.key) + " takes ", 0), 0u) << error;
        }
    }
}

TEST(CameraSettingsKeys, RefusalsNameTheKeyTheDomainAndTheValue) {
    std::string error;
    EXPECT_FALSE(parse(hx::app::KEY_FILMTYPE, "13", &error));
    EXPECT_EQ(error, "KEY_FILMTYPE takes a film 0 to 12, not 13");
    EXPECT_FALSE(parse(hx::app::KEY_LENS, "3", &error));
    EXPECT_NE(error.find("a lens 0, 1, 2 or 100"), std::string::npos) << error;
    EXPECT_FALSE(parse(hx::app::KEY_GRID, "", &error));
    EXPECT_EQ(error, "KEY_GRID takes yes or no, not \"\"");
    EXPECT_FALSE(parse(hx::app::KEY_EV, "half a stop", &error));
    EXPECT_NE(error.find("KEY_EV takes a multiple of 1/3 stop from -8 to 8"), std::string::npos);
    EXPECT_NE(error.find("not \"half a stop\""), std::string::npos) << error;
}

TEST(CameraSettingsKeys, ExposureIsAThirdOfAStopWithinEightStops) {
    const std::pair<const char*, int> accepted[] = {
        {"1/3", 1},    {"-2/3", -2}, {"2/3", 2}, {"0.333", 1}, {"0.3333333", 1}, {"0.33", 1},
        {"1", 3},      {"-8", -24},  {"8", 24},  {"24/3", 24}, {"-0.6667", -2},  {"+4/3", 4},
        {"8.001", 24}, {"0", 0},     {"-0", 0},  {"2/6", 1},   {" 1/3 ", 1},
    };
    for (const auto& [text, thirds] : accepted) {
        std::string error;
        auto value = parse(hx::app::KEY_EV, text, &error);
        ASSERT_TRUE(value) << text << ": " << error;
        ASSERT_EQ(value->type(), DefaultsValue::Type::Float) << text;
        // Stored as the float nearest n/3, whatever way it was typed.
        EXPECT_EQ(value->floatValue(), static_cast<float>(thirds / 3.0)) << text;
    }
    for (const char* refused : {"8.34", "25/3", "-25/3", "0.5", "0.3", "1/2", "1/0", "1/-3", "/3",
                                "1/", "abc", "", "nan", "inf", "1e400", "0x1", "1/3/3"})
        EXPECT_FALSE(parse(hx::app::KEY_EV, refused)) << refused;
}

TEST(CameraSettingsKeys, ExposurePrintsAsThirds) {
    const CameraKey& ev = key(hx::app::KEY_EV);
    EXPECT_EQ(hx::app::formatCameraValue(ev, DefaultsValue(1.0f / 3)), "1/3");
    EXPECT_EQ(hx::app::formatCameraValue(ev, DefaultsValue(-2.0f / 3)), "-2/3");
    EXPECT_EQ(hx::app::formatCameraValue(ev, DefaultsValue(8.0f)), "8");
    EXPECT_EQ(hx::app::formatCameraValue(ev, DefaultsValue(-4.0f / 3)), "-4/3");
    EXPECT_EQ(hx::app::formatCameraValue(ev, DefaultsValue(0.0f)), "0");
    EXPECT_EQ(hx::app::formatCameraValue(ev, DefaultsValue(-1)), "-1");  // an integer stored
    // A value written by hand that is no third shows as it is, and is not taken back.
    std::string half = hx::app::formatCameraValue(ev, DefaultsValue(0.5f));
    EXPECT_EQ(half, "0.5");
    EXPECT_FALSE(hx::app::parseCameraValue(ev, half, nullptr));
    // Every third from -8 to 8 goes round the text form unchanged.
    for (int n = -24; n <= 24; ++n) {
        DefaultsValue stored(static_cast<float>(n / 3.0));
        auto back = hx::app::parseCameraValue(ev, hx::app::formatCameraValue(ev, stored), nullptr);
        ASSERT_TRUE(back) << n;
        EXPECT_EQ(*back, stored) << n;
    }
}

TEST(CameraSettingsKeys, BooleansAndStrings) {
    for (const char* yes : {"yes", "YES", "True", "1", "on"})
        EXPECT_EQ(parse(hx::app::KEY_TIFF, yes), DefaultsValue(true)) << yes;
    for (const char* no : {"no", "No", "FALSE", "0", "off"})
        EXPECT_EQ(parse(hx::app::KEY_HEIC, no), DefaultsValue(false)) << no;
    for (const char* refused : {"y", "2", "yes please", "", "-1"})
        EXPECT_FALSE(parse(hx::app::KEY_GEOTAG, refused)) << refused;

    const CameraKey& grid = key(hx::app::KEY_GRID);
    EXPECT_EQ(hx::app::formatCameraValue(grid, DefaultsValue(true)), "yes");
    EXPECT_EQ(hx::app::formatCameraValue(grid, DefaultsValue(false)), "no");
    // Read the way the camera reads a boolean, whatever type was stored.
    EXPECT_EQ(hx::app::formatCameraValue(grid, DefaultsValue("YES")), "yes");
    EXPECT_EQ(hx::app::formatCameraValue(grid, DefaultsValue(0)), "no");
    EXPECT_EQ(hx::app::formatCameraValue(key(hx::app::KEY_FILMTYPE), DefaultsValue(4.7f)), "4");

    // A version is any text, blanks and all.
    EXPECT_EQ(parse(hx::app::KEY_VERSION, " 1.2 (34) "), DefaultsValue(" 1.2 (34) "));
    EXPECT_EQ(parse(hx::app::KEY_VERSION, ""), DefaultsValue(""));
    EXPECT_EQ(hx::app::formatCameraValue(key(hx::app::KEY_VERSION), DefaultsValue("1.2")), "1.2");
}

}  // namespace

// The settings bundle: the shipped resource and the parser's checks.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/ScopedEnvironment.h"
#include "tools/halidex-settings/SettingsBundle.h"

namespace {

using hx::DefaultsValue;
using hx::settings::Preference;
using hx::settings::SettingsBundle;

const std::string kBundlePath = std::string(HX_TEST_RESOURCES_DIR) + "/settings/SettingsBundle.ini";

std::vector<std::int64_t> choiceValues(const Preference& preference) {
    std::vector<std::int64_t> values;
    for (const auto& choice : preference.choices) values.push_back(choice.value);
    return values;
}

TEST(SettingsBundle, ShippedBundleOffersTheCameraPreferences) {
    std::string error;
    auto bundle = SettingsBundle::load(kBundlePath, &error);
    ASSERT_TRUE(bundle) << error;
    ASSERT_EQ(bundle->preferences.size(), 4u);

    const Preference* review = bundle->find("autoreview_preference");
    ASSERT_TRUE(review);
    EXPECT_EQ(review->kind, Preference::Kind::Choice);
    EXPECT_EQ(choiceValues(*review), (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(review->defaultValue, DefaultsValue(2));

    const Preference* album = bundle->find("savetoalbum_preference");
    ASSERT_TRUE(album);
    EXPECT_EQ(album->kind, Preference::Kind::Switch);
    EXPECT_EQ(album->defaultValue, DefaultsValue(true));

    const Preference* shutter = bundle->find("shutter_preference");
    ASSERT_TRUE(shutter);
    EXPECT_EQ(choiceValues(*shutter), (std::vector<std::int64_t>{0, 1, 2}));
    EXPECT_EQ(shutter->defaultValue, DefaultsValue(0));

    const Preference* folder = bundle->find("library_folder");
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->kind, Preference::Kind::Folder);
    EXPECT_TRUE(folder->isStandardPlace(folder->defaultValue));

    for (const Preference& preference : bundle->preferences) {
        EXPECT_FALSE(preference.title.empty()) << preference.key;
        for (const auto& choice : preference.choices)
            EXPECT_FALSE(choice.title.empty()) << preference.key << " " << choice.value;
    }
}

TEST(SettingsBundle, TypedValuesAreCheckedAgainstTheChoices) {
    auto bundle = SettingsBundle::load(kBundlePath, nullptr);
    ASSERT_TRUE(bundle);
    const Preference& review = *bundle->find("autoreview_preference");
    const Preference& album = *bundle->find("savetoalbum_preference");

    EXPECT_EQ(review.valueFromText(" 7 ", nullptr), DefaultsValue(7));
    std::string error;
    for (const char* refused : {"8", "0", "-1", "2.5", "two", ""}) {
        EXPECT_FALSE(review.valueFromText(refused, &error)) << refused;
        EXPECT_NE(error.find("1, 2, 3, 4, 5, 6 or 7"), std::string::npos) << error;
    }
    EXPECT_EQ(album.valueFromText("OFF", nullptr), DefaultsValue(false));
    EXPECT_EQ(album.valueFromText("yes", nullptr), DefaultsValue(true));
    EXPECT_FALSE(album.valueFromText("2", &error));
    EXPECT_NE(error.find("on or off"), std::string::npos) << error;

    EXPECT_EQ(review.describe(DefaultsValue(2)), "2 (0.5 seconds)");
    EXPECT_EQ(review.describe(DefaultsValue(9)), "9 (not one of the choices)");
    EXPECT_EQ(album.describe(DefaultsValue("YES")), "on");
}

TEST(SettingsBundle, FolderValuesAreAbsoluteWritableFolders) {
    namespace fs = std::filesystem;
    auto bundle = SettingsBundle::load(kBundlePath, nullptr);
    ASSERT_TRUE(bundle);
    Preference folder = *bundle->find("library_folder");
    folder.standardPlace = "/home/u/Pictures/Halidex Camera";
    const fs::path root = fs::temp_directory_path() / ("hx-folder-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "Photos");
    std::ofstream(root / "file.txt") << "x";
    hx::testing::ScopedEnvironment environment;
    environment.set("HOME", root.c_str());

    const std::string r = root.string();
    EXPECT_EQ(folder.valueFromText(" " + r + "/Photos/ ", nullptr), DefaultsValue(r + "/Photos"));
    EXPECT_EQ(folder.valueFromText(r + "/./x/../Photos", nullptr), DefaultsValue(r + "/Photos"));
    // Missing folders are fine where they can be made; nothing is made yet.
    EXPECT_EQ(folder.valueFromText(r + "/New/Camera", nullptr), DefaultsValue(r + "/New/Camera"));
    EXPECT_FALSE(fs::exists(root / "New"));
    EXPECT_EQ(folder.valueFromText("~/Photos", nullptr), DefaultsValue(r + "/Photos"));
    EXPECT_EQ(folder.valueFromText("~", nullptr), DefaultsValue(r));
    // Empty text: the standard place.
    auto standard = folder.valueFromText("", nullptr);
    ASSERT_TRUE(standard);
    EXPECT_TRUE(folder.isStandardPlace(*standard));
    EXPECT_EQ(folder.describe(*standard), "/home/u/Pictures/Halidex Camera (the standard place)");
    EXPECT_EQ(folder.text(*standard), "/home/u/Pictures/Halidex Camera");
    EXPECT_EQ(folder.describe(DefaultsValue(r)), r);

    const std::pair<std::string, std::string> refused[] = {
        {"Photos", "\"Photos\" is not an absolute path"},
        {"~other/Photos", "\"~other/Photos\" is not an absolute path"},
        {r + "/file.txt", r + "/file.txt exists and is not a folder"},
        {r + "/file.txt/Camera", r + "/file.txt exists and is not a folder"},
        // No file can be made there, whoever runs this.
        {"/proc/halidex/Camera", "cannot write into /proc: "},
    };
    for (const auto& [text, reason] : refused) {
        std::string error;
        EXPECT_FALSE(folder.valueFromText(text, &error)) << text;
        EXPECT_NE(error.find("library_folder (Folder for new photos): " + reason),
                  std::string::npos)
            << error;
        EXPECT_NE(error.find("nothing was changed"), std::string::npos) << error;
    }
    // Only the probe was made and removed: the folder is as it was.
    EXPECT_TRUE(fs::is_empty(root / "Photos"));
    // A value edited by hand into something else is shown as such.
    EXPECT_EQ(folder.describe(DefaultsValue(3)),
              "3 (not an absolute path; the standard place is used)");
    fs::remove_all(root);
}

TEST(SettingsBundle, MalformedBundlesAreRefusedWithTheReason) {
    const std::pair<const char*, const char*> cases[] = {
        {"title = stray\n", "line 1: a setting outside any [preference] section"},
        {"[a]\ntitle = A\ntype = slider\n", "line 3: type is choice, switch or folder"},
        {"[a]\ntitle = A\ntype = choice\ndefault = 3\nchoice 1 = one\n",
         "preference a has a default that is not one of its choices"},
        {"[a]\ntitle = A\ntype = choice\ndefault = 1\nchoice 1 = one\nchoice 1 = uno\n",
         "line 6: choice listed twice"},
        {"[a]\ntitle = A\ntype = switch\ndefault = on\nchoice 1 = one\n",
         "preference a is a switch but lists choices"},
        {"[a]\ntype = switch\ndefault = on\n[b]\n", "preference a has no title"},
        {"[a]\ntitle = A\ntype = switch\ndefault = maybe\n",
         "preference a has a default that is not on or off"},
        {"[a]\ntitle = A\ntype = switch\ndefault = on\n[a]\n",
         "line 5: preference a appears twice"},
        {"[a]\ntitle = A\ncolour = red\n", "line 3: unknown setting \"colour\""},
        {"# nothing\n", "no preferences"},
        {"[a]\ntitle A\n", "line 2: expected \"name = value\" or a [preference] heading"},
        {"[a\ntitle = A\n", "line 1: expected \"name = value\" or a [preference] heading"},
        {"[a]\ntitle = A\ntype = switch\ndefault = on\n[]\n", "line 5: empty section name"},
        {"[a]\ntitle = A\ncolour = red\nbroken\n", "line 3: unknown setting \"colour\""},
        {"[a]\ntitle = A\ntype = folder\ndefault = Pictures\n",
         "preference a has a default that is not empty or an absolute path"},
        {"[a]\ntitle = A\ntype = folder\ndefault =\nchoice 1 = one\n",
         "preference a is a folder but lists choices"},
        {"[a]\nbroken\ncolour = red\n",
         "line 2: expected \"name = value\" or a [preference] heading"},
    };
    for (const auto& [text, expected] : cases) {
        std::string error;
        EXPECT_FALSE(SettingsBundle::parse(text, &error)) << text;
        EXPECT_EQ(error, expected) << text;
    }
}

}  // namespace

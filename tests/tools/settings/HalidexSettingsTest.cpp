// halidex-settings run as a user runs it, on the camera's defaults store in a temporary
// HALIDEX_HOME.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/defaults/DefaultsFile.h"
#include "platform/defaults/UserDefaults.h"
#include "tests/support/RunCommand.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryFolder.h"

namespace {

namespace fs = std::filesystem;
using hx::DefaultsValue;

using Result = hx::testsupport::SeparateOutputs;

class HalidexSettings : public ::testing::Test {
  protected:
    void SetUp() override { environment_.set("HALIDEX_HOME", home.c_str()); }

    // Runs the tool without a display unless one is given.
    Result run(const std::string& arguments, const std::string& display = "") {
        std::optional<std::string> shownOn;
        if (!display.empty()) shownOn = display;
        return hx::testsupport::runCommandSeparately(
            std::string(HX_SETTINGS_TOOL) + " " + arguments,
            {{"WAYLAND_DISPLAY", std::nullopt}, {"DISPLAY", shownOn}});
    }

    hx::defaults::Entries cameraFile() {
        auto contents = hx::defaults::readDefaultsFile((home / "config/halidex.defaults").string());
        EXPECT_FALSE(contents.damaged) << contents.problem;
        return contents.entries;
    }

    hx::testsupport::TemporaryFolder temporary_{"hx-settings"};
    const fs::path home = temporary_.path();

  private:
    hx::testing::ScopedEnvironment environment_;
};

TEST_F(HalidexSettings, ListShowsEveryPreferenceWithItsValueAndChoices) {
    Result list = run("list");
    ASSERT_EQ(list.status, 0) << list.err;
    for (const char* text : {"autoreview_preference: ", "    value: 2 (0.5 seconds), the default",
                             "1 (0.3 seconds)", "7 (10 seconds)", "savetoalbum_preference: ",
                             "    value: on, the default", "    allowed: on or off",
                             "shutter_preference: ", "    value: 0 (On release), the default",
                             "2 (On a long press)", "library_folder: Folder for new photos"})
        EXPECT_NE(list.out.find(text), std::string::npos) << text << "\n" << list.out;
    EXPECT_FALSE(fs::exists(home / "config/halidex.defaults"));  // reading writes nothing

    {
        hx::UserDefaults camera("halidex");
        camera.setInteger(9, "autoreview_preference");  // edited by hand, outside the choices
    }
    list = run("list");
    EXPECT_NE(list.out.find("    value: 9 (not one of the choices)\n"), std::string::npos)
        << list.out;
}

TEST_F(HalidexSettings, SetWritesWhatTheCameraReads) {
    Result set = run("set autoreview_preference 5");
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "autoreview_preference = 5 (3 seconds)\n");
    ASSERT_EQ(run("set savetoalbum_preference off").status, 0);
    ASSERT_EQ(run("set shutter_preference 2").status, 0);

    auto entries = cameraFile();
    EXPECT_EQ(entries.at("autoreview_preference"), DefaultsValue(5));
    EXPECT_EQ(entries.at("savetoalbum_preference"), DefaultsValue(false));
    EXPECT_EQ(entries.at("shutter_preference"), DefaultsValue(2));

    hx::UserDefaults camera("halidex");
    camera.registerDefaults({{"autoreview_preference", 2}, {"savetoalbum_preference", true}});
    EXPECT_EQ(camera.integerForKey("autoreview_preference"), 5);
    EXPECT_FALSE(camera.boolForKey("savetoalbum_preference"));
    EXPECT_EQ(camera.integerForKey("shutter_preference"), 2);

    Result get = run("get savetoalbum_preference");
    EXPECT_EQ(get.status, 0);
    EXPECT_EQ(get.out, "off\n");
    EXPECT_EQ(run("get autoreview_preference").out, "5\n");
}

TEST_F(HalidexSettings, RefusesUnknownKeysAndValuesOutsideTheChoices) {
    Result outside = run("set autoreview_preference 8");
    EXPECT_EQ(outside.status, 2);
    EXPECT_NE(outside.err.find("\"8\" is not allowed for autoreview_preference"), std::string::npos)
        << outside.err;
    EXPECT_NE(outside.err.find("use 1, 2, 3, 4, 5, 6 or 7"), std::string::npos) << outside.err;

    Result shutter = run("set shutter_preference 3");
    EXPECT_EQ(shutter.status, 2);
    EXPECT_NE(shutter.err.find("use 0, 1 or 2"), std::string::npos) << shutter.err;

    Result notSwitch = run("set savetoalbum_preference maybe");
    EXPECT_EQ(notSwitch.status, 2);
    EXPECT_NE(notSwitch.err.find("on or off"), std::string::npos) << notSwitch.err;

    Result unknown = run("set KEY_FILMTYPE 3");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown preference \"KEY_FILMTYPE\""), std::string::npos)
        << unknown.err;
    EXPECT_EQ(run("get nothing").status, 2);

    EXPECT_EQ(run("set autoreview_preference").status, 2);
    EXPECT_EQ(run("frobnicate").status, 2);
    EXPECT_FALSE(fs::exists(home / "config/halidex.defaults"));  // nothing refused was written
}

TEST_F(HalidexSettings, KeepsWhatTheCameraWroteMeanwhile) {
    hx::UserDefaults camera("halidex");
    camera.setInteger(4, "KEY_FILMTYPE");
    ASSERT_TRUE(camera.synchronize());

    // The tool sets its key over and over while the camera saves its settings.
    std::string loop = "for i in 1 2 3 4 5 6 7; do " + std::string(HX_SETTINGS_TOOL) +
                       " set autoreview_preference $i >/dev/null || exit 1; done";
    FILE* tool = popen(loop.c_str(), "r");
    ASSERT_TRUE(tool);
    for (int i = 0; i < 40; ++i) {
        camera.setInteger(i, "KEY_FRAMECOUNT." + std::to_string(i));
        ASSERT_TRUE(camera.synchronize());
    }
    ASSERT_EQ(pclose(tool), 0);

    auto entries = cameraFile();
    EXPECT_EQ(entries.at("KEY_FILMTYPE"), DefaultsValue(4));
    EXPECT_EQ(entries.at("autoreview_preference"), DefaultsValue(7));
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(entries.at("KEY_FRAMECOUNT." + std::to_string(i)), DefaultsValue(i));
}

TEST_F(HalidexSettings, WithoutArgumentsAndAnUnreachableDisplayShowsTheList) {
    Result windowed = run("", ":99");
    EXPECT_EQ(windowed.status, 0) << windowed.err;
    EXPECT_EQ(windowed.out.rfind("halidex-settings: the display cannot be reached", 0), 0u)
        << windowed.out;
    EXPECT_NE(windowed.out.find("shutter_preference: "), std::string::npos);

    Result headless = run("");
    EXPECT_EQ(headless.status, 0);
    EXPECT_EQ(headless.out.rfind("autoreview_preference: ", 0), 0u) << headless.out;
}

TEST_F(HalidexSettings, TheFolderForNewPhotosIsSetCheckedAndReset) {
    const std::string standard = (home / "Pictures/Halidex Camera").string();
    EXPECT_EQ(run("get library_folder").out, standard + "\n");
    EXPECT_NE(run("list").out.find("    value: " + standard + " (the standard place), the default"),
              std::string::npos);

    const std::string chosen = (home / "Photo Drive/Camera").string();
    Result set = run("set library_folder '" + chosen + "/'");
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "library_folder = " + chosen + "\n");
    EXPECT_EQ(cameraFile().at("library_folder"), DefaultsValue(chosen));
    EXPECT_EQ(run("get library_folder").out, chosen + "\n");
    EXPECT_NE(run("list").out.find("    value: " + chosen + "\n"), std::string::npos);

    // Refused values leave the chosen folder as it was.
    fs::create_directories(home / "store");
    std::ofstream(home / "store/file") << "x";
    const std::pair<std::string, std::string> refused[] = {
        {"Pictures", "\"Pictures\" is not an absolute path"},
        {"'" + (home / "store/file").string() + "'", "store/file exists and is not a folder"},
        {"/proc/halidex", "cannot write into /proc: "},
    };
    for (const auto& [value, reason] : refused) {
        Result result = run("set library_folder " + value);
        EXPECT_EQ(result.status, 2) << value;
        EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("nothing was changed"), std::string::npos) << result.err;
    }
    EXPECT_EQ(cameraFile().at("library_folder"), DefaultsValue(chosen));

    // Back to the standard place, by reset or by an empty value: nothing stored.
    Result reset = run("reset library_folder");
    ASSERT_EQ(reset.status, 0) << reset.err;
    EXPECT_EQ(reset.out, "library_folder = " + standard + " (the standard place), the default\n");
    EXPECT_EQ(cameraFile().count("library_folder"), 0u);
    EXPECT_EQ(run("get library_folder").out, standard + "\n");
    ASSERT_EQ(run("set library_folder '" + chosen + "'").status, 0);
    ASSERT_EQ(run("set library_folder ''").status, 0);
    EXPECT_EQ(cameraFile().count("library_folder"), 0u);

    // reset serves every preference.
    ASSERT_EQ(run("set shutter_preference 2").status, 0);
    EXPECT_EQ(run("reset shutter_preference").out,
              "shutter_preference = 0 (On release), the default\n");
    EXPECT_EQ(cameraFile().count("shutter_preference"), 0u);
    EXPECT_EQ(run("reset nothing").status, 2);
}

}  // namespace

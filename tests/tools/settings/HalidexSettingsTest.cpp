// halidex-settings run as a user runs it, on the camera's defaults store in a temporary
// HALIDEX_HOME.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "app/camera/CameraSettingsKeys.h"
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

    Result unknown = run("set KEY_FILMTYPES 3");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown preference \"KEY_FILMTYPES\""), std::string::npos)
        << unknown.err;
    // The known keys are listed, the camera's own among them.
    for (const char* known :
         {" autoreview_preference", " library_folder", " KEY_FRAMEMODE", " KEY_EV", " KEY_VERSION"})
        EXPECT_NE(unknown.err.find(known), std::string::npos) << known << "\n" << unknown.err;
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

TEST_F(HalidexSettings, CameraKeysAreSetTypedAndReadBackByTheCamera) {
    const std::pair<std::string, std::string> settings[] = {
        {"KEY_FRAMEMODE 4", "KEY_FRAMEMODE = 4\n"},
        {"KEY_FILMTYPE 12", "KEY_FILMTYPE = 12\n"},
        {"KEY_FLASH 2", "KEY_FLASH = 2\n"},
        {"KEY_EV 2/3", "KEY_EV = 2/3\n"},
        {"KEY_FILMPACK1 YES", "KEY_FILMPACK1 = yes\n"},
        {"KEY_GEOTAG true", "KEY_GEOTAG = yes\n"},
        {"KEY_HEIC 1", "KEY_HEIC = yes\n"},
        {"KEY_GRID yes", "KEY_GRID = yes\n"},
        {"KEY_LENS 100", "KEY_LENS = 100\n"},
        {"KEY_VERSION '7 (b)'", "KEY_VERSION = 7 (b)\n"},
    };
    for (const auto& [arguments, printed] : settings) {
        Result set = run("set " + arguments);
        ASSERT_EQ(set.status, 0) << arguments << ": " << set.err;
        EXPECT_EQ(set.out, printed);
    }

    // Stored with the types the camera reads and writes.
    auto entries = cameraFile();
    EXPECT_EQ(entries.at("KEY_FRAMEMODE"), DefaultsValue(4));
    EXPECT_EQ(entries.at("KEY_FILMTYPE"), DefaultsValue(12));
    EXPECT_EQ(entries.at("KEY_EV"), DefaultsValue(2.0f / 3));
    EXPECT_EQ(entries.at("KEY_GEOTAG"), DefaultsValue(true));
    EXPECT_EQ(entries.at("KEY_LENS"), DefaultsValue(100));
    EXPECT_EQ(entries.at("KEY_VERSION"), DefaultsValue("7 (b)"));
    EXPECT_EQ(entries.count("KEY_TIFF"), 0u);

    // A second store of the camera's, with its registered defaults, reads the same.
    hx::UserDefaults camera("halidex");
    camera.registerDefaults(hx::app::cameraRegisteredDefaults());
    EXPECT_EQ(camera.integerForKey("KEY_FRAMEMODE"), 4);
    EXPECT_EQ(camera.integerForKey("KEY_FILMTYPE"), 12);
    EXPECT_EQ(camera.integerForKey("KEY_FLASH"), 2);
    EXPECT_EQ(camera.floatForKey("KEY_EV"), 2.0f / 3);
    EXPECT_TRUE(camera.boolForKey("KEY_FILMPACK1"));
    EXPECT_TRUE(camera.boolForKey("KEY_HEIC"));
    EXPECT_FALSE(camera.boolForKey("KEY_TIFF"));
    EXPECT_TRUE(camera.boolForKey("KEY_GRID"));
    EXPECT_EQ(camera.integerForKey("KEY_LENS"), 100);
    EXPECT_EQ(camera.stringForKey("KEY_VERSION"), "7 (b)");

    // get prints what set takes.
    EXPECT_EQ(run("get KEY_EV").out, "2/3\n");
    EXPECT_EQ(run("get KEY_GEOTAG").out, "yes\n");
    EXPECT_EQ(run("get KEY_VERSION").out, "7 (b)\n");
    ASSERT_EQ(run("set KEY_EV -0.3333333").status, 0);
    EXPECT_EQ(run("get KEY_EV").out, "-1/3\n");
    EXPECT_EQ(cameraFile().at("KEY_EV"), DefaultsValue(-1.0f / 3));

    // TIFF and HEIC exclude each other, as the camera's toggles keep them.
    Result tiff = run("set KEY_TIFF on");
    ASSERT_EQ(tiff.status, 0) << tiff.err;
    EXPECT_EQ(tiff.out, "KEY_TIFF = yes\nKEY_HEIC = no (TIFF and HEIC exclude each other)\n");
    EXPECT_EQ(cameraFile().at("KEY_HEIC"), DefaultsValue(false));
    EXPECT_EQ(run("set KEY_TIFF no").out, "KEY_TIFF = no\n");

    // reset removes the stored value; the registered default shows again.
    Result reset = run("reset KEY_LENS");
    ASSERT_EQ(reset.status, 0) << reset.err;
    EXPECT_EQ(reset.out, "KEY_LENS = 1, the default\n");
    EXPECT_EQ(cameraFile().count("KEY_LENS"), 0u);
    EXPECT_EQ(run("get KEY_LENS").out, "1\n");
}

TEST_F(HalidexSettings, CameraKeysReadTheirDefaultsWithoutWriting) {
    const std::pair<const char*, const char*> defaults[] = {
        {"KEY_FRAMEMODE", "1\n"}, {"KEY_FILMTYPE", "0\n"}, {"KEY_FLASH", "0\n"},  {"KEY_EV", "0\n"},
        {"KEY_HEIC", "no\n"},     {"KEY_LENS", "1\n"},     {"KEY_VERSION", "\n"},
    };
    for (const auto& [key, printed] : defaults) {
        Result get = run(std::string("get ") + key);
        EXPECT_EQ(get.status, 0) << key << ": " << get.err;
        EXPECT_EQ(get.out, printed) << key;
    }

    // list keeps to the settings screen's preferences; list --all adds the camera's keys.
    Result list = run("list");
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out.find("KEY_"), std::string::npos) << list.out;
    Result all = run("list --all");
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.out.rfind(list.out, 0), 0u) << all.out;
    for (const char* text :
         {"KEY_FILMTYPE: Film\n    value: 0, the default\n    allowed: a film 0 to 12\n",
          "KEY_EV: Exposure compensation\n    value: 0, the default\n",
          "KEY_GRID: Viewfinder grid\n    value: no, the default\n    allowed: yes or no\n",
          "KEY_VERSION: Version that last saved the settings\n    value: \"\", the default\n"})
        EXPECT_NE(all.out.find(text), std::string::npos) << text << "\n" << all.out;
    EXPECT_FALSE(fs::exists(home / "config/halidex.defaults"));  // reading writes nothing
    EXPECT_EQ(run("list --everything").status, 2);

    // Stored values lose the mark; one written by other means outside the range is flagged.
    {
        hx::UserDefaults camera("halidex");
        camera.setInteger(3, "KEY_FLASH");
        camera.setFloat(-1.0f / 3, "KEY_EV");
    }
    all = run("list --all");
    EXPECT_NE(all.out.find("KEY_FLASH: Flash\n    value: 3 (not allowed)\n"), std::string::npos)
        << all.out;
    EXPECT_NE(all.out.find("KEY_EV: Exposure compensation\n    value: -1/3\n"), std::string::npos)
        << all.out;
}

TEST_F(HalidexSettings, CameraKeysRefuseValuesOutsideTheirDomain) {
    ASSERT_EQ(run("set KEY_FILMTYPE 5").status, 0);
    ASSERT_EQ(run("set KEY_EV 1").status, 0);
    const auto before = cameraFile();

    const std::pair<std::string, std::string> refused[] = {
        {"KEY_FILMTYPE -1", "KEY_FILMTYPE takes a film 0 to 12, not -1"},
        {"KEY_FILMTYPE 13", "KEY_FILMTYPE takes a film 0 to 12, not 13"},
        {"KEY_FRAMEMODE 0", "KEY_FRAMEMODE takes a frame mode 1 to 4, not 0"},
        {"KEY_FRAMEMODE 5", "KEY_FRAMEMODE takes a frame mode 1 to 4, not 5"},
        {"KEY_FLASH 3", "KEY_FLASH takes a flash setting 0 to 2"},
        {"KEY_LENS 3", "KEY_LENS takes a lens 0, 1, 2 or 100"},
        {"KEY_EV 8.34", "KEY_EV takes a multiple of 1/3 stop from -8 to 8"},
        {"KEY_EV 0.5", "not 0.5"},
        {"KEY_EV 25/3", "not 25/3"},
        {"KEY_EV bright", "not bright"},
        {"KEY_GRID maybe", "KEY_GRID takes yes or no, not maybe"},
        {"KEY_TIFF ''", "KEY_TIFF takes yes or no, not \"\""},
    };
    for (const auto& [arguments, message] : refused) {
        Result set = run("set " + arguments);
        EXPECT_EQ(set.status, 2) << arguments;
        EXPECT_NE(set.err.find(message), std::string::npos) << arguments << ": " << set.err;
        EXPECT_NE(set.err.find("nothing was changed"), std::string::npos) << set.err;
        EXPECT_EQ(set.out, "") << arguments;
    }
    EXPECT_EQ(cameraFile(), before);

    // The edges inside are taken.
    for (const char* accepted : {"KEY_FILMTYPE 0", "KEY_FRAMEMODE 1", "KEY_EV -8", "KEY_EV 8",
                                 "KEY_EV 1/3", "KEY_LENS 0", "KEY_FLASH 0"})
        EXPECT_EQ(run(std::string("set ") + accepted).status, 0) << accepted;
    EXPECT_EQ(cameraFile().at("KEY_EV"), DefaultsValue(1.0f / 3));
}

TEST_F(HalidexSettings, ACameraKeySetWhileTheCameraHoldsOtherChangesKeepsBoth) {
    hx::UserDefaults camera("halidex");
    camera.registerDefaults(hx::app::cameraRegisteredDefaults());
    camera.setInteger(7, "KEY_FILMTYPE");
    ASSERT_TRUE(camera.synchronize());
    // Changes the camera makes while the tool writes other keys: the tool's writes keep the
    // camera's (flushed or not yet), and the camera's next write keeps the tool's.
    camera.setBool(true, "KEY_GRID");
    camera.setInteger(2, "KEY_FRAMEMODE");
    ASSERT_EQ(run("set KEY_EV -4/3").status, 0);
    ASSERT_EQ(run("set KEY_LENS 2").status, 0);
    ASSERT_EQ(run("set shutter_preference 1").status, 0);
    camera.setBool(true, "KEY_GEOTAG");
    ASSERT_TRUE(camera.synchronize());

    auto entries = cameraFile();
    EXPECT_EQ(entries.at("KEY_FILMTYPE"), DefaultsValue(7));
    EXPECT_EQ(entries.at("KEY_GRID"), DefaultsValue(true));
    EXPECT_EQ(entries.at("KEY_FRAMEMODE"), DefaultsValue(2));
    EXPECT_EQ(entries.at("KEY_GEOTAG"), DefaultsValue(true));
    EXPECT_EQ(entries.at("KEY_EV"), DefaultsValue(-4.0f / 3));
    EXPECT_EQ(entries.at("KEY_LENS"), DefaultsValue(2));
    EXPECT_EQ(entries.at("shutter_preference"), DefaultsValue(1));
    // The camera's store brought in the tool's values with its own write.
    EXPECT_EQ(camera.floatForKey("KEY_EV"), -4.0f / 3);
    EXPECT_EQ(camera.integerForKey("KEY_LENS"), 2);

    // And the tool sees the camera's.
    EXPECT_EQ(run("get KEY_GRID").out, "yes\n");
    EXPECT_EQ(run("get KEY_FILMTYPE").out, "7\n");
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

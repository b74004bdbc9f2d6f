// The camera program end to end, driven by its script language headless: the camera screen of
// every device profile against stored pictures, rotation, the settings panel writing the store
// that halidex-settings reads, bad scripts, permissions, a device without cameras, and a second
// launch handing its quick action to the running camera.
// HalidexProgramTestSupport.h says how to approve new screenshots.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/HalidexProgramTestSupport.h"
#include "tests/support/RequireTool.h"
#include "tests/support/Sanitizers.h"

extern char** environ;

namespace {

using namespace hx::app::testing;

TEST_F(HalidexProgramTest, TheCameraScreenOfEveryProfileMatchesItsReference) {
    for (const std::string profile : {"phone", "small-phone", "tablet", "legacy-phone"}) {
        SCOPED_TRACE(profile);
        const fs::path picture = home_.path() / (profile + ".png");
        auto run =
            runScript("wait 1\nscreenshot " + picture.string() + "\nquit\n", {"--device", profile});
        ASSERT_EQ(run.status, 0) << run.output;
        expectMatchesReference(picture, "halidex-" + profile);
    }
}

TEST_F(HalidexProgramTest, TurningTheDeviceTurnsTheControls) {
    const fs::path picture = home_.path() / "landscape.png";
    auto run = runScript("tilt landscape-left\nwait 1\nscreenshot " + picture.string() + "\n", {});
    ASSERT_EQ(run.status, 0) << run.output;
    expectMatchesReference(picture, "halidex-phone-landscape-left");
}

TEST_F(HalidexProgramTest, TheSettingsPanelWritesTheStoreTheSettingsToolReads) {
    // A value the tool set before the camera runs is kept through the camera's own saves.
    ASSERT_EQ(settings("set KEY_FILMTYPE 3").status, 0);
    auto run = runScript(
        "press _settingButton\nwait 0.5\npress _gridButton\npress _heicButton\n"
        "press _tiffButton\nwait 0.5\npress _settingCloseButton\nwait 0.5\nquit\n",
        {});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(settings("get KEY_GRID").output.find("yes"), std::string::npos);
    EXPECT_NE(settings("get KEY_TIFF").output.find("yes"), std::string::npos);
    EXPECT_NE(settings("get KEY_HEIC").output.find("no"), std::string::npos);
    EXPECT_NE(settings("get KEY_FILMTYPE").output.find("3"), std::string::npos);
    EXPECT_NE(settings("get KEY_VERSION").output.find(HALIDEX_BUNDLE_VERSION), std::string::npos);
}

TEST_F(HalidexProgramTest, TheHardwareKeyTakesPhotosIntoTheAlbum) {
    // The shutter on the hardware key, upright and turned, in the square frame: each press ends
    // as a photo in the library and the album once the camera is idle.
    ASSERT_EQ(settings("set KEY_FRAMEMODE 2").status, 0);
    auto run = runScript(
        "wait 1\nkey volume-up\nwait-idle 60\ntilt landscape-left\nwait 1\n"
        "key volume-up\nwait-idle 60\nquit\n",
        {});
    ASSERT_EQ(run.status, 0) << run.output;
    auto listed = hx::testsupport::runCommand(
        shellQuoted(kLibrary) + " list --album 'Halidex Camera' 2>&1", environment());
    ASSERT_EQ(listed.status, 0) << listed.output;
    auto lines = hx::testsupport::linesOf(listed.output);
    std::erase_if(lines, [](const std::string& line) { return line.empty(); });
    EXPECT_EQ(lines.size(), 2u) << listed.output;
}

TEST_F(HalidexProgramTest, ACameraUnpluggedMidSessionIsShownGoneAndTakesPhotosOnceBack) {
    // A photo, the camera pulled out (the screen says so, the shutter does nothing, the browser
    // opens and closes), the camera back, and another photo: both are in the album.
    const fs::path gone = home_.path() / "gone.png";
    auto run = runScript(
        "wait 1\nkey volume-up\nwait-idle 60\ncamera unplug\nwait-camera gone 5\nwait 0.5\n"
        "screenshot " +
            gone.string() +
            "\nkey volume-up\nwait 0.5\n"
            "press _pvButton\nwait 1\npress _doneButton\nwait 1\n"
            "camera plug\nwait-camera back 5\n"
            "wait 1\nkey volume-up\nwait-idle 60\nquit\n",
        {});
    ASSERT_EQ(run.status, 0) << run.output;
    expectMatchesReference(gone, "halidex-phone-camera-gone");
    EXPECT_NE(run.output.find("shutter ignored"), std::string::npos) << run.output;
    auto listed = hx::testsupport::runCommand(
        shellQuoted(kLibrary) + " list --album 'Halidex Camera' 2>&1", environment());
    ASSERT_EQ(listed.status, 0) << listed.output;
    auto lines = hx::testsupport::linesOf(listed.output);
    std::erase_if(lines, [](const std::string& line) { return line.empty(); });
    EXPECT_EQ(lines.size(), 2u) << listed.output << run.output;

    // A camera that never comes back fails the wait with a message naming the line.
    run = runScript("wait 0.5\ncamera unplug\nwait-camera gone 5\nwait-camera back 1\nquit\n", {});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("line 4: wait-camera: the camera is still gone after 1 s"),
              std::string::npos)
        << run.output;
}

TEST_F(HalidexProgramTest, ABadScriptLineStopsBeforeAnythingRuns) {
    const fs::path picture = home_.path() / "never.png";
    auto run = runScript("screenshot " + picture.string() + "\ntap 10\n", {});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("line 2"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(picture));

    run = runScript("wait 0.1\npress _noSuchButton\n", {});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("line 2"), std::string::npos) << run.output;
}

TEST_F(HalidexProgramTest, ADeniedCameraShowsItsAlertAndTheScreenStaysUsable) {
    cameraAuth_ = "denied";
    const fs::path picture = home_.path() / "denied.png";
    auto run = runScript("wait 1\nscreenshot " + picture.string() + "\nquit\n", {});
    ASSERT_EQ(run.status, 0) << run.output;
    expectMatchesReference(picture, "halidex-phone-camera-denied");
}

TEST_F(HalidexProgramTest, ADeviceWithoutCamerasStartsAndSaysSo) {
    const fs::path profile = home_.path() / "no-camera.profile";
    std::ofstream(profile) << "base = phone\ncameras = none\n";
    const fs::path picture = home_.path() / "none.png";
    auto run = runScript(
        "wait 1\ntilt landscape-right\nwait 1\nscreenshot " + picture.string() + "\nquit\n",
        {"--device", profile.string()});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("no camera"), std::string::npos) << run.output;
    EXPECT_TRUE(fs::exists(picture));
}

// Starts halidex headless in real time, its output in a file; the process id.
pid_t startCamera(const EnvironmentChanges& changes, const fs::path& output,
                  std::vector<std::string> arguments = {"--headless"}) {
    std::vector<std::string> environmentText;
    for (char** e = environ; *e; ++e) environmentText.emplace_back(*e);
    for (const auto& [name, value] : changes) {
        std::erase_if(environmentText,
                      [&](const std::string& each) { return each.rfind(name + "=", 0) == 0; });
        if (value) environmentText.push_back(name + "=" + *value);
    }
    std::vector<char*> envp;
    for (auto& each : environmentText) envp.push_back(each.data());
    envp.push_back(nullptr);
    arguments.insert(arguments.begin(), kHalidex);
    std::vector<char*> argv;
    for (auto& each : arguments) argv.push_back(each.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (posix_spawn(&pid, kHalidex.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits (in real time: the other process runs on its own) until the predicate holds.
template <typename Predicate>
bool eventually(Predicate predicate, double seconds = 30) {
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (predicate()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return predicate();
}

TEST_F(HalidexProgramTest, ASecondLaunchHandsItsQuickActionToTheRunningCamera) {
    const fs::path output = home_.path() / "primary.log";
    pid_t primary = startCamera(environment(), output);
    ASSERT_GT(primary, 0);
    const fs::path socket = home_.path() / "runtime" / "halidex.sock";
    ASSERT_TRUE(eventually([&] { return fs::exists(socket); })) << readFile(output);

    auto second = hx::testsupport::runCommand(
        shellQuoted(kHalidex) + " --headless --action takeselfie 2>&1", environment());
    EXPECT_EQ(second.status, 0) << second.output;
    EXPECT_TRUE(eventually([&] {
        return readFile(output).find("quick action takeselfie") != std::string::npos;
    })) << readFile(output);

    // A script cannot run beside the running camera: it would need the same camera.
    auto scripted = runScript("quit\n", {});
    EXPECT_EQ(scripted.status, 1) << scripted.output;

    ::kill(primary, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(primary, &status, 0), primary);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << readFile(output);
    EXPECT_FALSE(fs::exists(socket));
}

TEST_F(HalidexProgramTest, APhotoLoggedAsSavedSurvivesTheCameraBeingKilled) {
    HX_REQUIRE_TOOLS("sqlite3");
    // A burst of presses, the camera killed at a different moment of it each round.
    std::string burst = "wait 0.5\n";
    for (int i = 0; i < 12; ++i) burst += "key volume-up\nwait 0.15\n";
    burst += "wait-idle 60\nquit\n";
    const fs::path script = home_.path() / "burst.txt";
    std::ofstream(script) << burst;
    size_t saved = 0;
    // The last round is killed just after the first photo is saved, however busy the machine.
    for (const int killAfterMs : {700, 1500, 3000, 0}) {
        SCOPED_TRACE(killAfterMs);
        const fs::path output = home_.path() / "burst.log";
        pid_t camera = startCamera(environment(), output, {"--headless", "--script", script});
        ASSERT_GT(camera, 0);
        if (killAfterMs == 0) {
            EXPECT_TRUE(eventually(
                [&] {
                    return readFile(output).find("Finished adding asset. Success") !=
                           std::string::npos;
                },
                60 * hx::testing::kSlowdown))
                << readFile(output);
        } else {
            // A sanitizer build starts and saves several times slower.
            std::this_thread::sleep_for(
                std::chrono::milliseconds(int(killAfterMs * hx::testing::kSlowdown)));
        }
        ::kill(camera, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(camera, &status, 0), camera);
        const std::string log = readFile(output);
        for (size_t at = log.find("Finished adding asset. Success"); at != std::string::npos;
             at = log.find("Finished adding asset. Success", at + 1))
            ++saved;

        // Every photo reported as saved is in the album; the database is whole.
        auto listed = hx::testsupport::runCommand(
            shellQuoted(kLibrary) + " list --album 'Halidex Camera' 2>&1", environment());
        ASSERT_EQ(listed.status, 0) << listed.output;
        auto lines = hx::testsupport::linesOf(listed.output);
        std::erase_if(lines, [](const std::string& line) { return line.empty(); });
        EXPECT_GE(lines.size(), saved) << log;
        const fs::path database = home_.path() / "data/library/library.sqlite";
        ASSERT_TRUE(fs::exists(database));
        auto check = hx::testsupport::runCommand("sqlite3 " + shellQuoted(database.string()) +
                                                 " 'PRAGMA integrity_check' 2>&1");
        EXPECT_EQ(check.output, "ok\n");
    }
    EXPECT_GT(saved, 0u) << "no photo was reported saved";
    // The next start works.
    auto run = runScript("wait 0.5\nkey volume-up\nwait-idle 60\nquit\n", {});
    EXPECT_EQ(run.status, 0) << run.output;
}

}  // namespace

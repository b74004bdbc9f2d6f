// The camera application with a real camera: a PipeWire test camera in a private session. The
// application finds it without being told (HALIDEX_CAMERA unset), shows it, and a press of the
// shutter ends as a photo in the library that names the camera's own maker and model. A camera
// stopped mid-session is shown gone; a fresh one of the same name is taken up again, and every
// photo taken on either side of the gap reaches the library. Started with PipeWire asked for and
// no camera yet, it takes up the first one connected.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <thread>

#include "tests/app/HalidexProgramTestSupport.h"
#include "tests/support/PipeWireFixture.h"
#include "tests/support/RequireTool.h"

namespace hx::app::testing {
namespace {

class RealCameraProgramTest : public HalidexProgramTest {
  protected:
    void SetUp() override {
        HX_REQUIRE_TOOLS(HX_PIPEWIRE_FIXTURE_TOOLS, "exiftool");
        ASSERT_TRUE(session_.start()) << session_.lastOutput();
    }

    // The program's environment with the private session, and the camera left to choose.
    EnvironmentChanges cameraEnvironment() const {
        EnvironmentChanges changes = environment();
        for (const auto& change : session_.environment()) changes.push_back(change);
        changes.emplace_back("HALIDEX_CAMERA", std::nullopt);
        return changes;
    }

    CommandResult run(const std::string& command,
                      const std::optional<std::string>& camera = std::nullopt) {
        EnvironmentChanges changes = cameraEnvironment();
        if (camera) changes.emplace_back("HALIDEX_CAMERA", *camera);
        return hx::testsupport::runCommand(command + " 2>&1", changes);
    }

    CommandResult photosAroundAGap(const std::string& returning);

    // The photos of the camera's album, one line each.
    std::vector<std::string> albumLines() {
        auto listed = run(shellQuoted(kLibrary) + " list --album 'Halidex Camera'");
        EXPECT_EQ(listed.status, 0) << listed.output;
        auto lines = hx::testsupport::linesOf(listed.output);
        std::erase_if(lines, [](const std::string& line) { return line.empty(); });
        return lines;
    }

    hx::testsupport::PipeWireFixture session_{HX_PIPEWIRE_FIXTURE, HX_TEST_SOURCE_PROGRAM};
};

// Waits (in real time: the program runs on its own) until the file exists.
bool appears(const fs::path& file, std::chrono::seconds patience) {
    const auto end = std::chrono::steady_clock::now() + patience;
    while (std::chrono::steady_clock::now() < end) {
        if (fs::exists(file)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return fs::exists(file);
}

TEST_F(RealCameraProgramTest, APhotoFromThePipeWireCameraNamesItsMakerAndModel) {
    ASSERT_TRUE(session_.addCamera("hx-cam",
                                   "--description 'Acme Cam' --vendor 'Acme Optics' "
                                   "--product 'Acme Cam 4K' --sizes 640x480,1440x1080,4032x3024"))
        << session_.lastOutput();
    const fs::path script = home_.path() / "script.txt";
    std::ofstream(script) << "wait 1\nkey volume-up\nwait-idle 60\nquit\n";
    auto taken = run(shellQuoted(kHalidex) + " --headless --script " + shellQuoted(script));
    ASSERT_EQ(taken.status, 0) << taken.output;

    auto listed = run(shellQuoted(kLibrary) + " list --album 'Halidex Camera'");
    ASSERT_EQ(listed.status, 0) << listed.output;
    auto lines = hx::testsupport::linesOf(listed.output);
    std::erase_if(lines, [](const std::string& line) { return line.empty(); });
    ASSERT_EQ(lines.size(), 1u) << listed.output << taken.output;
    const std::string identifier = lines[0].substr(0, lines[0].find('\t'));
    // Taken at the camera's largest size (4032 x 3024) and cut to the default frame, upright.
    EXPECT_NE(lines[0].find("\t2688x4032"), std::string::npos) << lines[0];

    const fs::path folder = home_.path() / "export";
    auto exported = run(shellQuoted(kLibrary) + " export " + shellQuoted(identifier) + " " +
                        shellQuoted(folder));
    ASSERT_EQ(exported.status, 0) << exported.output;
    fs::path file;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) file = entry.path();
    ASSERT_FALSE(file.empty());

    // exiftool reads what the file says of the camera.
    auto tags = hx::testsupport::runCommand("exiftool -S -Make -Model " + shellQuoted(file));
    ASSERT_EQ(tags.status, 0) << tags.output;
    std::map<std::string, std::string> values;
    for (const auto& line : hx::testsupport::linesOf(tags.output)) {
        const size_t colon = line.find(": ");
        if (colon != std::string::npos) values[line.substr(0, colon)] = line.substr(colon + 2);
    }
    EXPECT_EQ(values["Make"], "Acme Optics");
    EXPECT_EQ(values["Model"], "Acme Cam 4K");
}

// Takes a photo, stops the camera, waits for the screen to show it gone, starts `returning`
// (a fresh camera of that node name), and takes another photo; the program's result.
CommandResult RealCameraProgramTest::photosAroundAGap(const std::string& returning) {
    const std::string camera = "--description 'Acme Cam' --sizes 640x480,1440x1080";
    EXPECT_TRUE(session_.addCamera("hx-cam", camera)) << session_.lastOutput();
    // The script leaves a picture at each step, which tells the test when to act on the
    // camera; it waits for the screen to see the camera go and come back.
    const fs::path taken = home_.path() / "taken.png", gone = home_.path() / "gone.png";
    const fs::path script = home_.path() / "script.txt";
    std::ofstream(script) << "wait 1\nkey volume-up\nwait-idle 60\nscreenshot " << taken.string()
                          << "\nwait-camera gone 60\nscreenshot " << gone.string()
                          << "\nwait-camera back 60\nwait 1\nkey volume-up\nwait-idle 60\nquit\n";
    CommandResult program;
    std::thread running([&] {
        program = run(shellQuoted(kHalidex) + " --headless --script " + shellQuoted(script));
    });
    bool stopped = false, restarted = false;
    if (appears(taken, std::chrono::seconds(90))) {
        stopped = session_.removeCamera("hx-cam");
        if (appears(gone, std::chrono::seconds(90)))
            restarted = session_.addCamera(returning, camera);
    }
    running.join();
    EXPECT_TRUE(stopped) << program.output << session_.lastOutput();
    EXPECT_TRUE(restarted) << program.output << session_.lastOutput();
    return program;
}

TEST_F(RealCameraProgramTest, ACameraStoppedMidSessionIsShownGoneAndAFreshOneTakesPhotosAgain) {
    CommandResult program = photosAroundAGap("hx-cam");
    ASSERT_EQ(program.status, 0) << program.output;
    EXPECT_NE(program.output.find("the camera went away"), std::string::npos) << program.output;
    EXPECT_NE(program.output.find("the camera is back"), std::string::npos) << program.output;
    // The photo before the gap and the one after it are both kept.
    EXPECT_EQ(albumLines().size(), 2u) << program.output;
}

TEST_F(RealCameraProgramTest, AnotherCameraAppearingWhileTheFirstIsGoneIsTakenUp) {
    CommandResult program = photosAroundAGap("hx-other-cam");
    ASSERT_EQ(program.status, 0) << program.output;
    EXPECT_NE(program.output.find("the camera went away"), std::string::npos) << program.output;
    // The session is rebuilt on the new camera rather than waiting for the old one.
    EXPECT_NE(program.output.find("is offered instead"), std::string::npos) << program.output;
    EXPECT_EQ(albumLines().size(), 2u) << program.output;
}

TEST_F(RealCameraProgramTest, StartedWithoutACameraItTakesUpTheFirstOneConnected) {
    const fs::path waiting = home_.path() / "waiting.png";
    const fs::path script = home_.path() / "script.txt";
    std::ofstream(script) << "wait 1\nscreenshot " << waiting.string()
                          << "\nwait-camera back 60\nwait 1\nkey volume-up\nwait-idle 60\nquit\n";
    CommandResult program;
    std::thread running([&] {
        program =
            run(shellQuoted(kHalidex) + " --headless --script " + shellQuoted(script), "pipewire");
    });
    bool added = false;
    if (appears(waiting, std::chrono::seconds(90)))
        added = session_.addCamera("hx-cam", "--description 'Acme Cam' --sizes 640x480");
    running.join();
    EXPECT_TRUE(added) << program.output << session_.lastOutput();
    ASSERT_EQ(program.status, 0) << program.output;
    EXPECT_NE(program.output.find("\"Acme Cam\" is connected and taken up"), std::string::npos)
        << program.output;
    EXPECT_EQ(albumLines().size(), 1u) << program.output;
}

}  // namespace
}  // namespace hx::app::testing

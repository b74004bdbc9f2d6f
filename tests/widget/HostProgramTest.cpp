// halidex-widget-host as people and scripts run it: its renderings of each family against
// stored reference images (a fixed library, seed and date), its list, the camera's reload
// request reaching a running host, and clear refusals of missing or broken extensions.
//
// New reference images are approved with
//     HALIDEX_APPROVE_GOLDEN=1 build/tests/widget/hx_widget_host_program_tests

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/RequireTool.h"
#include "tests/support/RunCommand.h"
#include "tests/support/ScreenshotComparison.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/widget/WidgetTestSupport.h"

namespace hx {
namespace {

namespace fs = std::filesystem;
using testsupport::runCommandSeparately;
using testsupport::shellQuoted;

const std::string kHost = HX_WIDGET_HOST_PROGRAM;
const std::string kCamera = HX_HALIDEX_PROGRAM;
const std::string kExtension = HX_WIDGET_EXTENSION;
const std::string kReferences = HX_WIDGET_REFERENCES_DIR;

class HostProgramTest : public widget_testing::WidgetLibraryTest {
  protected:
    testsupport::EnvironmentChanges environment() const {
        return {{"HALIDEX_HOME", home_},
                {"TZ", "UTC"},
                {"LC_ALL", "en_US.UTF-8"},
                {"HALIDEX_PHOTOS_AUTH", "authorized"},
                {"QT_QPA_PLATFORM", "offscreen"}};
    }
    testsupport::SeparateOutputs host(const std::string& arguments) const {
        return runCommandSeparately(shellQuoted(kHost) + " " + arguments, environment());
    }
    // The fixed library: three photos of the album on three days, and one elsewhere.
    void fixedLibrary() {
        albumWith({"2025:06:01 12:00:00", "2025:07:04 08:30:00", "2025:12:24 18:00:00"});
        saveOne("2024:01:01 00:00:00");
    }
    // Renders and compares with the stored reference `name`.png.
    void expectLooksLike(const std::string& family, const std::string& name,
                         const std::string& extra = "") {
        const std::string out = home_ + "/" + name + ".png";
        const auto run = host("--render " + family + " --out " + shellQuoted(out) +
                              " --now 2026-03-14T09:26:53Z --seed 1 --scale 2 " + extra);
        ASSERT_EQ(run.status, 0) << run.err;
        QImage actual(QString::fromStdString(out));
        ASSERT_FALSE(actual.isNull());
        const std::string reference = kReferences + "/" + name + ".png";
        if (std::getenv("HALIDEX_APPROVE_GOLDEN")) {
            fs::create_directories(kReferences);
            fs::copy_file(out, reference, fs::copy_options::overwrite_existing);
            return;
        }
        QImage expected(QString::fromStdString(reference));
        ASSERT_FALSE(expected.isNull())
            << "no reference " << reference << " (approve with HALIDEX_APPROVE_GOLDEN=1)";
        ASSERT_EQ(actual.size(), expected.size()) << name;
        const auto comparison = testsupport::compare(actual, expected);
        if (comparison.differingShare > testsupport::kDifferingShare ||
            comparison.meanDifference > testsupport::kMeanDifference) {
            const std::string kept = std::string(HX_TEST_BINARY_DIR) + "/widget-" + name;
            actual.save(QString::fromStdString(kept + "-actual.png"));
            comparison.diff.save(QString::fromStdString(kept + "-diff.png"));
            ADD_FAILURE() << name << ": " << comparison.differingShare * 100
                          << "% of the pixels differ (mean " << comparison.meanDifference
                          << "); see " << kept << "-actual.png and -diff.png";
        }
    }
};

TEST_F(HostProgramTest, EachFamilyLooksLikeItsReference) {
    fixedLibrary();
    expectLooksLike("small", "small");
    expectLooksLike("accessory-circular", "accessory-circular");
    expectLooksLike("medium", "medium");
    // Placeholder and snapshot show the same view of a photo.
    expectLooksLike("small", "small", "--mode placeholder");
}

TEST_F(HostProgramTest, AnEmptyAlbumLooksLikeItsReference) {
    makeAlbum("Halidex Camera");
    expectLooksLike("small", "small-no-image");
    expectLooksLike("accessory-circular", "accessory-circular-no-image");
}

TEST_F(HostProgramTest, TheSameSeedPicksTheSamePhotoAndAnotherSeedMayNot) {
    fixedLibrary();
    auto render = [&](int seed) {
        const std::string out = home_ + "/seed.png";
        EXPECT_EQ(host("--render small --out " + shellQuoted(out) + " --seed " +
                       std::to_string(seed) + " --now 2026-03-14T09:26:53Z")
                      .status,
                  0);
        return QImage(QString::fromStdString(out));
    };
    const QImage one = render(1);
    EXPECT_EQ(render(1), one);
    bool another = false;
    for (int seed = 2; seed < 12 && !another; ++seed) another = render(seed) != one;
    EXPECT_TRUE(another) << "ten seeds all picked the same of three photos";
}

TEST_F(HostProgramTest, ListShowsTheWidget) {
    const auto run = host("--list");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("halidexwidget\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("display name: Halidex Album"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("families: small, accessory-circular"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("configuration intent: hxConfigurationIntent"), std::string::npos);
}

TEST_F(HostProgramTest, MissingOrBrokenExtensionsAreRefusedClearly) {
    struct Case {
        std::string file;
        std::string message;
    };
    const std::string garbage = home_ + "/garbage.so";
    std::ofstream(garbage) << "this is not a shared library\n";
    const std::string truncated = home_ + "/truncated.so";
    {
        std::ifstream in(kExtension, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::ofstream(truncated, std::ios::binary) << bytes.substr(0, bytes.size() / 3);
    }
    const Case cases[] = {
        {home_ + "/missing.so", "no widget extension at " + home_ + "/missing.so"},
        {garbage, "is not a widget extension that can be loaded"},
        {truncated, "is not a widget extension that can be loaded"},
        {HX_NOT_AN_EXTENSION, "it has no hxWidgetExtensionMain entry point"},
        {home_, "not a file"},
    };
    for (const Case& c : cases) {
        for (const std::string& command : std::vector<std::string>{
                 "--list", "--render small --out " + home_ + "/x.png", "--headless"}) {
            const auto run = host("--extension " + shellQuoted(c.file) + " " + command);
            EXPECT_EQ(run.status, 2) << c.file << " " << command << "\n" << run.err;
            EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        }
    }
    EXPECT_FALSE(fs::exists(home_ + "/x.png"));
}

TEST_F(HostProgramTest, BadArgumentsExitWithStatusTwo) {
    for (const char* arguments :
         {"--render huge --out x.png", "--render small", "--render small --out x.jpg",
          "--now yesterday --list", "--seed -1 --list", "--scale 0 --list", "--mode sideways",
          "--frobnicate"}) {
        const auto run = host(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.err.find("usage:"), std::string::npos) << arguments;
    }
}

// A running host and the camera program, as two processes: the camera's start asks for a
// reload and the host logs it with its cause. The host then ends cleanly on SIGTERM and takes
// its socket with it.
TEST_F(HostProgramTest, ARunningHostReloadsWhenTheCameraStarts) {
    fixedLibrary();
    const std::string log = home_ + "/host.log";
    std::string command =
        "exec " + shellQuoted(kHost) + " --headless --log-reloads >" + shellQuoted(log) + " 2>&1";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (const auto& [name, value] : environment()) ::setenv(name.c_str(), value->c_str(), 1);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    auto logText = [&] {
        std::ifstream in(log);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };
    auto waitForLog = [&](const std::string& wanted, int count) {
        for (int i = 0; i < 400; ++i) {
            const std::string text = logText();
            int found = 0;
            for (size_t at = text.find(wanted); at != std::string::npos;
                 at = text.find(wanted, at + 1))
                ++found;
            if (found >= count) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    ASSERT_TRUE(waitForLog("listening for reload requests", 1)) << logText();
    EXPECT_TRUE(waitForLog(": first timeline at", 2)) << logText();

    auto cameraEnvironment = environment();
    cameraEnvironment.push_back({"HALIDEX_CAMERA", "simulated"});
    cameraEnvironment.push_back({"HALIDEX_MOTION", "simulated"});
    cameraEnvironment.push_back({"HALIDEX_CAMERA_AUTH", "authorized"});
    cameraEnvironment.push_back({"HALIDEX_LOCATION_AUTH", "denied"});
    const auto camera = testsupport::runCommand(
        shellQuoted(kCamera) + " --headless --script - 2>&1 <<'EOF'\nquit\nEOF", cameraEnvironment);
    EXPECT_EQ(camera.status, 0) << camera.output;
    EXPECT_TRUE(waitForLog(": reload request at", 2)) << logText();

    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << logText();
    EXPECT_TRUE(fs::is_empty(home_ + "/runtime/widget-hosts")) << "the socket stayed";
}

// The autostart entry that starts the host with the desktop session.
TEST(WidgetHostAutostart, TheEntryIsValidAndStartsTheHost) {
    HX_REQUIRE_TOOLS("desktop-file-validate");
    const std::string entry =
        std::string(HX_TEST_RESOURCES_DIR) + "/desktop/org.halidex.camera.widget-host.desktop";
    const auto run =
        testsupport::runCommand("desktop-file-validate " + shellQuoted(entry) + " 2>&1");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");
    std::ifstream in(entry);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("\nExec=halidex-widget-host\n"), std::string::npos);
}

}  // namespace
}  // namespace hx

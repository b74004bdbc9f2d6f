// V4L2 cameras for real, through PipeWire's V4L2 compatibility library: a private PipeWire
// session (tests/pipewire-fixture.sh) with a test camera, which the library serves as
// /dev/video0 to a process that preloads it. This program runs itself again with the library
// preloaded; what it starts (the fixture, the programs under test) gets the library only where a
// test gives it. The library serves one stream per fresh camera, in YUYV only, so each test
// starts a session of its own and streams once.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/capture/CameraBackend.h"
#include "platform/capture/v4l2/V4l2CameraBackend.h"
#include "platform/capture/v4l2/V4l2CameraDriver.h"
#include "platform/log/CaptureScope.h"
#include "tests/app/HalidexProgramTestSupport.h"
#include "tests/support/PipeWireFixture.h"
#include "tests/support/RequireTool.h"
#include "tests/support/Sanitizers.h"
#include "tests/support/ScopedEnvironment.h"

namespace hx::capture::testing {
namespace {

namespace fs = std::filesystem;
using hx::testing::ScopedEnvironment;
using hx::testsupport::EnvironmentChanges;
using hx::testsupport::runCommand;
using hx::testsupport::shellQuoted;

constexpr auto kPatience = std::chrono::seconds(10);
const std::string kLibrary = HX_PIPEWIRE_V4L2_LIBRARY;

bool libraryLoaded() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("libpw-v4l2") != std::string::npos) return true;
    return false;
}

class V4l2Device : public hx::app::testing::HalidexProgramTest {
  protected:
    void SetUp() override {
        HX_REQUIRE_TOOLS(HX_PIPEWIRE_FIXTURE_TOOLS, "exiftool");
        if (kLibrary.empty() || ::access(kLibrary.c_str(), R_OK) != 0)
            HX_TOOL_MISSING("pipewire-v4l2 (its libpw-v4l2.so)");
        ASSERT_TRUE(libraryLoaded()) << "the test program did not preload " << kLibrary;
        ASSERT_TRUE(session_.start()) << session_.lastOutput();
        ASSERT_TRUE(
            session_.addCamera("hx-cam", "--description 'Acme Cam' --sizes 640x480 --rate 15"))
            << session_.lastOutput();
        session_.apply(env_);
        CameraBackend::reset();
    }
    void TearDown() override { CameraBackend::reset(); }

    // A program's environment: the session, the library, and the camera asked for.
    EnvironmentChanges withCamera(const std::string& choice) const {
        EnvironmentChanges changes = environment();
        for (const auto& change : session_.environment()) changes.push_back(change);
        changes.emplace_back("HALIDEX_CAMERA", choice);
        changes.emplace_back("LD_PRELOAD", kLibrary);
        if (hx::testing::kSanitizerBuild) {
            changes.emplace_back("ASAN_OPTIONS", hx::testing::asanOptionsAllowingPreload());
            changes.emplace_back("LSAN_OPTIONS", hx::testing::lsanOptionsAllowingPreload());
        }
        return changes;
    }

    hx::testsupport::PipeWireFixture session_{HX_PIPEWIRE_FIXTURE, HX_TEST_SOURCE_PROGRAM};
    ScopedEnvironment env_;
};

TEST_F(V4l2Device, TheCameraIsFoundByItsCardNameAndListedInWords) {
    auto backend = V4l2CameraBackend::open();
    const auto cameras = backend->cameras();
    ASSERT_EQ(cameras.size(), 1u);
    EXPECT_EQ(cameras[0].path, "/dev/video0");
    EXPECT_EQ(cameras[0].card, "Acme Cam");
    ASSERT_EQ(cameras[0].formats.size(), 1u);
    EXPECT_EQ(cameras[0].formats[0].pixelFormat, CameraPixelFormat::YUY2);
    EXPECT_EQ(cameras[0].formats[0].size, (VideoDimensions{640, 480}));
    ASSERT_EQ(backend->devices().size(), 1u);
    EXPECT_EQ(backend->devices()[0]->localizedName(), "Acme Cam");

    auto listed = runCommand(shellQuoted(HX_CAMERA_SIM_TOOL) + " --list 2>&1", withCamera("auto"));
    ASSERT_EQ(listed.status, 0) << listed.output;
    EXPECT_NE(listed.output.find("v4l2 \"Acme Cam\" back, /dev/video0"), std::string::npos)
        << listed.output;
    EXPECT_NE(listed.output.find("formats 640x480 YUY2 15 fps"), std::string::npos)
        << listed.output;
}

TEST_F(V4l2Device, FramesComeAtTheCameraPaceAndAStillNamesTheCard) {
    auto backend = V4l2CameraBackend::open();
    ASSERT_EQ(backend->devices().size(), 1u);
    CameraDriver& driver = backend->devices()[0]->driver();

    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<double> times;
    gpu::PixelBufferRef last;
    StreamConfiguration stream;
    stream.dimensions = {640, 480};
    stream.pool = PixelBufferPool::create(640, 480, 4);
    driver.startStreaming(stream, [&](gpu::PixelBufferRef buffer, double time) {
        std::lock_guard lock(mutex);
        if (!buffer) return;
        times.push_back(time);
        last = std::move(buffer);
        arrived.notify_all();
    });
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(arrived.wait_for(lock, kPatience, [&] { return times.size() >= 16; }))
            << "frames arrived: " << times.size();
        // Fifteen frames a second: 15 intervals take about a second.
        EXPECT_GT(times[15] - times[0], 0.5);
        EXPECT_LT(times[15] - times[0], 3.0);
        const uint8_t* left = last->baseAddress() + 240 * last->bytesPerRow() + 100 * 4;
        const uint8_t* right = last->baseAddress() + 240 * last->bytesPerRow() + 540 * 4;
        EXPECT_GT(left[2], 200);   // red
        EXPECT_GT(right[0], 200);  // blue
    }

    std::mutex stillMutex;
    std::condition_variable done;
    std::optional<StillResult> still;
    driver.captureStill({}, [&](StillResult r) {
        std::lock_guard lock(stillMutex);
        still = std::move(r);
        done.notify_all();
    });
    {
        std::unique_lock lock(stillMutex);
        ASSERT_TRUE(done.wait_for(lock, 2 * kPatience, [&] { return still.has_value(); }));
    }
    driver.stopStreaming();
    ASSERT_FALSE(still->error) << still->error->localizedDescription;
    ASSERT_TRUE(still->pixelBuffer);
    EXPECT_EQ(still->pixelBuffer->width(), 640u);
    EXPECT_EQ(still->pixelBuffer->height(), 480u);
    const auto tiff = still->metadata.dictionary(image::kCGImagePropertyTIFFDictionary);
    EXPECT_EQ(tiff.string(image::kCGImagePropertyTIFFModel), "Acme Cam");
}

TEST_F(V4l2Device, ACameraRemovedMidStreamIsGone) {
    auto backend = V4l2CameraBackend::open();
    ASSERT_EQ(backend->devices().size(), 1u);
    CameraDriver& driver = backend->devices()[0]->driver();
    std::mutex mutex;
    std::condition_variable arrived;
    int frames = 0;
    StreamConfiguration stream;
    stream.dimensions = {640, 480};
    stream.pool = PixelBufferPool::create(640, 480, 4);
    driver.startStreaming(stream, [&](gpu::PixelBufferRef buffer, double) {
        std::lock_guard lock(mutex);
        frames += buffer != nullptr;
        arrived.notify_all();
    });
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(arrived.wait_for(lock, kPatience, [&] { return frames >= 2; }));
    }

    log::CaptureScope log;
    session_.removeCamera("hx-cam");
    const auto end = std::chrono::steady_clock::now() + kPatience;
    while (!log.contains("the camera went away") && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(log.contains("the camera went away"));
    EXPECT_TRUE(backend->devices().empty());
    CaptureError error;
    EXPECT_FALSE(driver.acquireConfigurationLock(&error));
    EXPECT_EQ(error.code, AVErrorDeviceNotConnected);
    driver.stopStreaming();
}

TEST_F(V4l2Device, TheChooserTakesV4l2WhenAskedAndPipeWireFirstOnAuto) {
    env_.set("HALIDEX_CAMERA", "v4l2");
    CameraBackend::reset();
    EXPECT_STREQ(CameraBackend::current()->name(), "v4l2");
    EXPECT_EQ(CameraBackend::current()->devices().size(), 1u);
    // The same camera through its daemon, where one answers.
    env_.set("HALIDEX_CAMERA", "auto");
    CameraBackend::reset();
    EXPECT_STREQ(CameraBackend::current()->name(), "pipewire");
}

TEST_F(V4l2Device, TheCameraApplicationPhotographsItAndNamesTheCardAsTheModel) {
    const fs::path script = home_.path() / "script.txt";
    std::ofstream(script) << "wait 1\nkey volume-up\nwait-idle 60\nquit\n";
    auto taken = runCommand(shellQuoted(hx::app::testing::kHalidex) + " --headless --script " +
                                shellQuoted(script) + " 2>&1",
                            withCamera("v4l2"));
    ASSERT_EQ(taken.status, 0) << taken.output;

    auto listed =
        runCommand(shellQuoted(hx::app::testing::kLibrary) + " list --album 'Halidex Camera' 2>&1",
                   environment());
    ASSERT_EQ(listed.status, 0) << listed.output;
    auto lines = hx::testsupport::linesOf(listed.output);
    std::erase_if(lines, [](const std::string& line) { return line.empty(); });
    ASSERT_EQ(lines.size(), 1u) << listed.output << taken.output;
    const std::string identifier = lines[0].substr(0, lines[0].find('\t'));

    const fs::path folder = home_.path() / "export";
    auto exported = runCommand(shellQuoted(hx::app::testing::kLibrary) + " export " +
                                   shellQuoted(identifier) + " " + shellQuoted(folder) + " 2>&1",
                               environment());
    ASSERT_EQ(exported.status, 0) << exported.output;
    fs::path file;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) file = entry.path();
    ASSERT_FALSE(file.empty());

    auto tags = runCommand("exiftool -S -Model " + shellQuoted(file));
    ASSERT_EQ(tags.status, 0) << tags.output;
    EXPECT_EQ(tags.output, "Model: Acme Cam\n");
}

}  // namespace
}  // namespace hx::capture::testing

// Runs the tests with PipeWire's V4L2 compatibility library preloaded: the program starts itself
// again with it when it is not loaded yet. Programs it starts do not inherit it.
int main(int argc, char** argv) {
    const std::string library = HX_PIPEWIRE_V4L2_LIBRARY;
    // Listing the tests needs no camera library (nor the time it takes to load).
    bool listing = false;
    for (int i = 1; i < argc; ++i) listing |= std::string(argv[i]) == "--gtest_list_tests";
    if (!listing && !hx::capture::testing::libraryLoaded() && !library.empty() &&
        ::access(library.c_str(), R_OK) == 0 && !std::getenv("HX_V4L2_PRELOADED")) {
        ::setenv("LD_PRELOAD", library.c_str(), 1);
        ::setenv("HX_V4L2_PRELOADED", "1", 1);
        if (hx::testing::kSanitizerBuild) {
            ::setenv("ASAN_OPTIONS", hx::testing::asanOptionsAllowingPreload().c_str(), 1);
            ::setenv("LSAN_OPTIONS", hx::testing::lsanOptionsAllowingPreload().c_str(), 1);
        }
        ::execv("/proc/self/exe", argv);
    }
    ::unsetenv("LD_PRELOAD");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

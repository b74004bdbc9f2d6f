// halidex-camera-sim run as a user runs it: listings, stills in the format their name asks for,
// bad input.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/image/ImageTypes.h"
#include "platform/image/io/ImageSource.h"
#include "platform/image/png/PngCodec.h"
#include "tests/support/PipeWireFixture.h"
#include "tests/support/RequireTool.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TemporaryFolder.h"

namespace {

namespace fs = std::filesystem;

using Result = hx::testsupport::CommandResult;
using hx::testsupport::linesOf;

class CameraSim : public ::testing::Test {
  protected:
    void SetUp() override {
        // A phone with small cameras keeps the stills quick to write.
        std::ofstream(path("small.profile")) << "cameras = wide:1024x768 telephoto front:640x480\n";
    }
    std::string path(const std::string& name) const { return temporary.file(name); }

    Result run(const std::string& arguments) const {
        return hx::testsupport::runCommand(
            std::string(HX_CAMERA_SIM_TOOL) + " " + arguments + " 2>&1",
            {{"HALIDEX_DEVICE", std::nullopt},
             {"HALIDEX_CAMERA_SCENE", std::nullopt},
             {"HALIDEX_CAMERA", "simulated"},
             {"PIPEWIRE_REMOTE", std::nullopt},
             {"XDG_RUNTIME_DIR", folder.string()},
             {"HALIDEX_HOME", folder.string()}});
    }

    hx::testsupport::TemporaryFolder temporary{"camera-sim"};
    const fs::path folder = temporary.path();
};

TEST_F(CameraSim, ListsEachCameraOnOneLine) {
    Result phone = run("--list");
    ASSERT_EQ(phone.status, 0) << phone.output;
    const std::vector<std::string> cameras = linesOf(phone.output);
    ASSERT_EQ(cameras.size(), 5u) << phone.output;
    EXPECT_EQ(cameras[0],
              "AVCaptureDeviceTypeBuiltInUltraWideCamera position 1 formats 640x480 1280x960 "
              "1920x1440 4032x3024");
    EXPECT_NE(phone.output.find("AVCaptureDeviceTypeBuiltInTripleCamera position 1"),
              std::string::npos);
    EXPECT_NE(phone.output.find("AVCaptureDeviceTypeBuiltInWideAngleCamera position 2 formats "
                                "640x480 1280x960 1920x1440 3088x2320"),
              std::string::npos);

    Result small = run("--list --device small-phone");
    ASSERT_EQ(small.status, 0) << small.output;
    EXPECT_EQ(linesOf(small.output).size(), 2u);

    std::ofstream(path("none.profile")) << "cameras = none\n";
    Result none = run("--list --device " + path("none.profile"));
    EXPECT_EQ(none.status, 0);
    EXPECT_NE(none.output.find("has no camera"), std::string::npos) << none.output;
}

TEST_F(CameraSim, ListsTheRealCamerasOfAPipeWireSessionAfterTheSimulatedOnes) {
    HX_REQUIRE_TOOLS(HX_PIPEWIRE_FIXTURE_TOOLS);
    hx::testsupport::PipeWireFixture session(HX_PIPEWIRE_FIXTURE, HX_TEST_SOURCE_PROGRAM);
    ASSERT_TRUE(session.start()) << session.lastOutput();
    ASSERT_TRUE(session.addCamera("hx-usb",
                                  "--description 'Acme Cam' --vendor 'Acme Optics' "
                                  "--product 'Acme Cam 4K' --sizes 640x480,1920x1080"))
        << session.lastOutput();
    ASSERT_TRUE(session.addCamera("hx-laptop",
                                  "--description 'Integrated Camera' "
                                  "--sizes 1280x720 --format NV12"))
        << session.lastOutput();
    hx::testsupport::EnvironmentChanges environment = session.environment();
    environment.emplace_back("HALIDEX_HOME", folder.string());
    environment.emplace_back("HALIDEX_DEVICE", std::nullopt);
    Result listed = hx::testsupport::runCommand(
        std::string(HX_CAMERA_SIM_TOOL) + " --list --device small-phone 2>&1", environment);
    ASSERT_EQ(listed.status, 0) << listed.output;
    const std::vector<std::string> lines = linesOf(listed.output);
    ASSERT_EQ(lines.size(), 4u) << listed.output;
    EXPECT_EQ(lines[0].rfind("AVCaptureDeviceType", 0), 0u);
    std::vector<std::string> real(lines.begin() + 2, lines.end());
    std::sort(real.begin(), real.end());
    EXPECT_EQ(real[0],
              "pipewire \"Acme Cam\" back, Acme Optics Acme Cam 4K, formats 640x480 "
              "YUY2, 1920x1080 YUY2");
    EXPECT_EQ(real[1], "pipewire \"Integrated Camera\" front, formats 1280x720 NV12");
}

TEST_F(CameraSim, WritesAFullSizeStillInSensorOrientation) {
    Result wide = run("--still " + path("wide.png"));
    ASSERT_EQ(wide.status, 0) << wide.output;
    auto picture = hx::image::readPng(path("wide.png"));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width(), 4032);
    EXPECT_EQ(picture->height(), 3024);
    // Landscape as the sensor sees a phone held upright: the sky along the left edge.
    const uint8_t* left = picture->row(1512);
    EXPECT_GT(left[2], left[0] + 30);

    Result front = run("--still " + path("front.png") + " --position 2 --flash 2 --device " +
                       path("small.profile"));
    ASSERT_EQ(front.status, 0) << front.output;
    auto selfie = hx::image::readPng(path("front.png"));
    ASSERT_TRUE(selfie);
    EXPECT_EQ(selfie->width(), 640);
    EXPECT_EQ(selfie->height(), 480);
    EXPECT_EQ(front.output.find("flash fired"), std::string::npos);  // the front has none

    Result tele = run("--still " + path("tele.png") + " --lens 2 --flash 2 --device " +
                      path("small.profile"));
    ASSERT_EQ(tele.status, 0) << tele.output;
    EXPECT_NE(tele.output.find("Back Telephoto Camera"), std::string::npos);
    EXPECT_NE(tele.output.find("flash fired"), std::string::npos);
}

TEST_F(CameraSim, AMissingCameraIsAFailureNotBadInput) {
    Result result =
        run("--still " + path("x.png") + " --lens 100 --device " + path("small.profile"));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("no camera for position 1 and lens 100"), std::string::npos)
        << result.output;
    EXPECT_FALSE(fs::exists(path("x.png")));

    Result unwritable =
        run("--still " + path("no/such/folder/x.png") + " --device " + path("small.profile"));
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.output.find("cannot write"), std::string::npos) << unwritable.output;
}

TEST_F(CameraSim, TheStillIsWrittenInTheFormatOfItsExtension) {
    const std::pair<std::string, std::string> kinds[] = {
        {"still.jpg", hx::image::kUTTypeJPEG},
        {"still.JPEG", hx::image::kUTTypeJPEG},
        {"still.tif", hx::image::kUTTypeTIFF},
    };
    for (const auto& [name, type] : kinds) {
        Result result = run("--still " + path(name) + " --device " + path("small.profile"));
        ASSERT_EQ(result.status, 0) << result.output;
        auto source = hx::image::ImageSource::createWithURL(path(name));
        ASSERT_TRUE(source) << name;
        EXPECT_EQ(source->type(), type) << name;
        auto picture = source->createImageAtIndex(0);
        ASSERT_TRUE(picture) << name;
        EXPECT_EQ(picture->width(), 1024);
        EXPECT_EQ(picture->height(), 768);
        // The sky of the built-in scene along the left edge, as in the PNG.
        const uint8_t* left = picture->row(384);
        EXPECT_GT(left[2], left[0] + 30) << name;
    }
}

TEST_F(CameraSim, AFrontLensTheDeviceLacksIsMissingLikeABackOne) {
    for (const char* lens : {"0", "2", "100"}) {
        Result result = run("--still " + path("x.png") + " --position 2 --lens " + lens +
                            " --device " + path("small.profile"));
        EXPECT_EQ(result.status, 1) << lens << ": " << result.output;
        EXPECT_NE(result.output.find(std::string("no camera for position 2 and lens ") + lens),
                  std::string::npos)
            << result.output;
    }
    EXPECT_FALSE(fs::exists(path("x.png")));
    Result phone = run("--still " + path("x.png") + " --position 2 --lens 2");
    EXPECT_EQ(phone.status, 1) << phone.output;
    Result front = run("--still " + path("x.png") + " --position 2 --lens 1 --device " +
                       path("small.profile"));
    EXPECT_EQ(front.status, 0) << front.output;
    EXPECT_NE(front.output.find("Front Camera"), std::string::npos) << front.output;
}

TEST_F(CameraSim, BadInputExitsWithStatusTwoAndSaysWhy) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "give either --list or --still FILE"},
        {"--list --still a.png", "give either --list or --still FILE"},
        {"--still", "--still needs a value"},
        {"--still a.png --lens 7", "--lens is 0 (ultra-wide), 1 (wide), 2 (telephoto) or 100"},
        {"--still a.png --position 3", "--position is 1 (back) or 2 (front)"},
        {"--still a.png --flash on", "--flash is 0 (off), 1 (auto) or 2 (on)"},
        {"--still a.png --zoom 0.5", "--zoom takes a finite factor of 1 or more"},
        {"--still a.png --zoom inf", "--zoom takes a finite factor of 1 or more, not \"inf\""},
        {"--still a.png --zoom nan", "--zoom takes a finite factor of 1 or more"},
        {"--still a.png --zoom 1e999", "--zoom takes a finite factor of 1 or more"},
        {"--still a.bmp", "the still must end in .jpg, .jpeg, .png, .tif, .tiff, .heic or .heif"},
        {"--still photo", "the still must end in"},
        {"--still a.png --max-pixels 0", "--max-pixels takes a number from 1 to 268435456"},
        {"--still a.png --iso 400", "unknown argument \"--iso\""},
        {"--list --device toaster", "no device profile named \"toaster\""},
    };
    for (const auto& [arguments, message] : cases) {
        Result result = run(arguments);
        EXPECT_EQ(result.status, 2) << arguments;
        EXPECT_NE(result.output.find(message), std::string::npos)
            << arguments << " gave: " << result.output;
        EXPECT_NE(result.output.find("usage:"), std::string::npos) << arguments;
    }
}

}  // namespace

// Device profiles: built-in ones, profile files, HALIDEX_DEVICE, version comparison.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/device/DeviceProfile.h"
#include "platform/device/UIDevice.h"
#include "platform/log/CaptureScope.h"

namespace {

using hx::DeviceProfile;
using hx::UserInterfaceIdiom;

class Profiles : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("hx-device-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        ::unsetenv("HALIDEX_DEVICE");
        DeviceProfile::resetCurrent();
        std::filesystem::remove_all(folder);
    }
    std::string write(const std::string& name, const std::string& text) {
        std::string path = (folder / name).string();
        std::ofstream(path) << text;
        return path;
    }
    std::filesystem::path folder;
};

TEST_F(Profiles, BuiltInProfilesCoverEveryLayoutVariant) {
    // The default is a modern phone on a system with the capture button event.
    const DeviceProfile& phone = DeviceProfile::defaultProfile();
    EXPECT_EQ(phone.name, "phone");
    EXPECT_EQ(phone.width, 390);
    EXPECT_EQ(phone.height, 844);
    EXPECT_EQ(phone.scale, 3);
    EXPECT_EQ(phone.safeAreaInsets, (hx::SafeAreaInsets{47, 0, 34, 0}));
    EXPECT_GE(hx::compareVersions(phone.systemVersion, "17.2"), 0);

    auto small = DeviceProfile::named("small-phone");
    ASSERT_TRUE(small);
    EXPECT_EQ(small->width, 320);
    EXPECT_EQ(small->height, 568);  // the smallest screen with the scaled layout

    auto tablet = DeviceProfile::named("tablet");
    ASSERT_TRUE(tablet);
    EXPECT_EQ(tablet->idiom, UserInterfaceIdiom::Pad);
    EXPECT_EQ(tablet->width, 1024);
    EXPECT_EQ(tablet->height, 1366);

    auto legacy = DeviceProfile::named("legacy-phone");
    ASSERT_TRUE(legacy);
    EXPECT_EQ(legacy->height, 480);                        // the fixed 320 x 480 layout
    EXPECT_EQ(legacy->systemVersion.substr(0, 3), "16.");  // before the capture button event

    EXPECT_FALSE(DeviceProfile::named("watch"));
    EXPECT_EQ(DeviceProfile::builtInNames().size(), 4u);
}

TEST_F(Profiles, ProfileFileOverridesItsBase) {
    std::string path = write("wide-tablet.profile",
                             "# a tablet with a camera of its own\n"
                             "base = tablet\n"
                             "width = 834\n"
                             "height=1194\n"
                             "insets = 24 0 20 0\n"
                             "system-version = 18.0.1\n"
                             "model-identifier = iPad8,1\n");
    std::string error;
    auto profile = DeviceProfile::fromFile(path, &error);
    ASSERT_TRUE(profile) << error;
    EXPECT_EQ(profile->name, "wide-tablet");
    EXPECT_EQ(profile->width, 834);
    EXPECT_EQ(profile->height, 1194);
    EXPECT_EQ(profile->scale, 2);  // from the base
    EXPECT_EQ(profile->idiom, UserInterfaceIdiom::Pad);
    EXPECT_EQ(profile->systemVersion, "18.0.1");
    EXPECT_EQ(profile->modelIdentifier, "iPad8,1");

    auto named = DeviceProfile::parse("# hand edited\r\nname = mine\r\n  idiom=phone  \n",
                                      "fallback", &error);
    ASSERT_TRUE(named) << error;
    EXPECT_EQ(named->name, "mine");
    EXPECT_EQ(named->width, 390);  // the default profile is the base
}

TEST_F(Profiles, BadProfileFilesSayWhatIsWrong) {
    const std::pair<const char*, const char*> cases[] = {
        {"width = 390\ncolour = red\n", "line 2: unknown setting \"colour\""},
        {"idiom = watch\n", "line 1: \"idiom\" is phone or tablet"},
        {"insets = 47 0 34\n", "line 1: \"insets\" takes four numbers"},
        {"insets = 47 0 34 zero\n", "line 1: \"insets\" takes four numbers"},
        {"width = wide\n", "line 1: \"width\" is not a number"},
        {"scale = 3\nbase = tablet\n", "line 2: \"base\" must come before"},
        {"base = watch\n", "line 1: no built-in profile named \"watch\""},
        {"width 390\n", "line 1: expected \"key = value\""},
        {"width = 390\r\n\r\n# note\nsca", "line 4: expected \"key = value\""},
        {"\"name = x\n", "line 1: expected \"key = value\": malformed quoted key"},
        {"width =\n", "line 1: no value for \"width\""},
        {"height = 80\ninsets = 47 0 34 0\n", "safe-area insets leave no room"},
        {"width = -1\n", "the screen size must be positive"},
        {"system-version = seventeen\n", "the system version must be dotted numbers"},
        {"system-version = 17..2\n", "the system version must be dotted numbers"},
    };
    for (const auto& [text, expected] : cases) {
        std::string error;
        EXPECT_FALSE(DeviceProfile::parse(text, "test", &error)) << text;
        EXPECT_EQ(error.rfind(expected, 0), 0u) << text << " gave: " << error;
    }
    std::string error;
    EXPECT_FALSE(DeviceProfile::fromFile((folder / "missing.profile").string(), &error));
    EXPECT_NE(error.find("missing.profile"), std::string::npos);
}

TEST_F(Profiles, EnvironmentPicksTheCurrentProfile) {
    ::setenv("HALIDEX_DEVICE", "legacy-phone", 1);
    DeviceProfile::resetCurrent();
    EXPECT_EQ(DeviceProfile::current().name, "legacy-phone");
    EXPECT_FALSE(hx::UIDevice::currentDevice().systemVersionIsAtLeast("17.2"));

    ::setenv("HALIDEX_DEVICE", write("desk.profile", "base = small-phone\nscale = 1\n").c_str(), 1);
    DeviceProfile::resetCurrent();
    EXPECT_EQ(DeviceProfile::current().name, "desk");
    EXPECT_EQ(DeviceProfile::current().scale, 1);

    hx::log::CaptureScope log;
    ::setenv("HALIDEX_DEVICE", "toaster", 1);
    DeviceProfile::resetCurrent();
    EXPECT_EQ(DeviceProfile::current().name, "phone");
    EXPECT_TRUE(log.contains("toaster"));
}

TEST_F(Profiles, SelectChangesTheCurrentProfileOnlyWhenItSucceeds) {
    ASSERT_TRUE(DeviceProfile::select("tablet"));
    EXPECT_EQ(DeviceProfile::current().name, "tablet");

    std::string error;
    EXPECT_FALSE(DeviceProfile::select("toaster", &error));
    EXPECT_NE(error.find("small-phone"), std::string::npos) << error;  // lists the built-ins
    EXPECT_FALSE(DeviceProfile::select((folder / "none.profile").string(), &error));
    EXPECT_EQ(DeviceProfile::current().name, "tablet");
}

// The lens sets of the built-in profiles: each back-lens combination the camera screen tells
// apart, and a multi-camera device of each kind.
TEST_F(Profiles, BuiltInProfilesOfferDifferentCameraSets) {
    using hx::CameraKind;
    auto kinds = [](const DeviceProfile& profile) {
        std::vector<CameraKind> result;
        for (const hx::CameraDescription& camera : profile.cameras) result.push_back(camera.kind);
        return result;
    };
    const DeviceProfile& phone = DeviceProfile::defaultProfile();
    EXPECT_EQ(kinds(phone),
              (std::vector{CameraKind::UltraWide, CameraKind::Wide, CameraKind::Telephoto,
                           CameraKind::Triple, CameraKind::Front}));
    EXPECT_EQ(phone.cameras[1], (hx::CameraDescription{CameraKind::Wide, 4032, 3024}));
    EXPECT_EQ(phone.cameras[4], (hx::CameraDescription{CameraKind::Front, 3088, 2320}));
    EXPECT_EQ(kinds(*DeviceProfile::named("small-phone")),
              (std::vector{CameraKind::Wide, CameraKind::Front}));
    EXPECT_EQ(kinds(*DeviceProfile::named("tablet")),
              (std::vector{CameraKind::UltraWide, CameraKind::Wide, CameraKind::DualWide,
                           CameraKind::Front}));
    EXPECT_EQ(kinds(*DeviceProfile::named("legacy-phone")),
              (std::vector{CameraKind::Wide, CameraKind::Telephoto, CameraKind::Dual,
                           CameraKind::Front}));
}

TEST_F(Profiles, ProfileFilesListTheirCameras) {
    std::string error;
    auto sized =
        DeviceProfile::parse("cameras = wide:3264x2448 telephoto front:1280x960\n", "test", &error);
    ASSERT_TRUE(sized) << error;
    EXPECT_EQ(sized->cameras,
              (std::vector<hx::CameraDescription>{{hx::CameraKind::Wide, 3264, 2448},
                                                  {hx::CameraKind::Telephoto, 4032, 3024},
                                                  {hx::CameraKind::Front, 1280, 960}}));

    auto none = DeviceProfile::parse("base = tablet\ncameras = none\n", "test", &error);
    ASSERT_TRUE(none) << error;
    EXPECT_TRUE(none->cameras.empty());

    auto inherited = DeviceProfile::parse("base = small-phone\nscale = 1\n", "test", &error);
    ASSERT_TRUE(inherited) << error;
    EXPECT_EQ(inherited->cameras, DeviceProfile::named("small-phone")->cameras);

    const std::pair<const char*, const char*> bad[] = {
        {"cameras = wide periscope\n", "line 1: unknown camera \"periscope\""},
        {"cameras = wide wide\n", "line 1: camera \"wide\" is listed twice"},
        {"cameras = wide:4030x3024\n", "line 1: camera sizes are multiples of 16"},
        {"cameras = wide:4800x3024\n", "line 1: a camera's long side is at most 1.5 times"},
        {"cameras = wide:big\n", "line 1: a camera size is WIDTHxHEIGHT"},
        {"cameras = none wide\n", "line 1: unknown camera \"none\""},
    };
    for (const auto& [text, expected] : bad) {
        EXPECT_FALSE(DeviceProfile::parse(text, "test", &error)) << text;
        EXPECT_EQ(error.rfind(expected, 0), 0u) << text << " gave: " << error;
    }
}

TEST(Versions, CompareNumericallyPartByPart) {
    EXPECT_GT(hx::compareVersions("17.10", "17.2"), 0);
    EXPECT_LT(hx::compareVersions("16.7", "17.2"), 0);
    EXPECT_EQ(hx::compareVersions("17", "17.0"), 0);
    EXPECT_EQ(hx::compareVersions("17.2", "17.2"), 0);
    EXPECT_GT(hx::compareVersions("17.2.1", "17.2"), 0);
    EXPECT_LT(hx::compareVersions("", "1"), 0);
}

}  // namespace

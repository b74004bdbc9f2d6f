#include <gtest/gtest.h>

#include <filesystem>

#include "tests/resources/ResourceFiles.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TemporaryFolder.h"

namespace {

using namespace hx::resourcestest;
using hx::testsupport::runCommand;
using hx::testsupport::shellQuoted;
namespace fs = std::filesystem;

// Installs the build into a fresh prefix, as a packager would, and looks at what landed where.
class InstallTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        prefix_ = new hx::testsupport::TemporaryFolder("hx-install");
        const auto run = runCommand(std::string(HX_CMAKE_COMMAND) + " --install " +
                                    shellQuoted(HX_TEST_BINARY_DIR) + " --prefix " +
                                    shellQuoted(prefix_->path().string()) + " 2>&1");
        installStatus_ = run.status;
        installOutput_ = run.output;
    }
    static void TearDownTestSuite() {
        delete prefix_;
        prefix_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(installStatus_, 0) << installOutput_; }

    static fs::path at(const std::string& relative) { return prefix_->path() / relative; }

    static inline hx::testsupport::TemporaryFolder* prefix_ = nullptr;
    static inline int installStatus_ = -1;
    static inline std::string installOutput_;
};

TEST_F(InstallTest, ProgramsResourcesAndDesktopFilesLandUnderThePrefix) {
    for (const char* program : {"halidex", "halidex-render", "halidex-library", "halidex-settings",
                                "halidex-camera-sim"}) {
        const fs::path path = at(std::string("bin/") + program);
        EXPECT_TRUE(fs::is_regular_file(path)) << path;
        EXPECT_NE(fs::status(path).permissions() & fs::perms::owner_exec, fs::perms::none);
    }
    const std::string resources = "share/halidex/resources/";
    for (const std::string file : {"app/Info.plist", "strings/en.lproj/Localizable.strings",
                                   "camera/images/shutter-568h@3x.png", "camera/images/pre0@2x.png",
                                   "lookup/lookup.png", "settings/SettingsBundle.ini"})
        EXPECT_TRUE(fs::is_regular_file(at(resources + file))) << file;
    // generators, notes and test references stay in the source tree
    for (const std::string absent :
         {"camera/tools", "tools", "ui/screenshots", "desktop", "README.md", "camera/images.txt"})
        EXPECT_FALSE(fs::exists(at(resources + absent))) << absent;

    EXPECT_EQ(readFile(at("share/applications/" + kAppId + ".desktop")),
              readFile(kSource + "/resources/desktop/" + kAppId + ".desktop"));
    EXPECT_TRUE(fs::is_regular_file(at("share/metainfo/" + kAppId + ".metainfo.xml")));
    EXPECT_TRUE(fs::is_regular_file(at("share/icons/hicolor/scalable/apps/" + kAppId + ".svg")));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const std::string dir = std::to_string(size) + "x" + std::to_string(size);
        EXPECT_TRUE(
            fs::is_regular_file(at("share/icons/hicolor/" + dir + "/apps/" + kAppId + ".png")))
            << dir;
    }
}

// An installed program reads the installed resources, not the source tree's: with a lookup
// image taken out of the installed copy, the film that needs it cannot be rendered.
TEST_F(InstallTest, InstalledProgramReadsTheInstalledResources) {
    const fs::path lookup = at("share/halidex/resources/lookup/lookup_3.png");
    ASSERT_TRUE(fs::remove(lookup));
    hx::testsupport::TemporaryFolder out("hx-install-out");
    const std::string sample = kSource + "/resources/samples/sample.png";
    const auto missing =
        runCommand(shellQuoted(at("bin/halidex-render").string()) + " --film 10 " +
                       shellQuoted(sample) + " " + shellQuoted(out.file("ten.jpg")) + " 2>&1",
                   {{"HALIDEX_RESOURCES", std::nullopt}});
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.output.find(at("share/halidex/resources").string()), std::string::npos)
        << missing.output;
    const auto present =
        runCommand(shellQuoted(at("bin/halidex-render").string()) + " --film 9 " +
                       shellQuoted(sample) + " " + shellQuoted(out.file("nine.jpg")) + " 2>&1",
                   {{"HALIDEX_RESOURCES", std::nullopt}});
    EXPECT_EQ(present.status, 0) << present.output;
    EXPECT_TRUE(fs::is_regular_file(out.file("nine.jpg")));
}

}  // namespace

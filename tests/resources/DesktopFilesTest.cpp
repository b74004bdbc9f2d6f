#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "platform/bundle/Bundle.h"
#include "platform/image/png/PngCodec.h"
#include "tests/resources/ResourceFiles.h"
#include "tests/support/RequireTool.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TemporaryFolder.h"

namespace {

using namespace hx::resourcestest;
using hx::testsupport::runCommand;
using hx::testsupport::shellQuoted;

const std::string kDesktopDir = kSource + "/resources/desktop";
const std::string kDesktopFile = kDesktopDir + "/" + kAppId + ".desktop";
const std::string kMetainfo = kDesktopDir + "/" + kAppId + ".metainfo.xml";
const int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};

TEST(DesktopFilesTest, DesktopEntryPassesTheValidator) {
    HX_REQUIRE_TOOLS("desktop-file-validate");
    const auto run = runCommand("desktop-file-validate " + shellQuoted(kDesktopFile) + " 2>&1");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");
}

TEST(DesktopFilesTest, MetainfoPassesTheValidator) {
    HX_REQUIRE_TOOLS("appstreamcli");
    const auto run =
        runCommand("appstreamcli validate --no-net " + shellQuoted(kMetainfo) + " 2>&1");
    EXPECT_EQ(run.status, 0) << run.output;
}

// The desktop actions run the quick actions the information property list declares, and the
// metainfo describes this desktop entry, program and version.
TEST(DesktopFilesTest, EntryActionsMetainfoAndInfoListAgree) {
    auto groups = desktopGroups(readFile(kDesktopFile));
    auto& entry = groups["Desktop Entry"];
    EXPECT_EQ(entry["Name"], "Halidex Camera");
    EXPECT_EQ(entry["Exec"], "halidex");
    EXPECT_EQ(entry["Icon"], kAppId);
    EXPECT_EQ(entry["Categories"], "Graphics;Photography;");
    EXPECT_EQ(entry["StartupNotify"], "true");
    EXPECT_FALSE(entry["Keywords"].empty());
    EXPECT_EQ(entry["Actions"], "take-photo;take-selfie;");

    hx::Bundle bundle(kSource + "/resources");
    const std::string id = bundle.objectForInfoDictionaryKey("CFBundleIdentifier").value_or("");
    std::set<std::string> declared;
    for (const auto& item : bundle.shortcutItems()) declared.insert(item.type);
    const std::pair<const char*, const char*> actions[] = {{"take-photo", "takephoto"},
                                                           {"take-selfie", "takeselfie"}};
    for (const auto& [action, verb] : actions) {
        auto& group = groups[std::string("Desktop Action ") + action];
        EXPECT_EQ(group["Exec"], std::string("halidex --action ") + verb);
        EXPECT_TRUE(declared.count(id + "." + verb)) << verb;
    }
    EXPECT_EQ(groups["Desktop Action take-photo"]["Name"], "Take Photo");
    EXPECT_EQ(groups["Desktop Action take-selfie"]["Name"], "Take Selfie");

    const std::string xml = readFile(kMetainfo);
    EXPECT_EQ(elementText(xml, "id"), kAppId);
    EXPECT_EQ(elementText(xml, "launchable"), kAppId + ".desktop");
    EXPECT_EQ(elementText(xml, "binary"), "halidex");
    EXPECT_TRUE(elementText(xml, "metadata_license"));
    EXPECT_TRUE(elementText(xml, "project_license"));
    std::smatch release;
    ASSERT_TRUE(std::regex_search(xml, release, std::regex("<release version=\"([^\"]+)\"")));
    EXPECT_EQ(release[1].str(), HX_PROJECT_VERSION) << "the newest release names the version";
}

TEST(DesktopFilesTest, IconsHaveTheirSizes) {
    for (int size : kIconSizes) {
        const std::string path = kDesktopDir + "/icons/" + std::to_string(size) + "x" +
                                 std::to_string(size) + "/" + kAppId + ".png";
        std::string error;
        auto icon = hx::image::readPng(path, &error);
        ASSERT_TRUE(icon) << path << ": " << error;
        EXPECT_EQ(icon->width(), size);
        EXPECT_EQ(icon->height(), size);
    }
    EXPECT_NE(readFile(kDesktopDir + "/icons/" + kAppId + ".svg").find("<svg"), std::string::npos);
}

// The committed PNG sizes are what the script makes from the SVG now (a renderer of another
// version may move edge pixels a little, hence the small tolerance).
TEST(DesktopFilesTest, IconsAreRenderedFromTheSvg) {
    HX_REQUIRE_TOOLS("rsvg-convert");
    hx::testsupport::TemporaryFolder out("hx-icons");
    const auto run = runCommand(shellQuoted(kDesktopDir + "/tools/make_icons.sh") + " --out " +
                                shellQuoted(out.path().string()) + " 2>&1");
    ASSERT_EQ(run.status, 0) << run.output;
    for (int size : kIconSizes) {
        const std::string name =
            std::to_string(size) + "x" + std::to_string(size) + "/" + kAppId + ".png";
        auto committed = hx::image::readPng(kDesktopDir + "/icons/" + name);
        auto fresh = hx::image::readPng(out.file(name));
        ASSERT_TRUE(committed && fresh) << name;
        ASSERT_EQ(committed->pixelFormat(), fresh->pixelFormat());
        ASSERT_EQ(committed->width(), fresh->width());
        int worst = 0;
        for (int y = 0; y < size; ++y) {
            const uint8_t* a = committed->data() + y * committed->bytesPerRow();
            const uint8_t* b = fresh->data() + y * fresh->bytesPerRow();
            for (size_t i = 0; i < size * committed->bytesPerPixel(); ++i)
                worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
        }
        EXPECT_LE(worst, 8) << name;
    }
}

}  // namespace

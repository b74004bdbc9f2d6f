// The adjustment data: a binary property list that is a keyed archive of the grid row, read
// back by our reader and by plistutil, an independent one.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "editing/FilterAdjustment.h"
#include "tests/support/RequireTool.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TemporaryFolder.h"

namespace hx::editing {
namespace {

using testsupport::runCommand;
using testsupport::shellQuoted;

TEST(FilterAdjustment, EveryRowSurvivesTheArchiveAndItsFormatIsTheApplications) {
    for (int32_t row = 0; row < 10; ++row) {
        auto data = makeAdjustmentData(row);
        EXPECT_EQ(data->formatIdentifier(), "org.halidex.camera");
        EXPECT_EQ(data->formatVersion(), "1.0");
        ASSERT_GE(data->data().size(), 8u);
        EXPECT_EQ(std::string(data->data().begin(), data->data().begin() + 8), "bplist00");
        EXPECT_EQ(unarchiveFilterRow(data->data()), row);
    }
    EXPECT_EQ(unarchiveFilterRow(archiveFilterRow(-7)), -7);
    EXPECT_EQ(unarchiveFilterRow(archiveFilterRow(2147483647)), 2147483647);
}

TEST(FilterAdjustment, BytesThatAreNotAKeyedArchiveOfANumberAreRefused) {
    EXPECT_EQ(unarchiveFilterRow({}), std::nullopt);
    const std::string junk = "bplist00 but nothing after";
    EXPECT_EQ(unarchiveFilterRow(std::vector<uint8_t>(junk.begin(), junk.end())), std::nullopt);
    // A well-formed property list that is not an archive.
    const std::string xml =
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>$archiver</key>"
        "<string>Other</string></dict></plist>";
    EXPECT_EQ(unarchiveFilterRow(std::vector<uint8_t>(xml.begin(), xml.end())), std::nullopt);
    // An archive whose root is a string, not a number.
    const std::string stringRoot =
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
        "<key>$archiver</key><string>NSKeyedArchiver</string>"
        "<key>$top</key><dict><key>root</key><dict><key>CF$UID</key><integer>1</integer></dict>"
        "</dict><key>$objects</key><array><string>$null</string><string>7</string></array>"
        "</dict></plist>";
    EXPECT_EQ(unarchiveFilterRow(std::vector<uint8_t>(stringRoot.begin(), stringRoot.end())),
              std::nullopt);
    // The archiver's name with a NUL byte inside (a damaged file): refused, not a crash in the
    // property-list library.
    std::vector<uint8_t> damaged = archiveFilterRow(3);
    const std::string name = "NSKeyedArchiver";
    auto at = std::search(damaged.begin(), damaged.end(), name.begin(), name.end());
    ASSERT_NE(at, damaged.end());
    at[3] = 0;
    EXPECT_EQ(unarchiveFilterRow(damaged), std::nullopt);
}

TEST(FilterAdjustment, PlistutilReadsTheArchiveAsAKeyedArchiveOfTheRow) {
    HX_REQUIRE_TOOLS("plistutil");
    testsupport::TemporaryFolder folder;
    const auto bytes = archiveFilterRow(8);
    const std::string binary = folder.file("adjustment.plist");
    std::ofstream(binary, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    auto result = runCommand("plistutil -i " + shellQuoted(binary) + " -f xml 2>&1");
    ASSERT_EQ(result.status, 0) << result.output;
    const std::string& xml = result.output;
    EXPECT_NE(xml.find("<key>$archiver</key>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<string>NSKeyedArchiver</string>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<integer>100000</integer>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<key>root</key>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<key>CF$UID</key>"), std::string::npos) << xml;
    // The objects: the null marker, then the row.
    const auto objects = xml.find("<key>$objects</key>");
    ASSERT_NE(objects, std::string::npos) << xml;
    const auto null = xml.find("<string>$null</string>", objects);
    const auto row = xml.find("<integer>8</integer>", objects);
    EXPECT_NE(null, std::string::npos) << xml;
    EXPECT_NE(row, std::string::npos) << xml;
    EXPECT_LT(null, row);
}

}  // namespace
}  // namespace hx::editing

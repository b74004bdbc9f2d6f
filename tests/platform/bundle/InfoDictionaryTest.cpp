#include "platform/bundle/InfoDictionary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/bundle/Bundle.h"
#include "platform/log/Log.h"
#include "tests/support/TemporaryFolder.h"

namespace {

using hx::InfoDictionary;

TEST(InfoDictionaryTest, ShippedListNamesTheApplicationAndItsQuickActions) {
    hx::Bundle bundle(HX_TEST_RESOURCES_DIR);
    const auto& info = bundle.infoDictionary();
    ASSERT_FALSE(info.empty());
    const std::string id = info.value("CFBundleIdentifier").value_or("");
    EXPECT_EQ(id, "org.halidex.camera");
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleDisplayName"), "Halidex Camera");
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleExecutable"), "halidex");
    // The version the program saves and compares at start-up is the build's own.
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleVersion"), HX_PROJECT_VERSION);
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleShortVersionString"), HX_PROJECT_VERSION);

    const auto items = bundle.shortcutItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].type, id + ".takephoto");
    EXPECT_EQ(items[0].title, "Take Photo");
    EXPECT_EQ(items[1].type, id + ".takeselfie");
    EXPECT_EQ(items[1].title, "Take Selfie");
}

TEST(InfoDictionaryTest, ReadsScalarsAndSkipsIncompleteShortcutItems) {
    const char* xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>Text</key><string>a &amp; b</string>
  <key>Number</key><integer>42</integer>
  <key>Flag</key><true/>
  <key>Nested</key><dict><key>x</key><string>y</string></dict>
  <key>UIApplicationShortcutItems</key><array>
    <dict><key>UIApplicationShortcutItemType</key><string>t.one</string>
          <key>UIApplicationShortcutItemTitle</key><string>One</string>
          <key>UIApplicationShortcutItemSubtitle</key><string>Sub</string></dict>
    <dict><key>UIApplicationShortcutItemType</key><string>t.notitle</string></dict>
    <string>not a dictionary</string>
  </array>
</dict></plist>)";
    std::string error;
    auto info = InfoDictionary::fromXml(xml, &error);
    ASSERT_TRUE(info) << error;
    EXPECT_EQ(info->value("Text"), "a & b");
    EXPECT_EQ(info->value("Number"), "42");
    EXPECT_EQ(info->value("Flag"), "true");
    EXPECT_FALSE(info->value("Nested"));
    ASSERT_EQ(info->shortcutItems().size(), 1u);
    EXPECT_EQ(info->shortcutItems()[0].type, "t.one");
    EXPECT_EQ(info->shortcutItems()[0].subtitle, "Sub");
}

TEST(InfoDictionaryTest, DamagedListsAreRefusedWithAReason) {
    for (const char* bad : {"", "not xml at all", "<plist version=\"1.0\"><dict><key>a</key>",
                            "<plist version=\"1.0\"><array><string>x</string></array></plist>"}) {
        std::string error;
        EXPECT_FALSE(InfoDictionary::fromXml(bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(InfoDictionaryTest, MissingOrDamagedFileGivesAnEmptyDictionaryAndALogLine) {
    std::vector<std::string> logged;
    hx::log::setSink([&](std::string_view message) { logged.emplace_back(message); });
    hx::testsupport::TemporaryFolder folder("hx-info");
    {
        hx::Bundle bundle(folder.path().string());
        EXPECT_TRUE(bundle.infoDictionary().empty());
        EXPECT_FALSE(bundle.objectForInfoDictionaryKey("CFBundleVersion"));
        EXPECT_TRUE(bundle.shortcutItems().empty());
    }
    std::ofstream(folder.file("Info.plist")) << "<plist><dict><key>broken";
    {
        hx::Bundle bundle(folder.path().string());
        EXPECT_TRUE(bundle.infoDictionary().empty());
        EXPECT_TRUE(bundle.infoDictionary().empty());
    }
    hx::log::resetSink();
    // One line for each bundle, however often it is asked.
    EXPECT_EQ(logged.size(), 2u);
}

}  // namespace

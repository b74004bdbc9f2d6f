#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/bundle/Bundle.h"
#include "platform/log/Log.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryFolder.h"

namespace {

using hx::Bundle;

class LocalizedStringsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
            env_.set(name, nullptr);
        hx::log::setSink([this](std::string_view message) { logged_.emplace_back(message); });
    }
    void TearDown() override { hx::log::resetSink(); }

    void write(const std::string& relative, const std::string& text) {
        const auto path = folder_.path() / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }

    hx::testsupport::TemporaryFolder folder_{"hx-localized"};
    hx::testing::ScopedEnvironment env_;
    std::vector<std::string> logged_;
};

TEST_F(LocalizedStringsTest, LanguagesComeFromTheEnvironmentInOrder) {
    EXPECT_EQ(Bundle::languagesFromEnvironment(), (std::vector<std::string>{"en"}));

    env_.set("LANG", "de_AT.UTF-8@euro");
    EXPECT_EQ(Bundle::languagesFromEnvironment(),
              (std::vector<std::string>{"de_AT", "de-AT", "de", "en"}));

    env_.set("LC_MESSAGES", "fr_FR.UTF-8");  // wins over LANG
    EXPECT_EQ(Bundle::languagesFromEnvironment(),
              (std::vector<std::string>{"fr_FR", "fr-FR", "fr", "en"}));

    env_.set("LC_ALL", "C");  // set, so it decides, and asks for no language
    EXPECT_EQ(Bundle::languagesFromEnvironment(), (std::vector<std::string>{"en"}));

    env_.set("LANGUAGE", "pt_BR:en_GB::it");
    EXPECT_EQ(Bundle::languagesFromEnvironment(),
              (std::vector<std::string>{"pt_BR", "pt-BR", "pt", "en_GB", "en-GB", "en", "it"}));
}

TEST_F(LocalizedStringsTest, PreferredLanguageThenEnglishThenFallback) {
    write("strings/en.lproj/Localizable.strings",
          "\"both\" = \"English both\";\n\"only_en\" = \"English only\";\n");
    write("strings/de.lproj/Localizable.strings", "\"both\" = \"Deutsch beide\";\n");
    write("strings/en.lproj/Other.strings", "\"both\" = \"Other table\";\n");
    env_.set("LANG", "de_DE.UTF-8");

    Bundle bundle(folder_.path().string());
    EXPECT_EQ(bundle.localizedStringForKey("both"), "Deutsch beide");
    EXPECT_EQ(bundle.localizedStringForKey("only_en", ""), "English only");
    EXPECT_EQ(bundle.localizedStringForKey("both", "", "Other"), "Other table");
    EXPECT_EQ(bundle.localizedStringForKey("missing", "given value"), "given value");
    EXPECT_EQ(bundle.localizedStringForKey("missing", ""), "missing");
    EXPECT_EQ(bundle.localizedStringForKey("both", "", "NoSuchTable"), "both");
    EXPECT_TRUE(logged_.empty());
}

TEST_F(LocalizedStringsTest, DamagedLineIsLoggedOnceAndGoodEntriesStillServe) {
    write("strings/en.lproj/Localizable.strings",
          "\"good\" = \"fine\";\n\"bad\" = \"no end\"\n\"later\" = \"kept\";\n");
    Bundle bundle(folder_.path().string());
    EXPECT_EQ(bundle.localizedStringForKey("good"), "fine");
    EXPECT_EQ(bundle.localizedStringForKey("later"), "kept");
    EXPECT_EQ(bundle.localizedStringForKey("bad", "fallback"), "fallback");
    ASSERT_EQ(logged_.size(), 1u);
    EXPECT_NE(logged_[0].find("Localizable.strings line 2"), std::string::npos) << logged_[0];
}

TEST_F(LocalizedStringsTest, NoStringFilesAtAllGivesTheFallbacks) {
    Bundle bundle((folder_.path() / "absent").string());
    EXPECT_EQ(bundle.localizedStringForKey("authorize_ph_close", ""), "authorize_ph_close");
    EXPECT_EQ(bundle.localizedStringForKey("authorize_ph_close", "OK"), "OK");
}

// The application's own table has a text for every key the program asks for.
TEST_F(LocalizedStringsTest, ShippedEnglishTableHasEveryKey) {
    Bundle bundle(HX_TEST_RESOURCES_DIR);
    const char* keys[] = {"authorize_camera_titile",
                          "authorize_camera_close",
                          "authorize_camera_open",
                          "authorize_ph_titile",
                          "authorize_ph_close",
                          "authorize_ph_open",
                          "location_disable",
                          "location_notallow",
                          "location_cantget",
                          "support_mailmsg",
                          "widget_displayname",
                          "widget_description",
                          "no image",
                          "no_camera",
                          "save_failed"};
    for (const char* key : keys) {
        const std::string text = bundle.localizedStringForKey(key, "\x01");
        EXPECT_NE(text, "\x01") << key;
        EXPECT_FALSE(text.empty()) << key;
    }
    // The support mail body takes the system version and then the model name.
    const std::string mail = bundle.localizedStringForKey("support_mailmsg");
    size_t count = 0;
    for (size_t at = mail.find("%@"); at != std::string::npos; at = mail.find("%@", at + 2))
        ++count;
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(mail.find('%'), mail.find("%@"));
    EXPECT_TRUE(logged_.empty()) << logged_.front();
}

}  // namespace

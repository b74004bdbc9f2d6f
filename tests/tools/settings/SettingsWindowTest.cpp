// The settings window drawn offscreen: its controls show the stored values and every change
// reaches the camera's store at once.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>

#include <cstdlib>
#include <filesystem>

#include "platform/bundle/Bundle.h"
#include "tests/support/ScopedEnvironment.h"
#include "tools/halidex-settings/SettingsWindow.h"

namespace {

using namespace hx;
namespace fs = std::filesystem;

class SettingsWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        home_ = fs::temp_directory_path() / ("hx-settings-window-" + std::to_string(::getpid()));
        fs::create_directories(home_);
        environment_.set("HALIDEX_HOME", home_.c_str());
        environment_.set("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "hx_settings_window_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) application_ = new QApplication(argc, argv);
        std::string error;
        auto path = Bundle::main().pathForResource("SettingsBundle.ini");
        ASSERT_TRUE(path);
        auto bundle = settings::SettingsBundle::load(*path, &error);
        ASSERT_TRUE(bundle) << error;
        bundle_ = *bundle;
    }
    void TearDown() override { fs::remove_all(home_); }

    fs::path home_;
    hx::testing::ScopedEnvironment environment_;
    settings::SettingsBundle bundle_;
    static inline QApplication* application_ = nullptr;
};

TEST_F(SettingsWindow, ControlsShowTheStoredValuesAndSaveEveryChange) {
    {
        UserDefaults camera("halidex");
        camera.setInteger(3, "autoreview_preference");
        ASSERT_TRUE(camera.synchronize());
    }
    UserDefaults store("halidex");
    auto window = settings::makeSettingsWindow(bundle_, store);
    auto* review = window->findChild<QComboBox*>("autoreview_preference");
    auto* album = window->findChild<QCheckBox*>("savetoalbum_preference");
    auto* shutter = window->findChild<QComboBox*>("shutter_preference");
    ASSERT_TRUE(review && album && shutter);
    EXPECT_EQ(review->currentData().toLongLong(), 3);
    EXPECT_TRUE(album->isChecked());  // album saving is on by default
    EXPECT_EQ(shutter->count(), 3);

    review->setCurrentIndex(review->findData(QVariant::fromValue<qlonglong>(5)));
    album->setChecked(false);
    shutter->setCurrentIndex(2);
    window->show();

    // What the camera reads afresh from the file.
    UserDefaults camera("halidex");
    EXPECT_EQ(camera.integerForKey("autoreview_preference"), 5);
    EXPECT_EQ(camera.objectForKey("savetoalbum_preference").has_value(), true);
    EXPECT_FALSE(camera.boolForKey("savetoalbum_preference"));
    EXPECT_EQ(camera.integerForKey("shutter_preference"), shutter->currentData().toLongLong());
}

}  // namespace

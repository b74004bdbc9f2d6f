// The settings window drawn offscreen: its controls show the stored values and every change
// reaches the camera's store at once.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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

TEST_F(SettingsWindow, TheFolderLineSavesUsableFoldersOnlyAndGoesBackToTheStandardPlace) {
    UserDefaults store("halidex");
    bundle_.preferences.back().standardPlace = (home_ / "Pictures/Halidex Camera").string();
    auto window = settings::makeSettingsWindow(bundle_, store);
    auto* line = window->findChild<QLineEdit*>("library_folder");
    auto* standard = window->findChild<QPushButton*>("library_folder_standard");
    auto* problem = window->findChild<QLabel*>("library_folder_problem");
    ASSERT_TRUE(line && standard && problem);
    EXPECT_TRUE(line->text().isEmpty());
    EXPECT_EQ(line->placeholderText().toStdString(), (home_ / "Pictures/Halidex Camera").string());

    const std::string chosen = (home_ / "Camera").string();
    line->setText(QString::fromStdString(chosen + "/"));
    emit line->editingFinished();
    EXPECT_EQ(line->text().toStdString(), chosen);
    EXPECT_TRUE(problem->isHidden());
    EXPECT_EQ(UserDefaults("halidex").stringForKey("library_folder"), chosen);

    line->setText("relative/folder");
    emit line->editingFinished();
    EXPECT_FALSE(problem->isHidden());
    EXPECT_NE(problem->text().toStdString().find("is not an absolute path"), std::string::npos);
    EXPECT_EQ(line->text().toStdString(), chosen);  // the saved folder shows again
    EXPECT_EQ(UserDefaults("halidex").stringForKey("library_folder"), chosen);

    standard->click();
    EXPECT_TRUE(line->text().isEmpty());
    EXPECT_TRUE(problem->isHidden());
    EXPECT_FALSE(UserDefaults("halidex").objectExists("library_folder"));
}

}  // namespace

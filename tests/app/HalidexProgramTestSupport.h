#pragma once
// Runs the halidex program headless with a script, each test in a home of its own, and compares
// its screenshots with the references in resources/camera/screenshots/.
//
// To approve a new look, write the references again and commit them:
//   HALIDEX_APPROVE_SCREENSHOTS=1 build/tests/app/<the test program>

#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/RunCommand.h"
#include "tests/support/ScreenshotComparison.h"
#include "tests/support/TemporaryFolder.h"

namespace hx::app::testing {

namespace fs = std::filesystem;
using hx::testsupport::CommandResult;
using hx::testsupport::EnvironmentChanges;
using hx::testsupport::shellQuoted;

inline const std::string kHalidex = HX_HALIDEX_PROGRAM;
inline const std::string kSettings = HX_SETTINGS_PROGRAM;
inline const std::string kLibrary = HX_LIBRARY_PROGRAM;

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class HalidexProgramTest : public ::testing::Test {
  protected:
    // Every run gets its own home, so runs never meet as two instances of one user.
    EnvironmentChanges environment() const {
        return {{"HALIDEX_HOME", home_.path().string()},
                {"HALIDEX_CAMERA", "simulated"},
                {"HALIDEX_MOTION", "simulated"},
                {"HALIDEX_CAMERA_AUTH", cameraAuth_},
                {"HALIDEX_PHOTOS_AUTH", "authorized"},
                {"HALIDEX_LOCATION_AUTH", "denied"},
                {"HALIDEX_RESOURCES", HX_TEST_RESOURCES_DIR},
                {"QT_QPA_PLATFORM", "offscreen"}};
    }

    // Runs halidex headless with the script; status and everything it printed.
    CommandResult runScript(const std::string& script, const std::vector<std::string>& arguments) {
        const fs::path file = home_.path() / "script.txt";
        std::ofstream(file) << script;
        std::string line = shellQuoted(kHalidex) + " --headless --script " + shellQuoted(file);
        for (const auto& argument : arguments) line += " " + shellQuoted(argument);
        return hx::testsupport::runCommand(line + " 2>&1", environment());
    }

    CommandResult settings(const std::string& arguments) {
        return hx::testsupport::runCommand(shellQuoted(kSettings) + " " + arguments + " 2>&1",
                                           environment());
    }

    // Compares a screenshot with its reference in resources/camera/screenshots/, or writes the
    // reference when approving.
    void expectMatchesReference(const fs::path& actualPath, const std::string& name) {
        const fs::path reference =
            fs::path(HX_TEST_RESOURCES_DIR) / "camera" / "screenshots" / (name + ".png");
        if (std::getenv("HALIDEX_APPROVE_SCREENSHOTS")) {
            fs::create_directories(reference.parent_path());
            fs::copy_file(actualPath, reference, fs::copy_options::overwrite_existing);
            return;
        }
        QImage expected(QString::fromStdString(reference.string()));
        ASSERT_FALSE(expected.isNull()) << "no reference " << reference;
        QImage actual(QString::fromStdString(actualPath.string()));
        ASSERT_FALSE(actual.isNull()) << actualPath;
        ASSERT_EQ(actual.size(), expected.size()) << name;
        auto result = hx::testsupport::compare(actual, expected);
        const bool matches = result.differingShare <= hx::testsupport::kDifferingShare &&
                             result.meanDifference <= hx::testsupport::kMeanDifference;
        const fs::path kept = fs::read_symlink("/proc/self/exe").parent_path() / name;
        if (!matches) {
            fs::copy_file(actualPath, kept.string() + ".actual.png",
                          fs::copy_options::overwrite_existing);
            result.diff.save(QString::fromStdString(kept.string() + ".diff.png"), "PNG");
        }
        EXPECT_TRUE(matches) << name << ": " << result.differingShare * 100
                             << "% of the pixels differ (mean " << result.meanDifference
                             << "); see " << kept << ".actual.png and .diff.png";
    }

    hx::testsupport::TemporaryFolder home_{"hx-halidex"};
    std::string cameraAuth_ = "authorized";
};

}  // namespace hx::app::testing

// The demo program end to end: its window written headless on the small phone must match the
// stored reference image within a small tolerance; on a mismatch the picture it made and a
// difference image are left next to this test program. Bad command lines get a message and
// status 2.
//
// To approve a new look, write the reference again and commit it (see resources/ui/README.md):
//   halidex-ui-demo --device small-phone
//       --screenshot resources/ui/screenshots/halidex-ui-demo-small-phone.png

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QColor>
#include <QImage>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ScreenshotComparison.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using hx::testsupport::compare;
using hx::testsupport::Comparison;
using hx::testsupport::kDifferingShare;
using hx::testsupport::kMeanDifference;

constexpr const char* kReference = "ui/screenshots/halidex-ui-demo-small-phone.png";
fs::path testProgramFolder() {
    return fs::read_symlink("/proc/self/exe").parent_path();
}

// Runs the demo with the arguments; its exit status (-1 when it could not run), and what it
// wrote to stderr.
int runDemo(const std::vector<std::string>& arguments, std::string* errors = nullptr) {
#ifdef HX_UI_DEMO_PROGRAM
    std::vector<std::string> all{HX_UI_DEMO_PROGRAM};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& each : all) argv.push_back(each.data());
    argv.push_back(nullptr);
    fs::path errorFile = testProgramFolder() / ("demo-stderr-" + std::to_string(::getpid()));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    std::ifstream file(errorFile);
    std::stringstream text;
    text << file.rdbuf();
    if (errors) *errors = text.str();
    fs::remove(errorFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#else
    (void)arguments;
    (void)errors;
    return -1;
#endif
}

#ifdef HX_UI_DEMO_PROGRAM

TEST(DemoScreenshot, TheSmallPhoneWindowMatchesTheReference) {
    fs::path actualPath = testProgramFolder() / "halidex-ui-demo-small-phone.actual.png";
    fs::path diffPath = testProgramFolder() / "halidex-ui-demo-small-phone.diff.png";
    fs::remove(actualPath);
    fs::remove(diffPath);
    std::string errors;
    ASSERT_EQ(runDemo({"--screenshot", actualPath.string(), "--device", "small-phone"}, &errors), 0)
        << errors;

    QImage reference(QString::fromStdString(fs::path(HX_TEST_RESOURCES_DIR) / kReference));
    ASSERT_FALSE(reference.isNull()) << "no reference image " << kReference;
    QImage actual(QString::fromStdString(actualPath.string()));
    ASSERT_FALSE(actual.isNull());
    ASSERT_EQ(actual.size(), reference.size()) << "the small phone is 320 x 568 points at scale 2";

    Comparison result = compare(actual, reference);
    const bool matches =
        result.differingShare <= kDifferingShare && result.meanDifference <= kMeanDifference;
    if (!matches) result.diff.save(QString::fromStdString(diffPath.string()), "PNG");
    EXPECT_TRUE(matches) << result.differingShare * 100 << "% of the pixels differ (mean "
                         << result.meanDifference << " per channel); see " << actualPath << " and "
                         << diffPath;
    if (matches) fs::remove(actualPath);
}

TEST(DemoScreenshot, BadCommandLinesAreExplained) {
    std::string errors;
    EXPECT_EQ(runDemo({"--device", "no-such-phone", "--screenshot", "/dev/null"}, &errors), 2);
    EXPECT_NE(errors.find("no-such-phone"), std::string::npos) << errors;
    EXPECT_EQ(runDemo({"--show", "everything"}, &errors), 2);
    EXPECT_NE(errors.find("--show takes alert, detail or share"), std::string::npos) << errors;
    EXPECT_EQ(runDemo({"--screenshot"}, &errors), 2);
}

TEST(DemoScreenshot, ThePictureIsWrittenInTheFormatOfItsExtension) {
    const fs::path jpeg = testProgramFolder() / ("demo-" + std::to_string(::getpid()) + ".jpg");
    std::string errors;
    ASSERT_EQ(runDemo({"--screenshot", jpeg.string(), "--device", "small-phone"}, &errors), 0)
        << errors;
    std::ifstream file(jpeg, std::ios::binary);
    char start[3] = {};
    file.read(start, 3);
    EXPECT_EQ(std::string(start, 3), "\xFF\xD8\xFF") << "a JPEG file";
    QImage written(QString::fromStdString(jpeg.string()), "JPEG");
    EXPECT_EQ(written.size(), QSize(640, 1136));
    fs::remove(jpeg);

    EXPECT_EQ(runDemo({"--screenshot", "shot.bmp"}, &errors), 2);
    EXPECT_NE(errors.find("--screenshot FILE must end in .jpg"), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists("shot.bmp"));
}

TEST(DemoScreenshot, AnUnwritablePictureIsAFailure) {
    std::string errors;
    EXPECT_EQ(runDemo({"--screenshot", "/nonexistent-folder/shot.png"}, &errors), 1);
    EXPECT_NE(errors.find("cannot write"), std::string::npos) << errors;
}

#else

TEST(DemoScreenshot, TheSmallPhoneWindowMatchesTheReference) {
    GTEST_SKIP() << "the demo program is not part of this build";
}

#endif

TEST(DemoScreenshotComparison, ASmallShiftPassesAndAChangedAreaFails) {
    QImage base(100, 100, QImage::Format_ARGB32);
    base.fill(qRgb(40, 40, 40));
    QImage nudged = base.copy();
    nudged.setPixel(5, 5, qRgb(60, 40, 40));  // within the channel tolerance
    Comparison close = compare(nudged, base);
    EXPECT_EQ(close.differingShare, 0);
    QImage changed = base.copy();
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) changed.setPixel(x, y, qRgb(250, 40, 40));
    Comparison far = compare(changed, base);
    EXPECT_DOUBLE_EQ(far.differingShare, 0.01);
    EXPECT_EQ(QColor(far.diff.pixel(0, 0)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(far.diff.pixel(50, 50)), QColor(0, 0, 0));
}

}  // namespace

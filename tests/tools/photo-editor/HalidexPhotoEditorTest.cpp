// halidex-photo-editor run as a user runs it, headless, with the extension loaded from its
// shared library, on a library in a temporary HALIDEX_HOME; halidex-library (show, export,
// revert) checks what it left in the library, and the screen is compared with its reference.
//
// To approve a new look of the screen, write the reference again and commit it:
//   HALIDEX_HOME=$(mktemp -d) halidex-library import resources/samples/sample.png
//   halidex-photo-editor ID --device small-phone --row 8
//       --screenshot resources/editing/screenshots/halidex-photo-editor-small-phone.png

#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/image/Image.h"
#include "platform/image/io/ImageSource.h"
#include "tests/platform/photos/PhotosTestSupport.h"
#include "tests/support/RequireTool.h"
#include "tests/support/RunCommand.h"
#include "tests/support/ScreenshotComparison.h"
#include "tests/support/TemporaryFolder.h"

namespace {

namespace fs = std::filesystem;
using hx::testsupport::EnvironmentChanges;
using hx::testsupport::runCommandSeparately;
using hx::testsupport::SeparateOutputs;
using hx::testsupport::shellQuoted;

constexpr const char* kReference = "editing/screenshots/halidex-photo-editor-small-phone.png";

class HalidexPhotoEditor : public ::testing::Test {
  protected:
    SeparateOutputs run(const std::string& program, const std::string& arguments) {
        EnvironmentChanges environment{{"HALIDEX_HOME", home_.path().string()},
                                       {"HALIDEX_PHOTO_EDITING_EXTENSION", std::nullopt}};
        return runCommandSeparately(shellQuoted(program) + " " + arguments, environment);
    }
    SeparateOutputs library(const std::string& arguments) {
        return run(HX_LIBRARY_TOOL, arguments);
    }
    SeparateOutputs editor(const std::string& arguments) { return run(HX_PHOTO_EDITOR, arguments); }
    // The editor run once for each argument list, one after the other, in windows on a display
    // server of their own; the status is the first non-zero one. Other programs on the machine
    // may start display servers at the same moment: the search for a free display starts at a
    // number of this process's own, and a server lost in such a race is tried once more.
    SeparateOutputs editorsUnderXvfb(const std::vector<std::string>& runs) {
        std::string script = "status=0";
        for (const std::string& arguments : runs)
            script += "; " + shellQuoted(HX_PHOTO_EDITOR) + " " + arguments +
                      "; code=$?; [ $status = 0 ] && status=$code";
        SeparateOutputs result;
        for (int attempt = 0; attempt < 2; ++attempt) {
            const int display = 200 + int((::getpid() * 7 + attempt * 97) % 600);
            result = run("xvfb-run", "-a -n " + std::to_string(display) + " sh -c " +
                                         shellQuoted(script + "; exit $status"));
            if (result.err.find("could not connect to display") == std::string::npos) break;
        }
        return result;
    }

    // Imports `file`; its identifier.
    std::string import(const std::string& file) {
        auto result = library("import " + shellQuoted(file));
        EXPECT_EQ(result.status, 0) << result.err;
        return result.out.substr(0, result.out.find('\t'));
    }
    // A 64 x 48 colour JPEG stored with `orientation`, imported.
    std::string importPicture(int orientation) {
        const std::string file = home_.file("picture-" + std::to_string(orientation) + ".jpg");
        const auto bytes = hx::photos::testing::makePicture(64, 48, "", orientation);
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return import(file);
    }
    std::string show(const std::string& identifier) {
        auto result = library("show " + identifier);
        EXPECT_EQ(result.status, 0) << result.err;
        return result.out;
    }
    // The edited version as halidex-library exports it, decoded; null when it cannot.
    hx::image::ImageRef exportEdited(const std::string& identifier, int* status = nullptr) {
        const std::string folder = home_.file("export-" + std::to_string(exports_++));
        auto result = library("export --edited " + identifier + " " + shellQuoted(folder));
        if (status) *status = result.status;
        if (result.status != 0) return nullptr;
        std::string path = result.out.substr(0, result.out.find('\n'));
        auto source = hx::image::ImageSource::createWithURL(path);
        return source ? source->createImageAtIndex(0) : nullptr;
    }

    hx::testsupport::TemporaryFolder home_{"hx-photo-editor"};
    int exports_ = 0;
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(HalidexPhotoEditor, DoneCommitsAnUprightGreyEditWithItsAdjustmentDataAndRevertUndoesIt) {
    const std::string id = importPicture(6);
    auto done = editor(id + " --row 5 --done");
    ASSERT_EQ(done.status, 0) << done.err;
    EXPECT_TRUE(contains(done.out, "edited")) << done.out;

    const std::string shown = show(id);
    EXPECT_TRUE(contains(shown, "edited: yes")) << shown;
    EXPECT_TRUE(contains(shown, "adjustment format: org.halidex.camera")) << shown;
    EXPECT_TRUE(contains(shown, "adjustment version: 1.0")) << shown;
    // A binary property list: "bplist00".
    EXPECT_TRUE(contains(shown, "bytes 62706c6973743030")) << shown;
    // The original is kept: its size and orientation are as imported.
    EXPECT_TRUE(contains(shown, "64x48, orientation 6")) << shown;

    // The edit is the photo turned upright (48 wide, 64 high) and grey.
    auto edited = exportEdited(id);
    ASSERT_TRUE(edited);
    EXPECT_EQ(edited->width(), 48);
    EXPECT_EQ(edited->height(), 64);
    if (edited->componentsPerPixel() >= 3) {
        for (int y = 0; y < edited->height(); y += 5)
            for (int x = 0; x < edited->width(); x += 5) {
                const uint8_t* p = edited->row(y) + size_t(x) * edited->bytesPerPixel();
                EXPECT_NEAR(p[0], p[1], 3);
                EXPECT_NEAR(p[1], p[2], 3);
            }
    }

    auto revert = library("revert " + id);
    ASSERT_EQ(revert.status, 0) << revert.err;
    EXPECT_TRUE(contains(show(id), "edited: no"));
    int status = 0;
    EXPECT_FALSE(exportEdited(id, &status));
    EXPECT_EQ(status, 2);
}

// What the library stored, read from its database by sqlite3 and decoded by plistutil.
TEST_F(HalidexPhotoEditor, TheStoredAdjustmentDataIsAKeyedArchiveOfTheRowThatPlistutilReads) {
    HX_REQUIRE_TOOLS("sqlite3", "plistutil");
    const std::string id = importPicture(1);
    ASSERT_EQ(editor(id + " --row 9 --done").status, 0);
    const std::string database = (home_.path() / "data" / "library" / "library.sqlite").string();
    auto stored = hx::testsupport::runCommand(
        "sqlite3 " + shellQuoted(database) +
        " \"SELECT format_identifier || ' ' || format_version || ' ' || hex(data) FROM "
        "adjustments\" 2>&1");
    ASSERT_EQ(stored.status, 0) << stored.output;
    std::istringstream fields(stored.output);
    std::string format, version, hex;
    fields >> format >> version >> hex;
    EXPECT_EQ(format, "org.halidex.camera");
    EXPECT_EQ(version, "1.0");
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    const std::string file = home_.file("stored.plist");
    std::ofstream(file, std::ios::binary) << bytes;
    auto xml = hx::testsupport::runCommand("plistutil -i " + shellQuoted(file) + " -f xml 2>&1");
    ASSERT_EQ(xml.status, 0) << xml.output;
    EXPECT_TRUE(contains(xml.output, "<string>NSKeyedArchiver</string>")) << xml.output;
    EXPECT_TRUE(contains(xml.output, "<integer>9</integer>")) << xml.output;
}

TEST_F(HalidexPhotoEditor, RowZeroReencodesUprightAndCancelLeavesTheLibraryAlone) {
    const std::string id = importPicture(8);
    auto cancel = editor(id + " --row 3 --cancel");
    ASSERT_EQ(cancel.status, 0) << cancel.err;
    EXPECT_TRUE(contains(show(id), "edited: no"));

    auto done = editor(id + " --row 0 --done");
    ASSERT_EQ(done.status, 0) << done.err;
    EXPECT_TRUE(contains(show(id), "edited: yes"));
    auto edited = exportEdited(id);
    ASSERT_TRUE(edited);
    EXPECT_EQ(edited->width(), 48);
    EXPECT_EQ(edited->height(), 64);
    // Still in colour: the first pixel of the upright picture is the stored top-right one,
    // red at its brightest (the test picture's red rises from left to right).
    const uint8_t* first = edited->row(0);
    EXPECT_GT(first[0], 200);
    EXPECT_LT(first[1], 60);
}

TEST_F(HalidexPhotoEditor, BadRowsUsageAndUnknownPhotosExitWithStatusTwo) {
    const std::string id = importPicture(1);
    for (const std::string& arguments :
         {id + " --row 10 --done", id + " --row -1 --done", id + " --row x --done",
          id + " --done --cancel", std::string("--done"), id + " --row 3",
          id + " --screenshot picture.jpg", std::string("NOPE --row 1 --done"),
          std::string("00000000-0000-0000-0000-000000000000 --row 1 --done")}) {
        auto result = editor(arguments);
        EXPECT_EQ(result.status, 2) << arguments << ": " << result.err;
        EXPECT_FALSE(result.err.empty()) << arguments;
    }
    EXPECT_TRUE(contains(show(id), "edited: no"));
}

TEST_F(HalidexPhotoEditor, APhotoWhoseFileIsMissingFailsClearlyAndLeavesTheLibraryUntouched) {
    const std::string id = importPicture(1);
    const std::string shown = show(id);
    const std::string marker = "original file: ";
    const auto at = shown.find(marker);
    ASSERT_NE(at, std::string::npos) << shown;
    const std::string original =
        shown.substr(at + marker.size(), shown.find('\n', at) - at - marker.size());
    ASSERT_TRUE(fs::remove(original)) << original;

    auto done = editor(id + " --row 2 --done");
    EXPECT_EQ(done.status, 1) << done.err;
    EXPECT_TRUE(contains(done.err, "halidex-photo-editor:")) << done.err;
    EXPECT_TRUE(contains(show(id), "edited: no"));
}

TEST_F(HalidexPhotoEditor, AnExtensionThatIsNotOneIsRefused) {
    const std::string id = importPicture(1);
    const std::string fake = home_.file("not-an-extension.so");
    std::ofstream(fake) << "nothing here";
    auto result = editor(id + " --row 1 --done --extension " + shellQuoted(fake));
    // Like the widget host's: an extension that cannot be loaded is bad input.
    EXPECT_EQ(result.status, 2);
    EXPECT_TRUE(contains(result.err, "cannot load the extension")) << result.err;
}

// The window under Xvfb, taking its steps as taps: the edit it commits is the very file the
// headless form commits for the same photo and row.
TEST_F(HalidexPhotoEditor, TheWindowTakesTapsOnTheGridAndDoneLikeTheHeadlessForm) {
    HX_REQUIRE_TOOLS("xvfb-run");
    const std::string sample = std::string(HX_TEST_RESOURCES_DIR) + "/samples/sample.png";
    const std::string inWindow = import(sample);
    const std::string headless = import(sample);
    const std::string cancelled = import(sample);
    // One display server for both windows: xvfb-run started twice in quick succession can race
    // for a display number.
    auto windows = editorsUnderXvfb(
        {inWindow + " --window --row 7 --done", cancelled + " --window --row 2 --cancel"});
    ASSERT_EQ(windows.status, 0) << windows.err;
    EXPECT_TRUE(contains(windows.out, inWindow + " edited")) << windows.out << windows.err;
    EXPECT_TRUE(contains(windows.out, cancelled + " cancelled")) << windows.out;
    EXPECT_TRUE(contains(show(cancelled), "edited: no"));
    ASSERT_EQ(editor(headless + " --row 7 --done").status, 0);
    auto a = exportEdited(inWindow);
    auto b = exportEdited(headless);
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->width(), b->width());
    ASSERT_EQ(a->height(), b->height());
    for (int y = 0; y < a->height(); ++y)
        ASSERT_EQ(std::memcmp(a->row(y), b->row(y), size_t(a->width()) * a->bytesPerPixel()), 0)
            << "row " << y;
}

TEST_F(HalidexPhotoEditor, TheScreenWithAFilmChosenMatchesTheReference) {
    const std::string id = import(std::string(HX_TEST_RESOURCES_DIR) + "/samples/sample.png");
    const fs::path folder = fs::read_symlink("/proc/self/exe").parent_path();
    const fs::path actual = folder / "halidex-photo-editor-small-phone.actual.png";
    const fs::path diff = folder / "halidex-photo-editor-small-phone.diff.png";
    fs::remove(actual);
    fs::remove(diff);
    auto result =
        editor(id + " --device small-phone --row 8 --screenshot " + shellQuoted(actual.string()));
    ASSERT_EQ(result.status, 0) << result.err;
    QImage picture(QString::fromStdString(actual.string()));
    QImage reference(QString::fromStdString(std::string(HX_TEST_RESOURCES_DIR) + "/" + kReference));
    ASSERT_FALSE(picture.isNull());
    ASSERT_FALSE(reference.isNull()) << "no reference " << kReference;
    ASSERT_EQ(picture.size(), reference.size());
    const auto comparison = hx::testsupport::compare(picture, reference);
    const bool matches = comparison.differingShare <= hx::testsupport::kDifferingShare &&
                         comparison.meanDifference < hx::testsupport::kMeanDifference;
    if (!matches) comparison.diff.save(QString::fromStdString(diff.string()));
    EXPECT_TRUE(matches) << "differing share " << comparison.differingShare << ", mean "
                         << comparison.meanDifference << "; see " << actual << " and " << diff;
    if (matches) fs::remove(actual);
    EXPECT_TRUE(contains(show(id), "edited: no"));
}

}  // namespace

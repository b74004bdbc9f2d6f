// The photo browser of the camera program end to end, driven by its script language headless:
// photos imported by the library tool are browsed in the grid and the viewer (compared with
// stored pictures), paged, shared into folders with and without their location (checked with
// exiftool), and re-filtered into a new photo that the library tool lists.
//
// HalidexProgramTestSupport.h says how to approve new screenshots.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <string>
#include <vector>

#include "tests/app/HalidexProgramTestSupport.h"
#include "tests/support/RequireTool.h"

namespace {

using namespace hx::app::testing;

std::vector<std::string> nonEmptyLines(const std::string& text) {
    auto lines = hx::testsupport::linesOf(text);
    std::erase_if(lines, [](const std::string& line) { return line.empty(); });
    return lines;
}

class BrowseProgramTest : public HalidexProgramTest {
  protected:
    CommandResult runScript(const std::string& script) {
        return HalidexProgramTest::runScript(script, {});
    }
    CommandResult library(const std::string& arguments) {
        return hx::testsupport::runCommand(shellQuoted(kLibrary) + " " + arguments + " 2>&1",
                                           environment());
    }

    // Imports pictures of stripes and discs, one colour scheme each, oldest first.
    void importPhotos(int count) {
        const QColor colours[] = {QColor(200, 60, 40), QColor(40, 140, 200), QColor(230, 200, 50),
                                  QColor(90, 180, 90)};
        for (int i = 0; i < count; ++i) {
            QImage picture(640, 480, QImage::Format_RGB32);
            picture.fill(colours[i % 4]);
            QPainter painter(&picture);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(20, 20, 20));
            for (int s = 0; s <= i; ++s) painter.drawRect(40 + s * 60, 0, 30, 480);
            painter.setBrush(Qt::white);
            painter.drawEllipse(QPoint(420, 240), 60 + 20 * i, 60 + 20 * i);
            painter.end();
            const fs::path file = home_.path() / ("import-" + std::to_string(i) + ".jpg");
            ASSERT_TRUE(picture.save(QString::fromStdString(file.string()), "JPEG", 92));
            auto imported = library("import " + shellQuoted(file.string()));
            ASSERT_EQ(imported.status, 0) << imported.output;
        }
    }
};

TEST_F(BrowseProgramTest, TheGridAndTheViewerMatchTheirReferences) {
    importPhotos(4);
    const fs::path grid = home_.path() / "grid.png", viewer = home_.path() / "viewer.png",
                   next = home_.path() / "viewer-next.png";
    auto run =
        runScript("wait 1\npress _pvButton\nwait 1\nscreenshot " + grid.string() +
                  "\nitem 1\nwait 1\nscreenshot " + viewer.string() + "\nswipe left\nscreenshot " +
                  next.string() + "\npress _backButton\nwait 1\npress _doneButton\nwait 1\nquit\n");
    ASSERT_EQ(run.status, 0) << run.output;
    expectMatchesReference(grid, "halidex-phone-grid");
    expectMatchesReference(viewer, "halidex-phone-viewer");
    expectMatchesReference(next, "halidex-phone-viewer-next");
}

TEST_F(BrowseProgramTest, AScriptSharesAndRefiltersAPhotoAndComesBackToTheCamera) {
    HX_REQUIRE_TOOLS("exiftool");
    importPhotos(2);
    const fs::path shared = home_.path() / "shared folder";
    auto run =
        runScript("wait 1\npress _pvButton\nwait 1\nitem 0\nwait 1\nshare " + shared.string() +
                  "\nshare " + shared.string() +
                  " without-location\npress _filterButton\nwait 1\nwait-idle\nitem 3\nwait-idle\n"
                  "press _okButton\nwait 1\nwait-idle\npress _backButton\nwait 1\n"
                  "press _doneButton\nwait 1\npress _shutterButton\nwait-idle\nquit\n");
    ASSERT_EQ(run.status, 0) << run.output;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(shared)) files.push_back(entry.path());
    EXPECT_EQ(files.size(), 2u);
    // Two imports, the re-filtered photo and the photo taken back at the camera.
    auto listed = library("list");
    ASSERT_EQ(listed.status, 0) << listed.output;
    EXPECT_EQ(nonEmptyLines(listed.output).size(), 4u) << listed.output;
    auto comments = hx::testsupport::runCommand(
        "exiftool -s -s -s -UserComment -r " + shellQuoted((home_.path() / "Pictures").string()),
        {});
    EXPECT_NE(comments.output.find("film 3 RED 200"), std::string::npos) << comments.output;
}

TEST_F(BrowseProgramTest, BrowsingCommandsSayWhatTheyFoundNothingFor) {
    auto run = runScript("wait 1\nitem 0\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("script line 2: item:"), std::string::npos) << run.output;
    run = runScript("wait 1\nswipe left\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("swipe: no pager"), std::string::npos) << run.output;
    run = runScript("wait 1\nshare /tmp\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("share: no photo viewer"), std::string::npos) << run.output;
}

}  // namespace

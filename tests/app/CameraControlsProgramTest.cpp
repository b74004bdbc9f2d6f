// The camera screen's controls in the real program, driven by its script language headless: the
// screen with each control open against stored pictures, and a photo taken after changing every
// control, read back from the library by exiftool, with the settings tool showing what was saved.

#include <QImage>
#include <map>
#include <string>
#include <vector>

#include "tests/app/HalidexProgramTestSupport.h"
#include "tests/support/RequireTool.h"

namespace {

using namespace hx::app::testing;

// Where the phone profile's format slider stands upright: its thumb at frame 1, and a point past
// the far end of its track (frame 2).
constexpr const char* kFormatSliderToSquare = "drag 323 705 323 760\n";

class CameraControlsProgramTest : public HalidexProgramTest {
  protected:
    void expectScreen(const std::string& steps, const std::string& name) {
        const fs::path picture = home_.path() / (name + ".png");
        auto run =
            runScript("wait 1\n" + steps + "screenshot " + picture.string() + "\nquit\n", {});
        ASSERT_EQ(run.status, 0) << run.output;
        expectMatchesReference(picture, name);
    }

    // The library's assets, newest first: identifier and pixel size.
    std::vector<std::pair<std::string, std::string>> assets() {
        auto listed =
            hx::testsupport::runCommand(shellQuoted(kLibrary) + " list 2>&1", environment());
        EXPECT_EQ(listed.status, 0) << listed.output;
        std::vector<std::pair<std::string, std::string>> result;
        for (const auto& line : hx::testsupport::linesOf(listed.output)) {
            std::vector<std::string> fields;
            std::stringstream split(line);
            for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
            if (fields.size() >= 3) result.emplace_back(fields[0], fields[2]);
        }
        return result;
    }

    // The asset's original file, exported into a folder of its own.
    fs::path exported(const std::string& identifier) {
        const fs::path folder = home_.path() / ("export-" + std::to_string(exports_++));
        auto run = hx::testsupport::runCommand(shellQuoted(kLibrary) + " export " +
                                                   shellQuoted(identifier) + " " +
                                                   shellQuoted(folder) + " 2>&1",
                                               environment());
        EXPECT_EQ(run.status, 0) << run.output;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file()) return entry.path();
        return {};
    }

    // exiftool's numeric reading of the file's Exif tags.
    static std::map<std::string, std::string> exifOf(const fs::path& file) {
        auto run = hx::testsupport::runCommand("exiftool -n -S -ExifIFD:all " + shellQuoted(file));
        EXPECT_EQ(run.status, 0) << run.output;
        std::map<std::string, std::string> tags;
        for (const auto& line : hx::testsupport::linesOf(run.output)) {
            auto colon = line.find(": ");
            if (colon != std::string::npos) tags[line.substr(0, colon)] = line.substr(colon + 2);
        }
        return tags;
    }

    std::string setting(const std::string& key) {
        auto run = settings("get " + key);
        EXPECT_EQ(run.status, 0) << run.output;
        std::string value = run.output;
        while (!value.empty() && (value.back() == '\n' || value.back() == ' ')) value.pop_back();
        return value;
    }

    // The largest difference between a pixel's colour channels over a grid of samples.
    static int colourfulness(const fs::path& file) {
        QImage image(QString::fromStdString(file.string()));
        EXPECT_FALSE(image.isNull()) << file;
        int most = 0;
        for (int y = 0; y < image.height(); y += image.height() / 40 + 1) {
            for (int x = 0; x < image.width(); x += image.width() / 40 + 1) {
                QRgb p = image.pixel(x, y);
                int r = qRed(p), g = qGreen(p), b = qBlue(p);
                most = std::max({most, std::abs(r - g), std::abs(g - b), std::abs(r - b)});
            }
        }
        return most;
    }

    int exports_ = 0;
};

// Each screen in a test of its own: a fresh home, so that no setting carries over.
TEST_F(CameraControlsProgramTest, TheFilmPickerMatchesItsReference) {
    expectScreen("press _filmButton\nwait 0.5\n", "halidex-phone-film-picker");
}

TEST_F(CameraControlsProgramTest, TheEvSliderMatchesItsReference) {
    expectScreen("press _evButton\nwait 0.3\nev 4\nwait 0.3\n", "halidex-phone-ev-slider");
}

TEST_F(CameraControlsProgramTest, TheHelpPictureMatchesItsReference) {
    expectScreen("press _helpButton\nwait 0.6\n", "halidex-phone-help");
}

TEST_F(CameraControlsProgramTest, TheSquareFrameWithTheGridMatchesItsReference) {
    expectScreen(std::string(kFormatSliderToSquare) + "key g\nwait 0.5\n",
                 "halidex-phone-square-grid");
}

TEST_F(CameraControlsProgramTest, TheLensDialTurnedMatchesItsReference) {
    expectScreen("tilt landscape-left\nwait 1\npress _lensSelect\nwait 0.5\n",
                 "halidex-phone-landscape-lens-dial");
}

TEST_F(CameraControlsProgramTest, APhotoAfterChangingEveryControlShowsEachChange) {
    HX_REQUIRE_TOOLS("exiftool");
    // The first photo with what a new camera starts with; the second after film, EV, flash (off,
    // auto, on), lens (wide to telephoto), zoom and frame changed by script and keys.
    auto run = runScript(std::string("wait 1\nkey capture\nwait-idle 60\n") +
                             "film 10\nev 3\nkey f\nkey f\nkey l\nzoom 2\n" +
                             kFormatSliderToSquare + "wait 1\nkey capture\nwait-idle 60\nquit\n",
                         {});
    ASSERT_EQ(run.status, 0) << run.output;
    auto listed = assets();
    ASSERT_EQ(listed.size(), 2u);
    const auto& [changedId, changedSize] = listed[0];
    const auto& [plainId, plainSize] = listed[1];
    EXPECT_EQ(plainSize, "2688x4032");
    EXPECT_EQ(changedSize, "3024x3024");

    const fs::path plain = exported(plainId), changed = exported(changedId);
    auto before = exifOf(plain), after = exifOf(changed);
    EXPECT_EQ(before["UserComment"], "film 0 PAN 100");
    EXPECT_EQ(after["UserComment"].rfind("film 10 ", 0), 0u) << after["UserComment"];
    EXPECT_EQ(before["ExposureCompensation"], "0");
    EXPECT_EQ(after["ExposureCompensation"], "1");
    EXPECT_EQ(before["Flash"], "16");  // off
    EXPECT_EQ(after["Flash"], "9");    // on, fired
    EXPECT_NE(before["LensModel"].find("back camera"), std::string::npos) << before["LensModel"];
    EXPECT_NE(after["LensModel"].find("telephoto"), std::string::npos) << after["LensModel"];
    EXPECT_EQ(before.count("DigitalZoomRatio"), 0u);
    EXPECT_EQ(after["DigitalZoomRatio"], "2");

    // The look: the black-and-white film's photo is grey, the colour film's is not.
    EXPECT_LE(colourfulness(plain), 2);
    EXPECT_GT(colourfulness(changed), 8);

    // Every change was saved as it was made.
    EXPECT_EQ(setting("KEY_FILMTYPE"), "10");
    EXPECT_EQ(setting("KEY_FRAMEMODE"), "2");
    EXPECT_EQ(setting("KEY_FLASH"), "2");
    EXPECT_EQ(setting("KEY_LENS"), "2");
    EXPECT_EQ(setting("KEY_EV"), "1");
}

}  // namespace

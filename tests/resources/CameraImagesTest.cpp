#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <vector>

#include "platform/bundle/Bundle.h"
#include "platform/image/png/PngCodec.h"
#include "tests/resources/ResourceFiles.h"
#include "tests/support/RequireTool.h"
#include "tests/support/RunCommand.h"

namespace {

using namespace hx::resourcestest;
namespace fs = std::filesystem;

const std::string kResources = kSource + "/resources";
const std::string kImages = kResources + "/camera/images";

std::vector<std::string> requestedNames() {
    std::vector<std::string> names;
    std::istringstream in(readFile(kResources + "/camera/images.txt"));
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') names.push_back(line);
    return names;
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The files the image look-up tries for a name, in its order: a name with ".png" as given and
// then its scale variants; a bare name by its scale variants, then plain.
std::vector<std::string> candidates(const std::string& name) {
    if (endsWith(name, ".png")) {
        const std::string stem = name.substr(0, name.size() - 4);
        return {name, stem + "@3x.png", stem + "@2x.png"};
    }
    return {name + "@3x.png", name + "@2x.png", name + ".png", name};
}

TEST(CameraImagesTest, EveryRequestedNameIsFoundAmongTheCameraImages) {
    const auto names = requestedNames();
    ASSERT_GT(names.size(), 60u);
    hx::Bundle bundle(kResources);
    std::set<std::string> used;
    for (const auto& name : names) {
        bool found = false;
        for (const auto& file : candidates(name)) {
            auto path = bundle.pathForResource(file);
            if (!path) continue;
            // no other resource of the same file name shadows the camera's image
            EXPECT_EQ(fs::path(*path).parent_path(), fs::path(kImages)) << file;
            found = true;
            used.insert(file);
        }
        EXPECT_TRUE(found) << name;
    }
    for (const auto& entry : fs::directory_iterator(kImages))
        EXPECT_TRUE(used.count(entry.path().filename().string()))
            << entry.path().filename() << " is asked for by no name";
}

TEST(CameraImagesTest, NamesMadeAtRunTimeAreListed) {
    const auto list = requestedNames();
    const std::set<std::string> names(list.begin(), list.end());
    for (int film = 0; film <= 12; ++film) {
        for (const char* prefix : {"film_", "film_s", "film_title_"})
            EXPECT_TRUE(names.count(prefix + std::to_string(film))) << prefix << film;
    }
    for (const char* mark : {"targetfocus", "targetexposure"})
        for (const char* state : {"0", "1", "l0", "l1"})
            EXPECT_TRUE(names.count(std::string(mark) + state)) << mark << state;
    for (const char* toggle : {"grid", "heic", "tiff", "geoTag"})
        for (const char* state : {"_off", "_on"})
            EXPECT_TRUE(names.count(std::string(toggle) + state)) << toggle << state;
}

// Both scales of an image show the same size in points, and no image is empty (translucent
// controls are meant, invisible ones are not).
TEST(CameraImagesTest, ScaleVariantsAgreeAndHoldPixels) {
    for (const auto& name : requestedNames()) {
        if (name.find('@') != std::string::npos) continue;  // loaded by its full file name
        const std::string stem = endsWith(name, ".png") ? name.substr(0, name.size() - 4) : name;
        std::string error;
        auto twice = hx::image::readPng(kImages + "/" + stem + "@2x.png", &error);
        ASSERT_TRUE(twice) << stem << "@2x: " << error;
        auto thrice = hx::image::readPng(kImages + "/" + stem + "@3x.png", &error);
        ASSERT_TRUE(thrice) << stem << "@3x: " << error;
        EXPECT_NEAR(thrice->width() * 2.0, twice->width() * 3.0, 3.0) << stem;
        EXPECT_NEAR(thrice->height() * 2.0, twice->height() * 3.0, 3.0) << stem;
        ASSERT_EQ(twice->bytesPerPixel(), 4u) << stem;
        int strongest = 0;
        for (int y = 0; y < twice->height(); ++y)
            for (int x = 0; x < twice->width(); ++x)
                strongest =
                    std::max<int>(strongest, twice->data()[y * twice->bytesPerRow() + x * 4 + 3]);
        EXPECT_GE(strongest, 80) << stem << " is empty or nearly invisible";
    }
}

// The committed images and list are exactly what the generator makes.
TEST(CameraImagesTest, GeneratorMakesTheCommittedBytes) {
    HX_REQUIRE_TOOLS("python3");
    const auto run = hx::testsupport::runCommand(
        "python3 " +
        hx::testsupport::shellQuoted(kResources + "/camera/tools/make_camera_images.py") +
        " --check 2>&1");
    EXPECT_EQ(run.status, 0) << run.output;
}

}  // namespace

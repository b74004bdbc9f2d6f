// halidex-render with damaged resources: a copy of the resource folder in which one lookup
// image is missing, cut short or too small. A film that needs it is refused with status 2 and
// the file named; films that do not need it still render.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/image/Image.h"
#include "platform/image/png/PngCodec.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TemporaryFolder.h"

namespace {

namespace fs = std::filesystem;
using namespace hx;

const std::string kTool = std::string(HX_TEST_BINARY_DIR) + "/tools/halidex-render/halidex-render";

using testsupport::CommandResult;
using testsupport::runCommand;

class HalidexRenderResources : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::copy(HX_TEST_RESOURCES_DIR, folder / "resources", fs::copy_options::recursive);
        std::vector<uint8_t> rgb(64 * 48 * 3);
        for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 13 % 256);
        auto picture = image::Image::adopt(image::PixelFormat::RGB8, 64, 48, std::move(rgb));
        ASSERT_TRUE(image::writePng(*picture, path("in.png")));
    }
    std::string path(const std::string& name) const { return temporary.file(name); }
    fs::path lookup(const std::string& name) const { return folder / "resources/lookup" / name; }

    // Renders in.png through `film` with the damaged copy as the resource folder.
    CommandResult render(int film, const std::string& output) {
        return runCommand(kTool + " --film " + std::to_string(film) + " " + path("in.png") + " " +
                              path(output) + " 2>&1",
                          {{"HALIDEX_RESOURCES", (folder / "resources").string()}});
    }

    void expectRefused(int film, const std::string& lookupName) {
        const CommandResult result = render(film, "out.png");
        EXPECT_EQ(result.status, 2) << result.output;
        EXPECT_NE(result.output.find("film " + std::to_string(film)), std::string::npos)
            << result.output;
        EXPECT_NE(result.output.find(lookupName), std::string::npos) << result.output;
        EXPECT_FALSE(fs::exists(path("out.png"))) << "a picture without its film's look";
    }

    testsupport::TemporaryFolder temporary{"halidex-render-resources"};
    const fs::path folder = temporary.path();
};

TEST_F(HalidexRenderResources, MissingLookupRefusesItsFilmOnly) {
    fs::remove(lookup("lookup.png"));
    expectRefused(9, "lookup.png");
    const CommandResult other = render(10, "ten.png");
    EXPECT_EQ(other.status, 0) << other.output;
    // Monochrome films load that lookup too but never read it.
    const CommandResult mono = render(2, "mono.png");
    EXPECT_EQ(mono.status, 0) << mono.output;
    EXPECT_TRUE(image::readPng(path("mono.png")));
}

TEST_F(HalidexRenderResources, TruncatedLookupIsRefused) {
    const fs::path file = lookup("lookup_3.png");
    fs::resize_file(file, fs::file_size(file) / 2);
    expectRefused(10, "lookup_3.png");
}

TEST_F(HalidexRenderResources, TooSmallLookupIsRefused) {
    std::vector<uint8_t> rgba(64 * 64 * 4, 200);
    auto small = image::Image::adopt(image::PixelFormat::RGBA8, 64, 64, std::move(rgba));
    ASSERT_TRUE(image::writePng(*small, lookup("lookup_5.png").string()));
    expectRefused(12, "lookup_5.png");
}

}  // namespace

// halidex-render run as a user runs it, on real PNG files in a temporary folder.

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/image/ImageTypes.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/image/io/ImageSource.h"
#include "platform/image/png/PngCodec.h"
#include "tests/platform/image/TestImages.h"
#include "tests/support/RunCommand.h"
#include "tests/support/Sanitizers.h"
#include "tests/support/TemporaryFolder.h"

namespace {

namespace fs = std::filesystem;
using namespace hx;

const std::string kTool = std::string(HX_TEST_BINARY_DIR) + "/tools/halidex-render/halidex-render";

using Result = testsupport::CommandResult;

// `before` is shell text run first in the same subshell (a folder to change to, a limit).
Result run(const std::string& arguments, const std::string& before = "") {
    return testsupport::runCommand("(" + before + kTool + " " + arguments + ") 2>&1");
}

class HalidexRender : public ::testing::Test {
  protected:
    void SetUp() override {
        std::vector<uint8_t> rgb(100 * 60 * 3);
        for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7 % 256);
        auto picture = image::Image::adopt(image::PixelFormat::RGB8, 100, 60, std::move(rgb));
        ASSERT_TRUE(image::writePng(*picture, path("in.png")));
    }
    std::string path(const std::string& name) const { return temporary.file(name); }
    testsupport::TemporaryFolder temporary{"halidex-render"};
    const fs::path folder = temporary.path();
};

TEST_F(HalidexRender, MonochromeFilmWritesGreyColourFilmWritesRgb) {
    Result mono = run("--film 0 " + path("in.png") + " " + path("mono.png"));
    ASSERT_EQ(mono.status, 0) << mono.output;
    auto grey = image::readPng(path("mono.png"));
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->pixelFormat(), image::PixelFormat::Grey8);
    EXPECT_EQ(grey->width(), 100);
    EXPECT_EQ(grey->height(), 60);

    Result color = run("--film 12 " + path("in.png") + " " + path("color.png"));
    ASSERT_EQ(color.status, 0) << color.output;
    auto rgb = image::readPng(path("color.png"));
    ASSERT_TRUE(rgb);
    EXPECT_EQ(rgb->pixelFormat(), image::PixelFormat::RGB8);
}

TEST_F(HalidexRender, FrameCropsAndFrontMirrors) {
    Result square = run("--film 1 --frame 2 " + path("in.png") + " " + path("square.png"));
    ASSERT_EQ(square.status, 0) << square.output;
    auto cropped = image::readPng(path("square.png"));
    ASSERT_TRUE(cropped);
    EXPECT_EQ(cropped->width(), 60);
    EXPECT_EQ(cropped->height(), 60);

    ASSERT_EQ(run("--film 1 " + path("in.png") + " " + path("back.png")).status, 0);
    ASSERT_EQ(run("--film 1 --front " + path("in.png") + " " + path("front.png")).status, 0);
    auto back = image::readPng(path("back.png")), front = image::readPng(path("front.png"));
    ASSERT_TRUE(back && front);
    for (int y = 0; y < 60; ++y)
        ASSERT_EQ(0, std::memcmp(back->row(y), front->row(59 - y), 100)) << "row " << y;
}

TEST_F(HalidexRender, GpuInfoNamesTheBackendHalidexGpuPicks) {
    Result cpu = run("--gpu-info", "HALIDEX_GPU=cpu ");
    ASSERT_EQ(cpu.status, 0) << cpu.output;
    EXPECT_NE(cpu.output.find("backend: cpu"), std::string::npos) << cpu.output;

    Result gl = run("--gpu-info", "HALIDEX_GPU=gl ");
    ASSERT_EQ(gl.status, 0) << gl.output << "(scripts/install-deps.sh installs Mesa)";
    for (const char* line : {"backend: gl", "EGL vendor: ", "renderer: ", "version: OpenGL ES 3."})
        EXPECT_NE(gl.output.find(line), std::string::npos) << line << "\n" << gl.output;
}

TEST_F(HalidexRender, AGpuBackendThatCannotBeHadIsAnErrorWithItsReason) {
    // Without any EGL driver to load, no OpenGL ES context can be made.
    for (const std::string& arguments :
         {std::string("--gpu-info"), "--film 0 " + path("in.png") + " " + path("out.png")}) {
        Result r =
            run(arguments, "HALIDEX_GPU=gl __EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json ");
        EXPECT_EQ(r.status, 2) << arguments << "\n" << r.output;
        EXPECT_NE(r.output.find("halidex-render: GPU backend gl: "), std::string::npos) << r.output;
    }
    EXPECT_FALSE(fs::exists(path("out.png")));
    Result unknown = run("--gpu-info", "HALIDEX_GPU=no-such-backend ");
    EXPECT_EQ(unknown.status, 2) << unknown.output;
    EXPECT_NE(unknown.output.find("no backend of that name"), std::string::npos) << unknown.output;
}

TEST_F(HalidexRender, GlRendersTheSamePicturesAsTheCpuBackend) {
    for (const char* film : {"0", "6", "10"}) {
        const std::string cpuFile = path(std::string("cpu") + film + ".png");
        const std::string glFile = path(std::string("gl") + film + ".png");
        const std::string arguments = std::string("--film ") + film + " " + path("in.png") + " ";
        ASSERT_EQ(run(arguments + cpuFile, "HALIDEX_GPU=cpu ").status, 0);
        Result gl = run(arguments + glFile, "HALIDEX_GPU=gl ");
        ASSERT_EQ(gl.status, 0) << gl.output;
        auto a = image::readPng(cpuFile), b = image::readPng(glFile);
        ASSERT_TRUE(a && b);
        ASSERT_EQ(a->pixelFormat(), b->pixelFormat());
        for (int y = 0; y < a->height(); ++y)
            for (size_t i = 0; i < size_t(a->width()) * a->bytesPerPixel(); ++i)
                ASSERT_LE(std::abs(int(a->row(y)[i]) - int(b->row(y)[i])), 1)
                    << "film " << film << " row " << y << " byte " << i;
    }
}

TEST_F(HalidexRender, BadInputGivesAClearMessageAndStatusTwo) {
    std::ofstream(path("not.png")) << "this is not a picture";
    const std::pair<std::string, std::string> cases[] = {
        {"--film 0 " + path("missing.png") + " " + path("o.png"), "cannot read"},
        {"--film 0 " + path("not.png") + " " + path("o.png"), "cannot read"},
        {"--film 13 " + path("in.png") + " " + path("o.png"), "0 to 12"},
        {"--film -1 " + path("in.png") + " " + path("o.png"), "0 to 12"},
        {"--film x " + path("in.png") + " " + path("o.png"), "0 to 12"},
        {"--film 0 " + path("in.png"), "one input and one output"},
        {path("in.png") + " " + path("o.png"), "--film"},
        {"--bogus", "unknown option"},
    };
    for (const auto& [arguments, message] : cases) {
        Result r = run(arguments);
        EXPECT_EQ(r.status, 2) << arguments << "\n" << r.output;
        EXPECT_NE(r.output.find(message), std::string::npos) << arguments << "\n" << r.output;
    }
    // An output that cannot be written fails the work rather than the arguments.
    Result unwritable = run("--film 0 " + path("in.png") + " " + path("no/such/folder/o.png"));
    EXPECT_EQ(unwritable.status, 1) << unwritable.output;
    EXPECT_NE(unwritable.output.find("cannot write"), std::string::npos) << unwritable.output;
    EXPECT_FALSE(fs::exists(path("o.png")));
}

TEST_F(HalidexRender, DecompressionBombsAreRefusedUnlessTheLimitIsRaised) {
    // 32 KB of one-bit PNG that would be a quarter of a billion pixels.
    image::test::PngLayout layout;
    layout.width = layout.height = 16384;
    layout.colorType = PNG_COLOR_TYPE_GRAY;
    layout.bitDepth = 1;
    layout.rows.assign(size_t(16384 / 8) * 16384, 0);
    image::test::writeBytes(path("bomb.png"), image::test::encodeWithLibpng(layout));
    Result bomb = run("--film 1 " + path("bomb.png") + " " + path("out.png"));
    EXPECT_EQ(bomb.status, 2) << bomb.output;
    EXPECT_NE(bomb.output.find("16384x16384 pixels, more than the limit of 100000000 "
                               "(--max-pixels N raises it)"),
              std::string::npos)
        << bomb.output;
    EXPECT_FALSE(fs::exists(path("out.png")));

    // Raised but with too little memory for it: a message and a status, never an abort. (A
    // sanitizer build cannot start under an address-space limit: its shadow memory alone is
    // terabytes of address space.)
    if (!hx::testing::kSanitizerBuild) {
        Result starved =
            run("--max-pixels 268435456 --film 1 " + path("bomb.png") + " " + path("out.png"),
                "ulimit -v 800000; ");
        EXPECT_TRUE(starved.status == 1 || starved.status == 2) << starved.status << starved.output;
        EXPECT_NE(starved.output.find("halidex-render: "), std::string::npos) << starved.output;
        EXPECT_FALSE(fs::exists(path("out.png")));
    }

    // The limit moves both ways; in.png has 6000 pixels.
    Result lowered = run("--max-pixels 5999 --film 1 " + path("in.png") + " " + path("a.png"));
    EXPECT_EQ(lowered.status, 2);
    EXPECT_NE(lowered.output.find("100x60 pixels, more than the limit of 5999"), std::string::npos)
        << lowered.output;
    Result enough = run("--max-pixels 6000 --film 1 " + path("in.png") + " " + path("a.png"));
    EXPECT_EQ(enough.status, 0) << enough.output;
    for (const char* bad : {"0", "-5", "lots", "268435457"}) {
        Result r = run(std::string("--max-pixels ") + bad + " --film 1 " + path("in.png") + " " +
                       path("b.png"));
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.output.find("--max-pixels needs a number from 1 to 268435456"),
                  std::string::npos)
            << r.output;
    }
}

TEST_F(HalidexRender, FileNamesAfterADoubleDashMayStartWithADash) {
    fs::copy_file(path("in.png"), path("-in.png"));
    Result asOption = run("--film 1 -in.png -out.png");
    EXPECT_EQ(asOption.status, 2);
    EXPECT_NE(asOption.output.find("unknown option -in.png"), std::string::npos);
    Result r = run("--film 1 -- -in.png -out.png", "cd " + folder.string() + " && ");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, "-out.png\n");
    auto written = image::readPng(path("-out.png"));
    ASSERT_TRUE(written);
    EXPECT_EQ(written->width(), 100);
}

TEST_F(HalidexRender, EveryFormatInAndOutKeepingTheMetadata) {
    // A camera-like JPEG: orientation 6, maker and date.
    std::vector<uint8_t> rgb(64 * 48 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 5 % 256);
    auto picture = image::Image::adopt(image::PixelFormat::RGB8, 64, 48, std::move(rgb));
    image::PropertyDictionary properties{
        {image::kCGImagePropertyOrientation, 6},
        {image::kCGImagePropertyTIFFDictionary,
         image::PropertyDictionary{{image::kCGImagePropertyTIFFMake, "Apple"}}},
        {image::kCGImagePropertyExifDictionary,
         image::PropertyDictionary{
             {image::kCGImagePropertyExifDateTimeOriginal, "2026:12:07 10:00:00"}}},
    };
    auto destination =
        image::ImageDestination::createWithURL(path("in.jpg"), image::kUTTypeJPEG, 1);
    destination->addImage(picture, properties);
    ASSERT_TRUE(destination->finalize());

    for (const char* name : {"out.jpg", "out.tif", "out.heic", "out.png"}) {
        Result r = run("--film 3 --frame 2 --quality 0.8 " + path("in.jpg") + " " + path(name));
        ASSERT_EQ(r.status, 0) << name << "\n" << r.output;
        auto source = image::ImageSource::createWithURL(path(name));
        ASSERT_TRUE(source) << name;
        EXPECT_EQ(source->type(), image::typeForPath(name));
        auto back = source->copyPropertiesAtIndex(0);
        EXPECT_EQ(back.integer(image::kCGImagePropertyOrientation), 6) << name;
        EXPECT_EQ(back.integer(image::kCGImagePropertyPixelWidth), 48) << name;  // square crop
        EXPECT_EQ(back.integer(image::kCGImagePropertyPixelHeight), 48) << name;
        EXPECT_EQ(back.dictionary(image::kCGImagePropertyTIFFDictionary)
                      .string(image::kCGImagePropertyTIFFMake),
                  "Apple")
            << name;
        // TIFF files keep the pixel size in their own tags, not in Exif.
        if (std::string(name) != "out.tif") {
            EXPECT_EQ(back.dictionary(image::kCGImagePropertyExifDictionary)
                          .integer(image::kCGImagePropertyExifPixelXDimension),
                      48)
                << name;
        }
    }
    EXPECT_EQ(run("--film 0 --quality 2 " + path("in.jpg") + " " + path("q.jpg")).status, 2);
    EXPECT_EQ(run("--film 0 " + path("in.jpg") + " " + path("out.gif")).status, 2);
}

TEST_F(HalidexRender, ListsThirteenFilms) {
    Result r = run("--list-films");
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("lookup_5.png"), std::string::npos);
    EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 14);  // header + 13 films
}

TEST_F(HalidexRender, AllFilmsOverTheBuiltInSample) {
    Result r = run("--all-films " + path("films"));
    ASSERT_EQ(r.status, 0) << r.output;
    for (int f = 0; f < 13; ++f)
        EXPECT_TRUE(fs::exists(path("films/film_" + std::to_string(f) + ".png"))) << f;
}

}  // namespace

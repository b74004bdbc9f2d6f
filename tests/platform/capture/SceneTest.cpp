// The simulated camera's picture: scene content where it belongs, the four buffer orientations,
// detail that fades to its average instead of aliasing, the lens blur, focus and exposure over
// time, and scenes made of a folder of pictures.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/capture/scene/BoxBlur.h"
#include "platform/capture/scene/BuiltInScenes.h"
#include "platform/capture/scene/ImageFolderScene.h"
#include "platform/capture/scene/SceneRenderer.h"
#include "platform/capture/simulated/SimulatedOptics.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/image/png/PngCodec.h"
#include "platform/log/CaptureScope.h"
#include "tests/platform/capture/CaptureTestSupport.h"

namespace hx::capture::testing {
namespace {

using scene::RenderView;

gpu::PixelBufferRef newBuffer(size_t width, size_t height) {
    gpu::PixelBufferRef buffer;
    EXPECT_EQ(gpu::PixelBuffer::create(width, height, kCVPixelFormatType_32BGRA, {}, &buffer),
              gpu::VideoStatusSuccess);
    return buffer;
}

gpu::PixelBufferRef render(const scene::Scene& scene, RenderView view, size_t width,
                           size_t height) {
    gpu::PixelBufferRef buffer = newBuffer(width, height);
    scene::renderScene(scene, view, *buffer);
    return buffer;
}

int difference(scene::Rgb a, scene::Rgb b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

TEST(Scene, TheColourCheckerShowsItsOwnColours) {
    auto outdoor = scene::makeOutdoorScene();
    RenderView view;  // the wide lens, upright, at normal exposure
    const size_t width = 600, height = 800;
    auto frame = render(*outdoor, view, width, height);
    for (int index : {0, 1, 7, 14, 18, 23}) {
        const scene::ScenePoint centre = scene::colourCheckerPatchCentre(index);
        const size_t x = size_t((centre.x / view.fieldWidth + 0.5) * width);
        const size_t y = size_t((centre.y / view.fieldHeight + 0.5) * height);
        EXPECT_LE(difference(pixelAt(*frame, x, y), scene::colourCheckerPatches()[index]), 3)
            << "patch " << index;
    }
}

TEST(Scene, OrientationsAreTurnsOfTheSameView) {
    auto outdoor = scene::makeOutdoorScene();
    RenderView view;
    view.time = 1.25;
    auto upright = render(*outdoor, view, 120, 160);
    view.orientation = AVCaptureVideoOrientationLandscapeRight;
    auto sensor = render(*outdoor, view, 160, 120);
    view.orientation = AVCaptureVideoOrientationPortraitUpsideDown;
    auto upsideDown = render(*outdoor, view, 120, 160);
    view.orientation = AVCaptureVideoOrientationLandscapeLeft;
    auto left = render(*outdoor, view, 160, 120);
    int worst = 0;
    for (size_t y = 0; y < 160; y += 7)
        for (size_t x = 0; x < 120; x += 5) {
            const scene::Rgb c = pixelAt(*upright, x, y);
            worst = std::max(worst, difference(c, pixelAt(*sensor, y, 119 - x)));
            worst = std::max(worst, difference(c, pixelAt(*upsideDown, 119 - x, 159 - y)));
            worst = std::max(worst, difference(c, pixelAt(*left, 159 - y, x)));
        }
    EXPECT_LE(worst, 2);

    double x = 0, y = 0;
    scene::scenePointOfPixel(RenderView{}, 120, 160, 0, 0, x, y);
    EXPECT_NEAR(x, -0.375 + 0.375 / 120, 1e-12);
    EXPECT_NEAR(y, -0.5 + 0.5 / 160, 1e-12);
}

TEST(Scene, DetailFinerThanAPixelFadesToItsAverage) {
    auto outdoor = scene::makeOutdoorScene();
    // One group of the finest bars (0.7 thousandths wide, at x -0.148 to -0.1445) close up and
    // from far enough that two bars fit in a pixel.
    RenderView view;
    view.centreX = -0.14625;
    view.centreY = 0.283;
    auto across = [&](double field, size_t width) {
        view.fieldWidth = field;
        view.fieldHeight = field * 4 / 3;
        auto buffer = render(*outdoor, view, width, width * 4 / 3);
        std::vector<double> row;
        for (size_t x = 0; x < width; ++x) {
            double sceneX = 0, sceneY = 0;
            scene::scenePointOfPixel(view, width, width * 4 / 3, double(x), double(width * 2 / 3),
                                     sceneX, sceneY);
            if (sceneX > -0.1475 && sceneX < -0.1450)
                row.push_back(lumaAt(*buffer, x, width * 2 / 3));
        }
        return row;
    };
    const std::vector<double> close = across(0.006, 300);
    ASSERT_GT(close.size(), 100u);
    EXPECT_LT(*std::min_element(close.begin(), close.end()), 60);
    EXPECT_GT(*std::max_element(close.begin(), close.end()), 180);
    // From afar the bars are one even grey, not a moiré of random pixels.
    const std::vector<double> far = across(0.3, 200);
    ASSERT_GE(far.size(), 1u);
    EXPECT_LT(*std::max_element(far.begin(), far.end()) - *std::min_element(far.begin(), far.end()),
              8);
    EXPECT_NEAR(far.front(), 0.4 * 228 + 0.6 * 30, 25);
}

TEST(Scene, ExposureAndFlashChangeTheLight) {
    auto indoor = scene::makeIndoorScene();
    EXPECT_LT(indoor->illuminance(), scene::makeOutdoorScene()->illuminance());
    RenderView view;
    auto normal = render(*indoor, view, 90, 120);
    view.exposureGain = 2;
    auto brighter = render(*indoor, view, 90, 120);
    view.exposureGain = 1;
    view.flash = 1;
    auto flash = render(*indoor, view, 90, 120);
    EXPECT_GT(meanLuma(*brighter, 0, 0, 1, 1), meanLuma(*normal, 0, 0, 1, 1) + 20);
    // The flash lights the middle more than the corners.
    const double middleGain =
        meanLuma(*flash, 0.4, 0.4, 0.6, 0.6) / meanLuma(*normal, 0.4, 0.4, 0.6, 0.6);
    const double cornerGain = meanLuma(*flash, 0, 0, 0.1, 0.1) / meanLuma(*normal, 0, 0, 0.1, 0.1);
    EXPECT_GT(middleGain, 1.2);
    EXPECT_GT(middleGain, cornerGain + 0.2);
}

TEST(Scene, BoxBlurSpreadsLightEvenlyAndKeepsEdges) {
    auto buffer = newBuffer(40, 30);
    for (size_t y = 0; y < 30; ++y)
        for (size_t x = 0; x < 40; ++x) {
            uint8_t* p = buffer->baseAddress() + y * buffer->bytesPerRow() + x * 4;
            p[0] = p[1] = p[2] = 100;
            p[3] = 255;
        }
    uint8_t* spot = buffer->baseAddress() + 15 * buffer->bytesPerRow() + 20 * 4;
    spot[0] = spot[1] = spot[2] = 100 + 9 * 9 * 1;  // one bright pixel, 81 above the grey
    scene::boxBlur(buffer->baseAddress(), 40, 30, buffer->bytesPerRow(), 4);
    // The extra light is spread over a 9 x 9 box: one level above the grey inside, none out.
    EXPECT_EQ(pixelAt(*buffer, 20, 15).g, 101);
    EXPECT_EQ(pixelAt(*buffer, 16, 11).g, 101);
    EXPECT_EQ(pixelAt(*buffer, 15, 15).g, 100);
    // Edges are extended, so the border stays the grey it was.
    EXPECT_EQ(pixelAt(*buffer, 0, 0).r, 100);
    EXPECT_EQ(pixelAt(*buffer, 39, 29).b, 100);
    EXPECT_EQ(buffer->baseAddress()[3], 255);

    EXPECT_EQ(scene::blurRadius(0, 1080, 1440), 0);
    EXPECT_EQ(scene::blurRadius(1, 4032, 3024), 36);
}

TEST(Scene, DefocusedPicturesPaintedSmallLookLikeBlurredOnes) {
    auto outdoor = scene::makeOutdoorScene();
    RenderView view;
    view.orientation = AVCaptureVideoOrientationLandscapeRight;
    auto sharp = render(*outdoor, view, 1600, 1200);
    const int radius = scene::blurRadius(1, 1600, 1200);
    ASSERT_GE(radius, 8);
    scene::boxBlur(sharp->baseAddress(), 1600, 1200, sharp->bytesPerRow(), radius);
    view.defocus = 1;
    auto quick = render(*outdoor, view, 1600, 1200);
    double total = 0;
    size_t samples = 0;
    for (size_t y = 0; y < 1200; y += 7)
        for (size_t x = 0; x < 1600; x += 7, ++samples)
            total += std::fabs(lumaAt(*quick, x, y) - lumaAt(*sharp, x, y));
    EXPECT_LT(total / samples, 3.0);
}

TEST(Optics, FocusHuntsThenSettles) {
    SimulatedOptics optics;
    EXPECT_FALSE(optics.isFocusing(0));
    const double end = optics.startFocusing(1.0);
    EXPECT_DOUBLE_EQ(end, 1.0 + SimulatedOptics::kFocusSeconds);
    EXPECT_TRUE(optics.isFocusing(1.1));
    EXPECT_LT(optics.defocus(1.02), optics.defocus(1.12));  // runs past focus first
    EXPECT_GT(optics.defocus(1.12), optics.defocus(1.3));   // then comes back
    EXPECT_DOUBLE_EQ(optics.defocus(end), 0);
    EXPECT_FALSE(optics.isFocusing(end));

    optics.startFocusing(2.0);
    optics.holdFocus(2.2);
    const double held = optics.defocus(2.2);
    EXPECT_GT(held, 0);
    EXPECT_DOUBLE_EQ(optics.defocus(5.0), held);  // a locked lens stays where it stopped
    EXPECT_FALSE(optics.isFocusing(2.3));
}

TEST(Optics, ExposureGlidesToItsTarget) {
    SimulatedOptics optics(1.0);
    const double end = optics.startExposing(0, 3.0);
    EXPECT_TRUE(optics.isExposing(0.1));
    const double midway = optics.exposureGain(end / 2);
    EXPECT_GT(midway, 1.0);
    EXPECT_LT(midway, 3.0);
    EXPECT_DOUBLE_EQ(optics.exposureGain(end), 3.0);
    optics.startExposing(1.0, 0.5);
    optics.holdExposure(1.1);
    const double held = optics.exposureGain(1.1);
    EXPECT_DOUBLE_EQ(optics.exposureGain(9), held);
    EXPECT_FALSE(optics.isExposing(1.2));
}

class Folders : public CaptureTest {
  protected:
    std::string folder() { return home_ + "/scene"; }
    // A picture whose left half is red and right half blue, saved as `name`.
    void writePicture(const std::string& name, int width, int height, int orientation = 1) {
        std::filesystem::create_directories(folder());
        std::vector<uint8_t> rgb(size_t(width) * height * 3);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
                p[0] = x < width / 2 ? 220 : 20;
                p[2] = x < width / 2 ? 20 : 220;
                p[1] = 30;
            }
        auto picture = image::Image::adopt(image::PixelFormat::RGB8, width, height, std::move(rgb));
        const std::string path = folder() + "/" + name;
        if (name.ends_with(".png")) {
            ASSERT_TRUE(image::writePng(*picture, path));
            return;
        }
        auto destination = image::ImageDestination::createWithURL(path, "public.jpeg", 1);
        ASSERT_TRUE(destination);
        destination->addImage(picture, {{image::kCGImagePropertyOrientation, orientation}});
        ASSERT_TRUE(destination->finalize());
    }
};

TEST_F(Folders, PicturesFillTheViewInTurn) {
    writePicture("a.png", 300, 400);
    // Stored turned a quarter, to be shown upright: its red half ends up on top.
    writePicture("b.jpg", 400, 300, 6);
    std::filesystem::create_directories(folder() + "/ignored");
    std::ofstream(folder() + "/notes.txt") << "not a picture";
    std::string error;
    auto pictures = scene::ImageFolderScene::load(folder(), 3.0, &error);
    ASSERT_TRUE(pictures) << error;
    EXPECT_EQ(pictures->pictureCount(), 2u);

    RenderView view;
    auto first = render(*pictures, view, 60, 80);
    EXPECT_GT(pixelAt(*first, 10, 40).r, 180);
    EXPECT_GT(pixelAt(*first, 50, 40).b, 180);
    view.time = 3.5;
    auto second = render(*pictures, view, 60, 80);
    EXPECT_GT(pixelAt(*second, 30, 10).r, 150);
    EXPECT_GT(pixelAt(*second, 30, 70).b, 150);
    view.time = 6.5;  // and round again
    EXPECT_GT(pixelAt(*render(*pictures, view, 60, 80), 10, 40).r, 180);

    EXPECT_FALSE(scene::ImageFolderScene::load(home_ + "/missing", 3.0, &error));
    EXPECT_NE(error.find("missing"), std::string::npos);
}

TEST_F(Folders, PicturesThatCannotBeDecodedAreLeftOutOnceAtLoad) {
    writePicture("a.png", 300, 400);
    writePicture("b.jpg", 300, 400);
    writePicture("c.png", 300, 400);
    // Their headers are whole; their image data is cut short.
    for (const char* name : {"b.jpg", "c.png"}) {
        const std::string path = folder() + "/" + name;
        std::filesystem::resize_file(path, std::filesystem::file_size(path) * 2 / 3);
    }
    log::CaptureScope log;
    std::string error;
    auto pictures = scene::ImageFolderScene::load(folder(), 3.0, &error);
    ASSERT_TRUE(pictures) << error;
    EXPECT_EQ(pictures->pictureCount(), 1u);
    size_t leftOut = 0;
    for (const std::string& message : log.messages())
        if (message.find("leaving it out") != std::string::npos) ++leftOut;
    EXPECT_EQ(leftOut, 2u);
    // Every turn shows the one good picture.
    RenderView view;
    for (double time : {0.5, 3.5, 6.5}) {
        view.time = time;
        EXPECT_GT(pixelAt(*render(*pictures, view, 60, 80), 10, 40).r, 180) << time;
    }

    std::filesystem::remove(folder() + "/a.png");
    EXPECT_FALSE(scene::ImageFolderScene::load(folder(), 3.0, &error));
    EXPECT_NE(error.find("could be read"), std::string::npos) << error;
}

TEST_F(Folders, APictureBrokenAfterLoadIsDroppedForGoodThenTheBuiltInSceneShows) {
    writePicture("a.png", 300, 400);
    writePicture("b.png", 400, 300);
    auto pictures = scene::ImageFolderScene::load(folder(), 3.0);
    ASSERT_TRUE(pictures);
    std::ofstream(folder() + "/b.png", std::ios::trunc) << "no longer a picture";

    log::CaptureScope log;
    auto sceneLines = [&] {
        size_t lines = 0;
        for (const std::string& message : log.messages())
            if (message.find("camera scene:") != std::string::npos) ++lines;
        return lines;
    };
    RenderView view;
    view.time = 3.5;  // b's turn: a is shown instead
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_GT(pixelAt(*render(*pictures, view, 60, 80), 10, 40).r, 180);
    EXPECT_EQ(pictures->readablePictureCount(), 1u);
    // One line and one failed decode, not one per row painted.
    EXPECT_EQ(sceneLines(), 1u);
    EXPECT_TRUE(log.contains("b.png any more"));

    // With nothing left, the built-in outdoor scene rather than a blank field.
    writePicture("b.png", 400, 300);
    auto both = scene::ImageFolderScene::load(folder(), 3.0);
    ASSERT_TRUE(both);
    for (const char* name : {"/a.png", "/b.png"})
        std::ofstream(folder() + name, std::ios::trunc) << "broken";
    log.clear();
    view.time = 0.5;
    auto shown = render(*both, view, 60, 80);
    EXPECT_EQ(both->readablePictureCount(), 0u);
    EXPECT_EQ(sceneLines(), 2u);
    auto outdoor = render(*scene::makeOutdoorScene(), view, 60, 80);
    double difference = 0;
    for (int y = 0; y < 80; y += 4)
        for (int x = 0; x < 60; x += 4)
            difference += std::abs(lumaAt(*shown, x, y) - lumaAt(*outdoor, x, y));
    EXPECT_LT(difference / (20 * 15), 40) << "not the outdoor scene";
    EXPECT_LT(meanLuma(*shown, 0, 0, 1, 1), 240) << "a blank field";
}

TEST_F(Folders, TheCameraLooksAtTheFolderItIsGiven) {
    writePicture("a.png", 300, 400);
    env_.set("HALIDEX_CAMERA_SCENE", folder().c_str());
    useSmallStills();
    RunningCamera camera(backWide());
    const CapturePhotoRef photo = camera.capture();
    ASSERT_TRUE(photo && photo->pixelBuffer());
    // In sensor orientation the picture's left (red) half lies at the bottom of the buffer.
    EXPECT_GT(pixelAt(*photo->pixelBuffer(), 512, 740).r, 180);
    EXPECT_GT(pixelAt(*photo->pixelBuffer(), 512, 30).b, 180);

    log::CaptureScope log;
    env_.set("HALIDEX_CAMERA_SCENE", (home_ + "/empty").c_str());
    CameraBackend::reset();
    EXPECT_TRUE(backWide());
    EXPECT_TRUE(log.contains("built-in scene"));
}

}  // namespace
}  // namespace hx::capture::testing

// The live preview of the camera screen: camera frames drawn through the film into the GPU
// view (read back from what the view presented), mirrored for the front camera, frozen while a
// photo is processed, kept while drawing is off, one frame in flight with frames dropped rather
// than queued, and the point clamp of the frame modes.

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "platform/capture/scene/Scene.h"
#include "platform/capture/simulated/SimulatedCameraBackend.h"
#include "tests/app/CameraScreenTestSupport.h"

namespace hx::app::testing {
namespace {

using namespace hx::capture;

// BGRA texels of a texture.
struct Pixels {
    size_t width = 0, height = 0;
    std::vector<uint8_t> bytes;
    const uint8_t* at(size_t x, size_t y) const { return &bytes[(y * width + x) * 4]; }
    // Mean of the three colour channels over a column band [x0, x1).
    double meanLevel(size_t x0, size_t x1) const {
        double sum = 0;
        size_t n = 0;
        for (size_t y = 0; y < height; y += 4)
            for (size_t x = x0; x < x1; x += 2) {
                const uint8_t* p = at(x, y);
                sum += p[0] + p[1] + p[2];
                n += 3;
            }
        return n ? sum / double(n) : 0;
    }
};

Pixels read(const gpu::TextureRef& texture) {
    Pixels p;
    if (!texture) return p;
    p.width = texture->width();
    p.height = texture->height();
    p.bytes.resize(p.width * p.height * 4);
    texture->getBytes(p.bytes.data(), p.width * 4, gpu::Region::make2D(0, 0, p.width, p.height), 0);
    return p;
}

// Bright on the left half of the scene, dark on the right, with a little colour so that a
// colour film has something to show.
class HalvesScene : public scene::Scene {
  public:
    void renderSpan(const scene::SceneSpan& span, uint8_t* bgra) const override {
        for (int i = 0; i < span.count; ++i) {
            double x = span.x + i * span.stepX;
            uint8_t* p = bgra + 4 * i;
            if (x < 0) {
                p[0] = 60, p[1] = 200, p[2] = 240;  // warm and bright
            } else {
                p[0] = 90, p[1] = 30, p[2] = 20;  // dark blue
            }
            p[3] = 255;
        }
    }
};

class Preview : public CameraScreenTest {
  protected:
    // The phone's cameras looking at the halves scene.
    void useHalvesScene() {
        auto halves = std::make_shared<HalvesScene>();
        CameraBackend::setCurrent(std::make_shared<SimulatedCameraBackend>(
            DeviceProfile::current().cameras, halves, halves));
    }

    // Starts the camera and lets frames arrive until `count` more have been drawn and their
    // picture presented.
    void drawFrames(hxViewController& s, uint64_t count) {
        uint64_t target = s.previewFramesDrawn() + count;
        for (int step = 0; step < 400 && s.previewFramesDrawn() < target; ++step) {
            refresh(s);
        }
        ASSERT_GE(s.previewFramesDrawn(), target);
        ASSERT_TRUE(waitPresented(s));
    }
    // One refresh of the view: the clock moves on, frames painted by the camera meanwhile are
    // delivered, and what was drawn is on show.
    static void refresh(hxViewController& s) {
        advance(1.0 / 60);
        runUntil([] { return false; }, 5);
        waitPresented(s);
    }
    // The GPU renders on threads of its own and presents when it completes: waits (in real
    // time, bounded) until every drawn frame is on show.
    static bool waitPresented(hxViewController& s) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!presentedAll(s)) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    // Whether every drawn frame has been presented by now.
    static bool presentedAll(hxViewController& s) {
        uint64_t generation = 0;
        s.metalView->presentedTexture(&generation);
        return generation >= s.previewFramesDrawn();
    }
    hxViewController& openRunning() {
        hxViewController& s = openScreen();
        s.session()->startRunning();
        return s;
    }
};

TEST_F(Preview, ViewSitsUnderTheControlsAtTheDrawableSizeOfTheScreen) {
    hxViewController& s = openScreen();
    ASSERT_TRUE(s.metalView);
    CGRect frame = s.metalView->frame();
    // The phone (390 x 844 points, insets 47 and 34): the 3:4 preview centred in what the bar
    // and the top row leave.
    EXPECT_FLOAT_EQ(frame.origin.y, 47 + (844 - 520 - 44 * 390 / 320.0 - 98 * 390 / 320.0) / 2);
    EXPECT_EQ(frame.size.width, 390);
    EXPECT_EQ(frame.size.height, 520);
    EXPECT_EQ(s.metalView->drawableSize().width, 390 * 3);
    EXPECT_EQ(s.metaldevice, s.filmRenderer().metaldevice);
    ASSERT_TRUE(s.renderPipelineState);
    EXPECT_EQ(s.renderPipelineState->label(), "Render Pipeline");
    ASSERT_TRUE(s.renderColorPipelineState);
    EXPECT_EQ(s.renderColorPipelineState->label(), "Render Color Pipeline");
    ASSERT_TRUE(s.preRenderPipelineState);
    EXPECT_EQ(s.preRenderPipelineState->label(), "Offscreen Render Pipeline");
    ASSERT_TRUE(s.preTexture);
    EXPECT_EQ(s.preTexture->width(), 390u);  // points, not pixels
    EXPECT_EQ(s.preTexture->height(), 520u);
    EXPECT_EQ(s.metalView->superview(), s.view());
}

TEST_F(Preview, TabletPreviewFillsTheWidthLikeAPhone) {
    useProfile("tablet");
    hxViewController& s = openScreen();
    CGRect frame = s.metalView->frame();
    EXPECT_EQ(frame.origin.x, 0);
    EXPECT_FLOAT_EQ(frame.origin.y, s._topSpace);
    EXPECT_FLOAT_EQ(frame.size.width, s._previewWidth);
    EXPECT_LT(frame.size.width, 1024);
    EXPECT_NEAR(frame.size.height, s._previewWidth / 3.0 * 4, 0.01);
}

TEST_F(Preview, MonochromeFilmDrawsGreyAndColourFilmDrawsColour) {
    useHalvesScene();
    hxViewController& s = openRunning();
    drawFrames(s, 2);
    Pixels grey = read(s.metalView->presentedTexture());
    ASSERT_EQ(grey.width, 390u * 3);
    ASSERT_EQ(grey.height, 520u * 3);
    for (size_t y = 10; y < grey.height; y += 97)
        for (size_t x = 10; x < grey.width; x += 89) {
            const uint8_t* p = grey.at(x, y);
            ASSERT_EQ(p[0], p[1]) << x << "," << y;
            ASSERT_EQ(p[1], p[2]) << x << "," << y;
        }
    // The scene's two halves still differ through the film.
    EXPECT_GT(grey.meanLevel(0, grey.width / 4), grey.meanLevel(grey.width * 3 / 4, grey.width));

    s._currentFilm = 10;
    s.changeToneCurve(10);
    drawFrames(s, 1);
    Pixels colour = read(s.metalView->presentedTexture());
    int coloured = 0;
    for (size_t y = 10; y < colour.height; y += 97)
        for (size_t x = 10; x < colour.width; x += 89) {
            const uint8_t* p = colour.at(x, y);
            if (std::abs(p[0] - p[2]) > 20) ++coloured;
        }
    EXPECT_GT(coloured, 10);
}

TEST_F(Preview, SofteningFilmsDrawThroughThePrePass) {
    useHalvesScene();
    hxViewController& s = openRunning();
    s._currentFilm = 7;
    s.changeToneCurve(7);
    ASSERT_TRUE(s.filmRenderer()._blurFlag);
    drawFrames(s, 2);
    Pixels grey = read(s.metalView->presentedTexture());
    const uint8_t* p = grey.at(grey.width / 4, grey.height / 2);
    EXPECT_EQ(p[0], p[2]);
    EXPECT_GT(grey.meanLevel(0, grey.width / 4), grey.meanLevel(grey.width * 3 / 4, grey.width));
}

TEST_F(Preview, FrontCameraIsMirroredBackCameraIsNot) {
    useHalvesScene();
    hxViewController& s = openRunning();
    drawFrames(s, 2);
    // Which side is bright in the camera's frame, and which in the view.
    auto brightLeft = [](const Pixels& p) {
        return p.meanLevel(0, p.width / 3) > p.meanLevel(p.width * 2 / 3, p.width);
    };
    bool cameraLeft = brightLeft(read(s.texture));
    EXPECT_EQ(brightLeft(read(s.metalView->presentedTexture())), cameraLeft);

    s.switchCameraTapped(nullptr);
    advance(0);
    drawFrames(s, 2);
    bool frontCameraLeft = brightLeft(read(s.texture));
    EXPECT_NE(brightLeft(read(s.metalView->presentedTexture())), frontCameraLeft);
}

TEST_F(Preview, ProcessingFreezesThePreviewAndTheOverlay) {
    hxViewController& s = openRunning();
    auto overlay = std::make_shared<hxOverlayView>(CGRectMake(0, 100, 390, 520));
    s._overlayView = overlay;
    s.view()->addSubview(overlay);
    drawFrames(s, 1);
    host_->renderImage();  // draws the overlay, so it no longer needs display
    ASSERT_FALSE(overlay->needsDisplay());

    s._process = true;
    gpu::TextureRef frozen = s.texture;
    uint64_t drawn = s.previewFramesDrawn();
    for (int i = 0; i < 30; ++i) refresh(s);
    EXPECT_EQ(s.previewFramesDrawn(), drawn);
    EXPECT_EQ(s.texture, frozen);
    EXPECT_FALSE(overlay->needsDisplay());

    s._process = false;
    drawFrames(s, 1);
    EXPECT_TRUE(overlay->needsDisplay());
    EXPECT_NE(s.texture, frozen);
}

TEST_F(Preview, DrawingOffKeepsTheLastFrameOnShow) {
    hxViewController& s = openRunning();
    drawFrames(s, 2);
    s._drawGL = false;
    gpu::TextureRef last = s.texture;
    uint64_t generation = 0;
    gpu::TextureRef shown = s.metalView->presentedTexture(&generation);
    uint64_t drawn = s.previewFramesDrawn();
    for (int i = 0; i < 30; ++i) refresh(s);
    EXPECT_EQ(s.texture, last);
    EXPECT_EQ(s.previewFramesDrawn(), drawn);
    uint64_t generationAfter = 0;
    EXPECT_EQ(s.metalView->presentedTexture(&generationAfter), shown);
    EXPECT_EQ(generationAfter, generation);
    // A new film is still drawn, over the last camera frame.
    s._currentFilm = 3;
    s.changeToneCurve(3);
    drawFrames(s, 1);
    EXPECT_EQ(s.texture, last);
}

TEST_F(Preview, FramesAreDroppedNotQueuedWhileOneIsInFlight) {
    hxViewController& s = openRunning();
    drawFrames(s, 1);
    // Holds the one frame in flight, as a command buffer not yet scheduled would.
    s.semaphore->wait();
    uint64_t drawn = s.previewFramesDrawn();
    uint64_t dropped = s.previewFramesDropped();
    for (int i = 0; i < 20; ++i) {
        advance(1.0 / 60);
        runUntil([] { return false; }, 5);
    }
    EXPECT_EQ(s.previewFramesDrawn(), drawn);
    EXPECT_GT(s.previewFramesDropped(), dropped);
    s.semaphore->signal();
    // Once free, the newest frame is drawn once at the next refresh: nothing piled up.
    refresh(s);
    EXPECT_EQ(s.previewFramesDrawn(), drawn + 1);
}

TEST_F(Preview, EachCameraFrameIsDrawnOnceAtMost) {
    hxViewController& s = openRunning();
    drawFrames(s, 1);
    uint64_t drawn = s.previewFramesDrawn();
    uint64_t refreshes = s.metalView->frameCount();
    for (int i = 0; i < 60; ++i) refresh(s);
    // A second of a 30 fps camera under a 60 Hz view.
    EXPECT_GE(s.metalView->frameCount() - refreshes, 55u);
    EXPECT_LE(s.previewFramesDrawn() - drawn, 31u);
    EXPECT_GE(s.previewFramesDrawn() - drawn, 10u);
}

TEST_F(Preview, CheckBoundsClampsIntoTheFrameOfEachMode) {
    hxViewController& s = openScreen();
    s._previewWidth = 300;
    s._previewHeight = 400;
    auto near = [](CGPoint p, double x, double y) {
        return std::abs(p.x - x) < 0.01 && std::abs(p.y - y) < 0.01;
    };
    s._currentFrame = 2;
    EXPECT_TRUE(near(s.checkBounds(CGPointMake(5, 5)), 30, 80));
    EXPECT_TRUE(near(s.checkBounds(CGPointMake(295, 395)), 270, 320));
    EXPECT_TRUE(near(s.checkBounds(CGPointMake(150, 200)), 150, 200));
    s._currentFrame = 1;
    EXPECT_TRUE(near(s.checkBounds(CGPointMake(0, 0)), 46.667, 30));
    EXPECT_TRUE(near(s.checkBounds(CGPointMake(300, 400)), 253.333, 370));
    s._currentFrame = 0;
    EXPECT_TRUE(near(s.checkBounds(CGPointMake(0, 400)), 30, 370));
    s._currentFrame = 3;
    EXPECT_TRUE(near(s.checkBounds(CGPointMake(-5, 999)), -5, 999));
}

}  // namespace
}  // namespace hx::app::testing

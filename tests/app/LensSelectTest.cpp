// The lens selector placed as the camera screen places it (turned a quarter) in a headless
// window, touched through the window: opening, the release thresholds, the ring while dragging,
// the collapsed icon. The icons come from a resource folder of the test's own, one plain colour
// each, so the pictures say which icon was drawn where.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include <QImage>

#include "app/camera/hxLensSelect.h"
#include "platform/ui/host/HeadlessHost.h"
#include "platform/ui/host/UIRenderer.h"
#include "platform/ui/window/UIWindow.h"
#include "tests/platform/ui/views/UITestSupport.h"
#include "tests/support/TemporaryFolder.h"

namespace hx::app {
namespace {

using testing::colorNear;
using testing::pixelAt;

const QColor kUltraWide(255, 0, 0), kWide(0, 255, 0), kTele(0, 0, 255), kMulti(255, 255, 0),
    kRing(255, 0, 255);

class RecordingDelegate : public hxLensSelectDelegate {
  public:
    void presetSelect(hxLensSelect&, int32_t preset) override { chosen.push_back(preset); }
    std::vector<int32_t> chosen;
};

class LensSelectTest : public testing::UITest {
  protected:
    // The resources must be in place before the program's bundle is first asked for anything.
    static void SetUpTestSuite() {
        icons_ = new testsupport::TemporaryFolder("hx-lens-icons");
        auto write = [](const char* name, const QColor& colour) {
            QImage image(90, 90, QImage::Format_ARGB32);
            image.fill(colour);
            image.save(QString::fromStdString(icons_->file(name)), "PNG");
        };
        write("pre0@2x.png", kUltraWide);
        write("pre1@2x.png", kWide);
        write("pre2@2x.png", kTele);
        write("preMulti@2x.png", kMulti);
        write("preCircle@2x.png", kRing);
        ::setenv("HALIDEX_RESOURCES", icons_->path().c_str(), 1);
    }
    static void TearDownTestSuite() {
        delete icons_;
        icons_ = nullptr;
    }

    void SetUp() override {
        UITest::SetUp();
        host = std::make_unique<HeadlessHost>();
        window = host->window();
        window->makeKeyAndVisible();
        selector = std::make_shared<hxLensSelect>();
        window->addSubview(selector);
        // As the camera screen places it: collapsed at (205, 52), turned by +90 degrees.
        selector->setFrame(CGRectMake(205, 52, 30, 30));
        selector->setTransform(CGAffineTransformMakeRotation(std::numbers::pi / 2));
        selector->setBackgroundColor(UIColor::colorWithWhite(0.4, 1));
        selector->setOri(3);
        selector->setDelegate(&delegate);
    }

    void TearDown() override {
        selector.reset();
        host.reset();
        window.reset();
        UITest::TearDown();
    }

    // A point in the selector's own coordinates, in the window's.
    CGPoint at(double x, double y) const {
        return selector->convertPointToView(CGPointMake(x, y), nullptr);
    }
    bool expanded() const { return selector->bounds().size.height > 100; }

    // A touch that opens the strip and lifts, then the opening animation.
    void open() {
        host->touchDown(at(15, 15));
        host->touchUp(at(15, 15));
        advance(0.2);
    }
    // A second touch on the open strip, lifted at y (the selector's own coordinates).
    void releaseAt(double y) {
        host->touchDown(at(22.5, 22.5));
        host->touchMove(at(22.5, y));
        host->touchUp(at(22.5, y));
        advance(0.2);
    }

    QColor colourAt(double x, double y) {
        QImage image = UIRenderer::renderView(*selector, 1);
        return pixelAt(image, int(x), int(y));
    }

    inline static testsupport::TemporaryFolder* icons_ = nullptr;
    std::unique_ptr<HeadlessHost> host;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<hxLensSelect> selector;
    RecordingDelegate delegate;
};

TEST_F(LensSelectTest, TheFingerThatOpensTheStripSelectsNothing) {
    selector->setLensSet(2);
    open();
    EXPECT_TRUE(delegate.chosen.empty());
    ASSERT_TRUE(expanded());
    // Strip of three slots, growing to the left on the screen.
    CGRect f = selector->frame();
    EXPECT_NEAR(f.origin.x, 205 - 90, 1e-6);
    EXPECT_NEAR(f.origin.y, 52, 1e-6);
    EXPECT_NEAR(f.size.width, 135, 1e-6);
    EXPECT_NEAR(f.size.height, 45, 1e-6);
    EXPECT_NEAR(selector->bounds().size.width, 45, 1e-6);
    EXPECT_NEAR(selector->bounds().size.height, 135, 1e-6);
}

TEST_F(LensSelectTest, ReleaseThresholdsOfTheTwoLensSet) {
    struct Case {
        double p;
        int32_t preset;
    };
    for (Case c : {Case{22.5, 1}, Case{22.6, 0}, Case{67.5, 0}, Case{67.6, 100}, Case{0, 1},
                   Case{112, 100}}) {
        selector->setLensSet(2);
        delegate.chosen.clear();
        selector->setSelectedPreset(1);
        open();
        ASSERT_TRUE(expanded()) << c.p;
        releaseAt(c.p + 22.5);
        ASSERT_EQ(delegate.chosen, std::vector<int32_t>{c.preset}) << "p = " << c.p;
        EXPECT_EQ(selector->selectedPreset(), c.preset);
        // Collapsed again where it started.
        EXPECT_FALSE(expanded()) << c.p;
        EXPECT_NEAR(selector->frame().origin.x, 205, 1e-6);
        EXPECT_NEAR(selector->frame().size.width, 30, 1e-6);
    }
}

TEST_F(LensSelectTest, ReleaseThresholdsOfTheThreeLensAndWideTeleSets) {
    struct Case {
        int32_t set;
        double p;
        int32_t preset;
    };
    for (Case c : {Case{1, 10, 2}, Case{1, 22.6, 1}, Case{1, 67.6, 0}, Case{1, 112.5, 0},
                   Case{1, 112.6, 100}, Case{3, 22.5, 2}, Case{3, 40, 1}, Case{3, 80, 100}}) {
        selector->setLensSet(c.set);
        delegate.chosen.clear();
        open();
        releaseAt(c.p + 22.5);
        ASSERT_EQ(delegate.chosen, std::vector<int32_t>{c.preset})
            << "set " << c.set << " p " << c.p;
        EXPECT_FALSE(expanded());
    }
}

TEST_F(LensSelectTest, ASetWithoutStripKeepsThePresetButStillReportsIt) {
    selector->setLensSet(0);
    selector->setSelectedPreset(1);
    open();
    releaseAt(100);
    EXPECT_EQ(delegate.chosen, std::vector<int32_t>{1});
}

TEST_F(LensSelectTest, CollapsedShowsTheSelectedLensOrTheRingWhenTheSetLacksIt) {
    selector->setLensSet(2);
    selector->setSelectedPreset(0);
    selector->setNeedsDisplay();
    EXPECT_TRUE(colorNear(colourAt(15, 15), kUltraWide));
    // Telephoto is not in the ultra-wide and wide set.
    selector->setSelectedPreset(2);
    selector->setNeedsDisplay();
    EXPECT_TRUE(colorNear(colourAt(15, 15), kRing));
    selector->setSelectedPreset(100);
    selector->setNeedsDisplay();
    EXPECT_TRUE(colorNear(colourAt(15, 15), kMulti));
    selector->setLensSet(3);
    selector->setSelectedPreset(0);
    selector->setNeedsDisplay();
    EXPECT_TRUE(colorNear(colourAt(15, 15), kRing));
}

TEST_F(LensSelectTest, TheOpenStripShowsItsLensesAndTheRingOnTheSelection) {
    selector->setLensSet(1);
    selector->setSelectedPreset(1);
    open();
    ASSERT_TRUE(expanded());
    QImage image = UIRenderer::renderView(*selector, 1);
    // Telephoto, wide (under the ring), ultra-wide, multi from the top.
    EXPECT_TRUE(colorNear(pixelAt(image, 22, 22), kTele));
    EXPECT_TRUE(colorNear(pixelAt(image, 22, 67), kRing));
    EXPECT_TRUE(colorNear(pixelAt(image, 22, 112), kUltraWide));
    EXPECT_TRUE(colorNear(pixelAt(image, 22, 157), kMulti));
}

TEST_F(LensSelectTest, DraggingBeyondTheStripKeepsTheRingOnTheEndSlots) {
    selector->setLensSet(2);
    selector->setSelectedPreset(1);
    open();
    host->touchDown(at(22.5, 22.5));
    host->touchMove(at(22.5, 400));
    QImage below = UIRenderer::renderView(*selector, 1);
    EXPECT_TRUE(colorNear(pixelAt(below, 22, 112), kRing));
    EXPECT_TRUE(colorNear(pixelAt(below, 22, 67), kUltraWide));
    EXPECT_TRUE(colorNear(pixelAt(below, 22, 22), kWide));

    host->touchMove(at(22.5, -300));
    QImage above = UIRenderer::renderView(*selector, 1);
    EXPECT_TRUE(colorNear(pixelAt(above, 22, 22), kRing));
    EXPECT_TRUE(colorNear(pixelAt(above, 22, 112), kMulti));

    // Half-way between slots the ring follows the finger.
    host->touchMove(at(22.5, 45));
    QImage between = UIRenderer::renderView(*selector, 1);
    EXPECT_TRUE(colorNear(pixelAt(between, 22, 30), kRing));
    EXPECT_TRUE(colorNear(pixelAt(between, 22, 10), kWide));
    host->touchUp(at(22.5, 45));
}

TEST_F(LensSelectTest, NothingIsDrawnWhileTheStripMoves) {
    selector->setLensSet(2);
    selector->setSelectedPreset(1);
    host->touchDown(at(15, 15));
    advance(0.05);
    QImage moving = UIRenderer::renderView(*selector, 1);
    // Only the grey background.
    EXPECT_TRUE(colorNear(pixelAt(moving, 20, 20), QColor(102, 102, 102), 2));
    host->touchUp(at(15, 15));
    advance(0.2);
    QImage open = UIRenderer::renderView(*selector, 1);
    EXPECT_TRUE(colorNear(pixelAt(open, 22, 22), kRing));
}

TEST_F(LensSelectTest, TouchesWhileTheStripMovesNeitherReopenNorChoose) {
    selector->setLensSet(2);
    host->touchDown(at(15, 15));
    host->touchUp(at(15, 15));
    // A second touch before the opening ends: the strip stays where it is going.
    advance(0.05);
    host->touchDown(at(22.5, 22.5));
    host->touchUp(at(22.5, 80));
    advance(0.2);
    EXPECT_TRUE(delegate.chosen.empty());
    EXPECT_NEAR(selector->frame().origin.x, 115, 1e-6);
    EXPECT_TRUE(expanded());

    releaseAt(100);  // multi-lens; the strip starts closing
    ASSERT_EQ(delegate.chosen, std::vector<int32_t>{100});
    open();
    host->touchDown(at(22.5, 22.5));
    host->touchUp(at(22.5, 22.5));  // wide, closing again
    advance(0.05);
    host->touchDown(at(15, 15));
    host->touchUp(at(15, 15));
    advance(0.2);
    EXPECT_EQ(delegate.chosen, (std::vector<int32_t>{100, 1}));
    EXPECT_FALSE(expanded());
    EXPECT_NEAR(selector->frame().origin.x, 205, 1e-6);
}

TEST_F(LensSelectTest, TurningToAnotherOrientationCollapsesAtOnce) {
    selector->setLensSet(2);
    open();
    ASSERT_TRUE(expanded());
    CGRect open = selector->frame();
    selector->setOri(4);
    EXPECT_FALSE(expanded());
    // Collapsed in place for the landscape orientation it was in.
    EXPECT_NEAR(selector->frame().origin.x, open.origin.x, 1e-6);
    EXPECT_NEAR(selector->frame().origin.y, open.origin.y, 1e-6);
    EXPECT_NEAR(selector->frame().size.width, 30, 1e-6);
    EXPECT_EQ(selector->currentOri(), 4);
    // The next touch opens it again instead of choosing.
    host->touchDown(at(15, 15));
    host->touchUp(at(15, 15));
    advance(0.2);
    EXPECT_TRUE(delegate.chosen.empty());
    EXPECT_TRUE(expanded());
}

TEST_F(LensSelectTest, ImmediateHideFromPortraitMovesTheSquareDown) {
    selector->setOri(1);
    selector->setLensSet(1);
    open();
    CGRect open = selector->frame();
    selector->immediateHide();
    EXPECT_NEAR(selector->frame().origin.x, open.origin.x, 1e-6);
    EXPECT_NEAR(selector->frame().origin.y, open.origin.y + 100, 1e-6);
    selector->immediateHide();  // already collapsed: stays
    EXPECT_NEAR(selector->frame().origin.y, open.origin.y + 100, 1e-6);
}

}  // namespace
}  // namespace hx::app

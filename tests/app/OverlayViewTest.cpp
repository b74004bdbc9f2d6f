// The viewfinder overlay drawn by the headless renderer: where its bands and grid lines land in
// pixels, for both picture formats, translucent bands, and the grid switch.

#include <gtest/gtest.h>

#include <memory>

#include <QImage>

#include "app/camera/hxOverlayView.h"
#include "platform/ui/host/UIRenderer.h"
#include "tests/platform/ui/views/UITestSupport.h"

namespace hx::app {
namespace {

using testing::colorNear;
using testing::pixelAt;

class OverlayViewTest : public testing::UITest {
  protected:
    // The preview of a 320-point screen: 3:4 portrait.
    std::shared_ptr<hxOverlayView> overlay(int32_t aspect, int32_t grid, bool translucent = false) {
        auto view = std::make_shared<hxOverlayView>(CGRectMake(0, 0, 320, 320.0f / 3 * 4));
        view->setBackgroundColor(UIColor::clearColor());
        view->setOpaque(false);
        view->setAspect(aspect);
        view->setGrid(grid);
        view->setMaskTranslucent(translucent);
        return view;
    }

    static QImage render(UIView& view) { return UIRenderer::renderView(view, 1); }

    static bool clear(const QImage& image, int x, int y) { return qAlpha(image.pixel(x, y)) == 0; }

    // The column of the strongest grid pixel in row y between x0 and x1.
    static int strongestColumn(const QImage& image, int y, int x0, int x1) {
        int best = -1, bestAlpha = 0;
        for (int x = x0; x <= x1; ++x) {
            int a = qAlpha(image.pixel(x, y));
            if (a > bestAlpha) best = x, bestAlpha = a;
        }
        return best;
    }
    static int strongestRow(const QImage& image, int x, int y0, int y1) {
        int best = -1, bestAlpha = 0;
        for (int y = y0; y <= y1; ++y) {
            int a = qAlpha(image.pixel(x, y));
            if (a > bestAlpha) best = y, bestAlpha = a;
        }
        return best;
    }
    // A grid pixel: dark blue, partly transparent, never red or green.
    static void expectGridColour(const QImage& image, int x, int y) {
        QColor c = pixelAt(image, x, y);
        EXPECT_GT(c.alpha(), 80) << x << "," << y;
        EXPECT_EQ(c.red(), 0) << x << "," << y;
        EXPECT_EQ(c.green(), 0) << x << "," << y;
        EXPECT_GT(c.blue(), 40) << x << "," << y;
        EXPECT_LT(c.blue(), 100) << x << "," << y;
    }
};

TEST_F(OverlayViewTest, TwoThreeFormatMasksBothSidesWithBandsOfAnEighteenthOfTheWidth) {
    auto view = overlay(1, 0);
    QImage image = render(*view);
    ASSERT_EQ(image.width(), 320);
    // n = (320 - 284.44) / 2 = 17.78 points at each side.
    for (int y : {0, 200, 424}) {
        EXPECT_TRUE(colorNear(pixelAt(image, 0, y), QColor(0, 0, 0, 255)));
        EXPECT_TRUE(colorNear(pixelAt(image, 16, y), QColor(0, 0, 0, 255)));
        EXPECT_TRUE(clear(image, 19, y));
        EXPECT_TRUE(clear(image, 160, y));
        EXPECT_TRUE(clear(image, 300, y));
        EXPECT_TRUE(colorNear(pixelAt(image, 303, y), QColor(0, 0, 0, 255)));
        EXPECT_TRUE(colorNear(pixelAt(image, 319, y), QColor(0, 0, 0, 255)));
    }
}

TEST_F(OverlayViewTest, TwoThreeGridDividesThePictureBetweenTheBandsIntoNinths) {
    auto view = overlay(1, 1);
    QImage image = render(*view);
    // Vertical lines at 17.78 + 94.81 = 112.6 and 207.4; horizontal at 142.2 and 284.4.
    int v1 = strongestColumn(image, 200, 90, 130);
    int v2 = strongestColumn(image, 200, 190, 230);
    int h1 = strongestRow(image, 60, 120, 160);
    int h2 = strongestRow(image, 60, 260, 300);
    EXPECT_EQ(v1, 112);
    EXPECT_EQ(v2, 207);
    EXPECT_EQ(h1, 142);
    EXPECT_EQ(h2, 284);
    expectGridColour(image, v1, 200);
    expectGridColour(image, v2, 60);
    expectGridColour(image, 60, h1);
    expectGridColour(image, 250, h2);
    // Nothing else inside the picture.
    EXPECT_TRUE(clear(image, 60, 200));
    EXPECT_TRUE(clear(image, 160, 220));
    // The horizontal lines run across the picture only, not over the bands' outer parts.
    EXPECT_TRUE(colorNear(pixelAt(image, 5, h1), QColor(0, 0, 0, 255)));
}

TEST_F(OverlayViewTest, SquareFormatMasksTopAndBottomAndGridsTheSquare) {
    auto view = overlay(2, 1);
    QImage image = render(*view);
    // m = (426.67 - 320) / 2 = 53.33 points at top and bottom.
    EXPECT_TRUE(colorNear(pixelAt(image, 160, 0), QColor(0, 0, 0, 255)));
    EXPECT_TRUE(colorNear(pixelAt(image, 160, 51), QColor(0, 0, 0, 255)));
    EXPECT_TRUE(clear(image, 160, 55));
    EXPECT_TRUE(clear(image, 160, 371));
    EXPECT_TRUE(colorNear(pixelAt(image, 160, 374), QColor(0, 0, 0, 255)));
    EXPECT_TRUE(colorNear(pixelAt(image, 160, 424), QColor(0, 0, 0, 255)));
    EXPECT_TRUE(clear(image, 0, 200));
    EXPECT_TRUE(clear(image, 319, 200));
    // Ninths of the square: x 106.67 and 213.33, y 53.33 + 106.67 = 160 and 266.67.
    int v1 = strongestColumn(image, 120, 90, 125);
    int v2 = strongestColumn(image, 120, 195, 230);
    EXPECT_TRUE(v1 == 106 || v1 == 107) << v1;
    EXPECT_TRUE(v2 == 212 || v2 == 213) << v2;
    int h1 = strongestRow(image, 40, 140, 180);
    int h2 = strongestRow(image, 40, 250, 285);
    EXPECT_TRUE(h1 == 159 || h1 == 160) << h1;
    EXPECT_TRUE(h2 == 266 || h2 == 267) << h2;
    expectGridColour(image, v1, 120);
    expectGridColour(image, 40, h2);
}

TEST_F(OverlayViewTest, TranslucentBandsLetThePreviewShowThroughDimly) {
    // A white preview behind the overlay.
    auto preview = UIView::make(CGRectMake(0, 0, 320, 320.0f / 3 * 4));
    preview->setBackgroundColor(UIColor::whiteColor());
    auto opaque = overlay(2, 0, false);
    preview->addSubview(opaque);
    QImage dark = render(*preview);
    EXPECT_TRUE(colorNear(pixelAt(dark, 160, 20), QColor(0, 0, 0, 255)));
    EXPECT_TRUE(colorNear(pixelAt(dark, 160, 200), QColor(255, 255, 255, 255)));

    opaque->removeFromSuperview();
    auto translucent = overlay(2, 0, true);
    preview->addSubview(translucent);
    QImage dim = render(*preview);
    // Black at 0.85 over white leaves 15 % of it.
    EXPECT_TRUE(colorNear(pixelAt(dim, 160, 20), QColor(38, 38, 38, 255), 3));
    EXPECT_TRUE(colorNear(pixelAt(dim, 160, 400), QColor(38, 38, 38, 255), 3));
    EXPECT_TRUE(colorNear(pixelAt(dim, 160, 200), QColor(255, 255, 255, 255)));
}

TEST_F(OverlayViewTest, GridValuesOtherThanOneDrawNoGrid) {
    for (int32_t grid : {0, 2, -1}) {
        auto view = overlay(1, grid);
        QImage image = render(*view);
        for (int x = 18; x < 302; ++x) ASSERT_TRUE(clear(image, x, 200)) << grid << " x " << x;
        for (int y = 0; y < 426; ++y) ASSERT_TRUE(clear(image, 160, y)) << grid << " y " << y;
    }
}

TEST_F(OverlayViewTest, OtherFormatsHaveNoBandsAndTheGridSpansTheView) {
    for (int32_t aspect : {0, 3, 4}) {
        auto view = overlay(aspect, 1);
        QImage image = render(*view);
        EXPECT_TRUE(clear(image, 5, 20)) << aspect;
        EXPECT_TRUE(clear(image, 315, 420)) << aspect;
        int v1 = strongestColumn(image, 20, 90, 125);
        EXPECT_TRUE(v1 == 106 || v1 == 107) << aspect << " " << v1;
        int h1 = strongestRow(image, 20, 125, 160);
        EXPECT_TRUE(h1 == 141 || h1 == 142) << aspect << " " << h1;
    }
}

}  // namespace
}  // namespace hx::app

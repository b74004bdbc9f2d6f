// The rendered window, checked pixel by pixel.

#include <future>
#include <numbers>

#include <QPainter>

#include "platform/gpu/Device.h"
#include "platform/ui/controls/UIImageView.h"
#include "platform/ui/controls/UILabel.h"
#include "platform/ui/drawing/CGContext.h"
#include "platform/ui/host/HeadlessHost.h"
#include "platform/ui/host/UIRenderer.h"
#include "platform/ui/view/MTKView.h"
#include "platform/ui/window/UIWindow.h"
#include "tests/platform/ui/views/UITestSupport.h"
#include "tests/support/ScopedEnvironment.h"

namespace hx {
namespace {

using testing::colorNear;
using testing::pixelAt;
using testing::UITest;

const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kWhite(255, 255, 255);

class RenderTest : public UITest {
  protected:
    void SetUp() override {
        UITest::SetUp();
        window = UIWindow::make(CGRectMake(0, 0, 100, 100));
    }
    UIViewRef addView(CGRect frame, UIColor color, UIViewRef parent = nullptr) {
        auto view = UIView::make(frame);
        view->setBackgroundColor(color);
        (parent ? parent : UIViewRef(window))->addSubview(view);
        return view;
    }
    // At scale 2, so that one point is two pixels; sampled at the middle of a point.
    QColor at(const QImage& image, double x, double y) {
        return pixelAt(image, static_cast<int>(x * 2), static_cast<int>(y * 2));
    }
    QImage render() { return UIRenderer::renderWindow(*window, 2); }

    std::shared_ptr<UIWindow> window;
};

TEST_F(RenderTest, ViewsFillTheirFramesInOrder) {
    addView(CGRectMake(10, 10, 20, 20), UIColor::redColor());
    addView(CGRectMake(20, 20, 20, 20), UIColor::blueColor());
    QImage image = render();
    EXPECT_EQ(image.size(), QSize(200, 200));
    EXPECT_TRUE(colorNear(at(image, 15, 15), kRed));
    EXPECT_TRUE(colorNear(at(image, 25, 25), kBlue));  // the later view is on top
    EXPECT_TRUE(colorNear(at(image, 5, 5), kBlack));
    EXPECT_TRUE(colorNear(at(image, 35, 35), kBlue));
}

TEST_F(RenderTest, DefaultScaleIsTheScreens) {
    EXPECT_EQ(UIRenderer::renderWindow(*window).size(), QSize(300, 300));
}

TEST_F(RenderTest, AlphaCompositesAndHiddenViewsVanish) {
    addView(CGRectMake(0, 0, 50, 50), UIColor::whiteColor())->setAlpha(0.5);
    addView(CGRectMake(50, 0, 50, 50), UIColor::colorWithWhite(1, 0.25));
    addView(CGRectMake(0, 50, 50, 50), UIColor::redColor())->setHidden(true);
    QImage image = render();
    EXPECT_TRUE(colorNear(at(image, 25, 25), QColor(128, 128, 128)));
    EXPECT_TRUE(colorNear(at(image, 75, 25), QColor(64, 64, 64)));
    EXPECT_TRUE(colorNear(at(image, 25, 75), kBlack));
}

TEST_F(RenderTest, TranslucentViewFadesWithItsSubviewsAsOnePicture) {
    auto parent = addView(CGRectMake(0, 0, 60, 60), UIColor::whiteColor());
    addView(CGRectMake(0, 0, 30, 30), UIColor::whiteColor(), parent);
    parent->setAlpha(0.5);
    QImage image = render();
    // White on white seen at half strength: no brighter where the subview overlaps.
    EXPECT_TRUE(colorNear(at(image, 10, 10), QColor(128, 128, 128)));
    EXPECT_TRUE(colorNear(at(image, 45, 45), QColor(128, 128, 128)));
}

TEST_F(RenderTest, ClipsToBoundsCutsSubviews) {
    auto parent = addView(CGRectMake(10, 10, 40, 40), UIColor::blueColor());
    addView(CGRectMake(20, 20, 40, 40), UIColor::redColor(), parent);
    QImage image = render();
    EXPECT_TRUE(colorNear(at(image, 65, 65), kRed));  // spills out
    parent->setClipsToBounds(true);
    image = render();
    EXPECT_TRUE(colorNear(at(image, 65, 65), kBlack));
    EXPECT_TRUE(colorNear(at(image, 45, 45), kRed));
    EXPECT_TRUE(colorNear(at(image, 15, 15), kBlue));
}

TEST_F(RenderTest, CornerRadiusAndBorder) {
    auto hud = addView(CGRectMake(10, 10, 70, 70), UIColor::colorWithRed(1, 0, 0, 1));
    hud->layer().setCornerRadius(10);
    hud->layer().setBorderWidth(2);
    hud->layer().setBorderColor(UIColor::greenColor());
    QImage image = render();
    EXPECT_TRUE(colorNear(at(image, 10.5, 10.5), kBlack));  // outside the rounded corner
    EXPECT_TRUE(colorNear(at(image, 45, 10.5), kGreen));    // on the border
    EXPECT_TRUE(colorNear(at(image, 45, 45), kRed));
    EXPECT_TRUE(colorNear(at(image, 79.5, 45), kGreen));
}

TEST_F(RenderTest, CornerRadiusWithClippingRoundsTheContent) {
    auto frame = addView(CGRectMake(10, 10, 40, 40), UIColor::clearColor());
    frame->layer().setCornerRadius(20);
    frame->setClipsToBounds(true);
    addView(CGRectMake(0, 0, 40, 40), UIColor::whiteColor(), frame);
    QImage image = render();
    EXPECT_TRUE(colorNear(at(image, 11, 11), kBlack));
    EXPECT_TRUE(colorNear(at(image, 30, 30), kWhite));
}

TEST_F(RenderTest, TurnedViewIsDrawnTurned) {
    // 60 x 10 centred at (50, 50), turned upright: it covers x 45..55, y 20..80.
    auto bar = addView(CGRectMake(20, 45, 60, 10), UIColor::redColor());
    addView(CGRectMake(0, 0, 10, 10), UIColor::blueColor(), bar);  // its left end
    bar->setTransform(CGAffineTransformMakeRotation(std::numbers::pi / 2));
    QImage image = render();
    EXPECT_TRUE(colorNear(at(image, 50, 25), kBlue));  // the left end is now at the top
    EXPECT_TRUE(colorNear(at(image, 50, 70), kRed));
    EXPECT_TRUE(colorNear(at(image, 25, 50), kBlack));
}

TEST_F(RenderTest, AnimationIsDrawnWhereItIsNow) {
    auto view = addView(CGRectMake(0, 0, 100, 100), UIColor::whiteColor());
    view->setAlpha(0);
    UIView::animateWithDuration(
        1, 0, UIViewAnimationOptionCurveLinear, [&] { view->setAlpha(1); }, nullptr);
    advance(0.5);
    EXPECT_TRUE(colorNear(at(render(), 50, 50), QColor(128, 128, 128)));
    advance(0.5);
    EXPECT_TRUE(colorNear(at(render(), 50, 50), kWhite));
}

// Fills its left half with a colour chosen at drawing time; counts its drawings.
struct HalfView : UIView {
    using UIView::UIView;
    UIColor color = UIColor::blueColor();
    int draws = 0;
    CGAffineTransform textMatrix;
    void drawRect(const CGRect& rect) override {
        ++draws;
        CGContextRef context = UIGraphicsGetCurrentContext();
        CGContextSetTextMatrix(context, CGAffineTransformMakeScale(1, -1));
        textMatrix = CGContextGetTextMatrix(context);
        CGContextSetFillColorWithColor(context, color);
        CGContextFillRect(context, CGRectMake(0, 0, rect.size.width / 2, rect.size.height));
        CGContextSetRGBStrokeColor(context, 0, 1, 0, 1);
        CGContextSetLineWidth(context, 2);
        CGContextMoveToPoint(context, 0, 30);
        CGContextAddLineToPoint(context, rect.size.width, 30);
        CGContextStrokePath(context);
    }
};

TEST_F(RenderTest, DrawRectIsKeptUntilSetNeedsDisplay) {
    auto view = std::make_shared<HalfView>(CGRectMake(0, 0, 60, 60));
    window->addSubview(view);
    QImage image = render();
    EXPECT_TRUE(colorNear(at(image, 10, 10), kBlue));
    EXPECT_TRUE(colorNear(at(image, 50, 10), kBlack));
    EXPECT_TRUE(colorNear(at(image, 50, 30), kGreen));  // the stroked line
    EXPECT_EQ(view->textMatrix, CGAffineTransformMakeScale(1, -1));
    view->color = UIColor::redColor();
    image = render();
    EXPECT_TRUE(colorNear(at(image, 10, 10), kBlue));  // still the old drawing
    EXPECT_EQ(view->draws, 1);
    view->setNeedsDisplay();
    image = render();
    EXPECT_TRUE(colorNear(at(image, 10, 10), kRed));
    EXPECT_EQ(view->draws, 2);
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);  // only while drawing
}

TEST_F(RenderTest, ImageViewContentModes) {
    std::vector<uint8_t> pixels(20 * 10 * 3, 0);
    for (std::size_t i = 0; i < pixels.size(); i += 3) pixels[i] = 255;  // red
    auto image = UIImage::imageWithCGImage(
        image::Image::adopt(image::PixelFormat::RGB8, 20, 10, std::move(pixels)));
    auto view = std::make_shared<UIImageView>(CGRectMake(0, 0, 40, 40));
    view->setImage(image);
    view->setBackgroundColor(UIColor::blueColor());
    window->addSubview(view);

    view->setContentMode(UIViewContentMode::ScaleAspectFit);  // 40 x 20, centred
    QImage shot = render();
    EXPECT_TRUE(colorNear(at(shot, 20, 5), kBlue));
    EXPECT_TRUE(colorNear(at(shot, 20, 20), kRed));

    view->setContentMode(UIViewContentMode::ScaleAspectFill);  // 80 x 40, spills sideways
    view->setFrame(CGRectMake(30, 0, 40, 40));
    shot = render();
    EXPECT_TRUE(colorNear(at(shot, 20, 20), kRed));
    view->setClipsToBounds(true);
    shot = render();
    EXPECT_TRUE(colorNear(at(shot, 20, 20), kBlack));
    EXPECT_TRUE(colorNear(at(shot, 35, 20), kRed));

    EXPECT_EQ(UIImageView::imageRectForContentMode(UIViewContentMode::Center, {20, 10},
                                                   CGRectMake(0, 0, 40, 40)),
              CGRectMake(10, 15, 20, 10));
}

TEST_F(RenderTest, ImageOrientationTurnsThePicture) {
    // 2 x 1 pixels: red then blue. Turned right (clockwise) it stands 1 x 2, red on top.
    std::vector<uint8_t> pixels = {255, 0, 0, 0, 0, 255};
    auto cg = image::Image::adopt(image::PixelFormat::RGB8, 2, 1, std::move(pixels));
    auto turned = UIImage::imageWithCGImage(cg, 1, UIImageOrientation::Right);
    EXPECT_EQ(turned->size(), (CGSize{1, 2}));
    QImage q = turned->qimage();
    EXPECT_TRUE(colorNear(pixelAt(q, 0, 0), kRed));
    EXPECT_TRUE(colorNear(pixelAt(q, 0, 1), kBlue));
    auto retina = UIImage::imageWithCGImage(cg, 2);
    EXPECT_EQ(retina->size(), (CGSize{1, 0.5}));
}

TEST_F(RenderTest, LabelDrawsCentredText) {
    auto label = std::make_shared<UILabel>(CGRectMake(0, 30, 100, 40));
    label->setText("0 of 0");
    label->setFont(UIFont::boldSystemFontOfSize(20));
    label->setTextColor(UIColor::whiteColor());
    label->setTextAlignment(NSTextAlignment::Center);
    window->addSubview(label);
    QImage image = render();
    auto litColumns = [&](int x0, int x1) {
        int lit = 0;
        for (int x = x0; x < x1; ++x)
            for (int y = 60; y < 140; ++y) lit += qGray(image.pixel(x, y)) > 128;
        return lit;
    };
    EXPECT_EQ(litColumns(0, 20), 0);  // nothing at the far left
    EXPECT_EQ(litColumns(180, 200), 0);
    EXPECT_GT(litColumns(60, 140), 100);
    // Rendering twice gives the same pixels.
    EXPECT_EQ(image, render());
}

class GpuViewTest : public RenderTest {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        environment.set("HALIDEX_GPU", "cpu");
        device = gpu::createSystemDefaultDevice();
        ASSERT_TRUE(device);
    }
    testing::ScopedEnvironment environment;
    gpu::DeviceRef device;
};

// Clears the drawable to a colour and presents it.
struct ClearingDelegate : MTKViewDelegate {
    gpu::CommandQueueRef queue;
    std::shared_future<void> done;
    int sizeChanges = 0;
    void drawInMTKView(MTKView& view) override {
        auto pass = view.currentRenderPassDescriptor();
        auto drawable = view.currentDrawable();
        if (!pass || !drawable) return;
        auto buffer = queue->commandBuffer();
        auto encoder = buffer->renderCommandEncoderWithDescriptor(*pass);
        encoder->endEncoding();
        presentDrawable(*buffer, drawable);
        auto finished = std::make_shared<std::promise<void>>();
        done = finished->get_future().share();
        buffer->addCompletedHandler([finished](gpu::CommandBuffer&) { finished->set_value(); });
        buffer->commit();
    }
    void mtkView(MTKView&, CGSize) override { ++sizeChanges; }
};

TEST_F(GpuViewTest, DrawableIsTheViewSizeTimesItsScale) {
    auto view = std::make_shared<MTKView>(CGRectMake(0, 0, 40, 30), device);
    view->setContentScaleFactor(3);
    EXPECT_EQ(view->drawableSize(), (CGSize{120, 90}));
    EXPECT_EQ(view->colorPixelFormat(), gpu::PixelFormat::BGRA8Unorm);
    EXPECT_TRUE(view->framebufferOnly());
    ClearingDelegate delegate;
    delegate.queue = device->newCommandQueue();
    view->setDelegate(&delegate);
    view->draw();
    EXPECT_EQ(delegate.sizeChanges, 1);
    delegate.done.wait();
    auto texture = view->presentedTexture();
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->width(), 120u);
    EXPECT_EQ(texture->height(), 90u);
    view->setDelegate(nullptr);
}

TEST_F(GpuViewTest, DrawableIsCompositedUnderTheViewsAbove) {
    auto view = std::make_shared<MTKView>(CGRectMake(0, 0, 100, 60), device);
    view->setContentScaleFactor(2);
    view->setClearColor({0, 1, 0, 1});
    ClearingDelegate delegate;
    delegate.queue = device->newCommandQueue();
    view->setDelegate(&delegate);
    window->addSubview(view);
    auto label = std::make_shared<UILabel>(CGRectMake(0, 0, 100, 20));
    label->setBackgroundColor(UIColor::redColor());
    label->setText("Halidex");
    window->addSubview(label);

    QImage before = render();
    EXPECT_TRUE(colorNear(at(before, 50, 40), kBlack));  // nothing presented yet
    view->draw();
    delegate.done.wait();
    QImage image = render();
    EXPECT_TRUE(colorNear(at(image, 50, 40), kGreen));
    EXPECT_TRUE(colorNear(at(image, 95, 10), kRed));  // the label covers the drawable
    EXPECT_TRUE(colorNear(at(image, 50, 80), kBlack));
    view->setDelegate(nullptr);
}

TEST_F(GpuViewTest, DrawsContinuouslyWhileInAWindowAndNotPaused) {
    auto view = std::make_shared<MTKView>(CGRectMake(0, 0, 10, 10), device);
    ClearingDelegate delegate;
    delegate.queue = device->newCommandQueue();
    view->setDelegate(&delegate);
    advance(0.1);
    EXPECT_EQ(view->frameCount(), 0u);  // not in a window
    window->addSubview(view);
    advance(1.0);
    auto frames = view->frameCount();
    EXPECT_NEAR(static_cast<double>(frames), 60, 1);  // the display refresh
    view->setPaused(true);
    advance(1.0);
    EXPECT_EQ(view->frameCount(), frames);
    view->setPaused(false);
    view->setPreferredFramesPerSecond(30);
    advance(1.0);
    EXPECT_NEAR(static_cast<double>(view->frameCount() - frames), 30, 1);
    frames = view->frameCount();
    view->removeFromSuperview();
    advance(1.0);
    EXPECT_EQ(view->frameCount(), frames);
    if (delegate.done.valid()) delegate.done.wait();
    view->setDelegate(nullptr);
}

}  // namespace
}  // namespace hx

// The GPU view in a Qt window on a real display server (Xvfb, Mesa's llvmpipe): with the GL
// backend sharing textures with Qt, the window shows the drawable from its texture, the same
// picture as reading it back; without GL in Qt, or with the CPU backend, it reads back.
// The ctest entries set HALIDEX_GPU (and QT_XCB_GL_INTEGRATION) before Qt starts.

#include <cstdlib>
#include <future>
#include <memory>
#include <string>

#include <QApplication>
#include <QImage>
#include <QOpenGLWidget>
#include <QWidget>

#include "platform/gpu/PixelBuffer.h"
#include "platform/gpu/gl/GlPresentation.h"
#include "platform/ui/controls/UILabel.h"
#include "platform/ui/host/QtWindowHost.h"
#include "platform/ui/host/UIRenderer.h"
#include "platform/ui/view/MTKView.h"
#include "platform/ui/window/UIWindow.h"
#include "tests/platform/gpu/GpuTestSupport.h"
#include "tests/platform/ui/views/UITestSupport.h"

namespace hx {
namespace {

namespace gt = gpu::test;

constexpr int kDrawableWidth = 120, kDrawableHeight = 80;
constexpr double kViewX = 20, kViewY = 30;

// Copies an opaque test pattern into the drawable through a render pass, as the camera draws
// its preview.
struct PatternDelegate : MTKViewDelegate {
    gpu::TextureRef source;
    gpu::RenderPipelineStateRef pipeline;
    gpu::CommandBufferRef last;
    void drawInMTKView(MTKView& view) override {
        const gpu::RenderPassDescriptor* pass = view.currentRenderPassDescriptor();
        CAMetalDrawableRef drawable = view.currentDrawable();
        if (!pass || !drawable) return;
        last = gt::commitPass(drawable->texture(), gpu::LoadAction::Clear, {0, 0, 0, 1},
                              [&](gpu::RenderCommandEncoder& encoder) {
                                  gt::encodeQuad(encoder, pipeline, gt::makeQuad(), source);
                              });
        // The buffer is already committed: present once it completes, as presentDrawable would.
        last->waitUntilCompleted();
        drawable->present();
    }
};

// Every texel opaque: a GPU view's content is.
std::vector<uint8_t> opaquePattern() {
    std::vector<uint8_t> texels = gt::patternTexels(kDrawableWidth, kDrawableHeight, 7);
    for (size_t i = 3; i < texels.size(); i += 4) texels[i] = 255;
    return texels;
}

::testing::AssertionResult picturesAgree(const QImage& actual, const QImage& expected,
                                         int tolerance = 1) {
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure()
               << "sizes differ: " << actual.width() << "x" << actual.height() << " and "
               << expected.width() << "x" << expected.height();
    const QImage a = actual.convertToFormat(QImage::Format_RGB32);
    const QImage b = expected.convertToFormat(QImage::Format_RGB32);
    int worst = 0, wx = 0, wy = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int d = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q))});
            if (d > worst) worst = d, wx = x, wy = y;
        }
    }
    if (worst <= tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << wx << ", " << wy << ") differs by " << worst << ": "
           << testing::colorNear(QColor(a.pixel(wx, wy)), QColor(b.pixel(wx, wy)), tolerance)
                  .message();
}

class GpuViewWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* wanted = std::getenv("HX_UI_WINDOW_TESTS");
        const char* display = std::getenv("DISPLAY");
        if (!wanted || !display || !*display)
            GTEST_SKIP() << "needs a display: run under xvfb-run with HX_UI_WINDOW_TESTS=1";
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ASSERT_TRUE(ui::ensureQtApplication());
        RunLoop::main().bindToCurrentThread();
        RunLoop::main().discardPendingWork();
        DeviceProfile::setCurrent(*DeviceProfile::named("small-phone"));
        UIApplication::sharedApplication().resetForTesting();
    }
    void TearDown() override {
        if (view) view->setDelegate(nullptr);
        host.reset();
        RunLoop::main().discardPendingWork();
        DeviceProfile::resetCurrent();
        gt::useBackend("cpu");
    }

    // A window with a GPU view on `backend`, a label across its top edge and a translucent bar
    // over its lower part, shown at one pixel per point; the view has drawn one frame.
    void showWindow(const std::string& backend, UIViewRef parentOfView = nullptr,
                    double contentScale = 1) {
        gt::useBackend(backend);
        gpu::DeviceRef device = gt::testDevice();
        ASSERT_TRUE(device) << "no " << backend << " device";
        window = UIWindow::make(CGRectMake(0, 0, 200, 150));
        window->setBackgroundColor(UIColor::colorWithRed(0.2, 0.3, 0.4, 1));
        view = std::make_shared<MTKView>(
            CGRectMake(kViewX, kViewY, kDrawableWidth, kDrawableHeight), device);
        view->setContentScaleFactor(contentScale);
        view->setPaused(true);
        (parentOfView ? parentOfView : UIViewRef(window))->addSubview(view);
        auto label = std::make_shared<UILabel>(CGRectMake(10, 20, 90, 20));
        label->setBackgroundColor(UIColor::redColor());
        label->setText("Halidex");
        window->addSubview(label);
        auto bar = UIView::make(CGRectMake(0, 90, 200, 15));
        bar->setBackgroundColor(UIColor::colorWithRed(0, 0, 0, 0.5));
        window->addSubview(bar);

        // Drawn over the whole drawable, whatever its size.
        delegate.source = gt::makeSource(gpu::PixelFormat::BGRA8Unorm, kDrawableWidth,
                                         kDrawableHeight, opaquePattern());
        delegate.pipeline = gt::makePipeline(gt::kCopyFragment, gpu::PixelFormat::BGRA8Unorm);
        ASSERT_TRUE(delegate.source && delegate.pipeline);
        view->setDelegate(&delegate);
        view->draw();
        ASSERT_TRUE(view->presentedTexture());

        host = std::make_unique<QtWindowHost>(window);
        host->setZoom(1);
        host->show();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible()) widget = w;
        ASSERT_NE(widget, nullptr);
    }

    // What the window shows: the GL surface's framebuffer, or the widget's own picture.
    QImage shown() {
        if (QOpenGLWidget* surface = host->glSurface()) return surface->grabFramebuffer();
        return widget->grab().toImage();
    }

    // The pattern texel the window pixel (x, y) over the view shows.
    static QColor patternAt(int x, int y) {
        static const std::vector<uint8_t> texels = opaquePattern();
        gt::Rgba c = gt::texelAt(texels, gpu::PixelFormat::BGRA8Unorm, kDrawableWidth,
                                 size_t(x - kViewX), size_t(y - kViewY));
        return QColor(c.r, c.g, c.b);
    }

    // The uncovered part of the view shows the pattern texel for texel, upright.
    static void expectPattern(const QImage& picture) {
        for (int y = 45; y < 85; y += 3)
            for (int x = 25; x < 135; x += 5)
                ASSERT_TRUE(testing::colorNear(testing::pixelAt(picture, x, y), patternAt(x, y), 1))
                    << "at (" << x << ", " << y << ")";
    }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<MTKView> view;
    PatternDelegate delegate;
    std::unique_ptr<QtWindowHost> host;
    QWidget* widget = nullptr;
};

// ---- run with HALIDEX_GPU=gl and Qt drawing with GL

using GlWindowTest = GpuViewWindowTest;

TEST_F(GlWindowTest, ShowsTheDrawableFromItsTextureAsTheReadBackWould) {
    showWindow("gl");
    ASSERT_NE(host->glSurface(), nullptr) << "Qt did not share its GL context";
    const QImage direct = shown();
    EXPECT_GE(view->directCount(), 1u);
    EXPECT_EQ(view->readBackCount(), 0u) << "the window read the drawable back";
    expectPattern(direct);
    // The label and the translucent bar stay over the drawable.
    EXPECT_TRUE(testing::colorNear(testing::pixelAt(direct, 98, 38), QColor(255, 0, 0), 1));
    const QColor under = patternAt(60, 95);
    EXPECT_TRUE(testing::colorNear(testing::pixelAt(direct, 60, 95),
                                   QColor(under.red() / 2, under.green() / 2, under.blue() / 2),
                                   1));

    // Grabbing the whole window, as screenshots of it do, gives the GL surface's picture.
    EXPECT_TRUE(picturesAgree(widget->grab().toImage(), direct));

    // The read-back path, in the same window, and the CPU backend's window give the same picture.
    const QImage readBack = UIRenderer::renderWindow(*window, 1);
    EXPECT_EQ(view->readBackCount(), 1u);
    EXPECT_TRUE(picturesAgree(direct, readBack));
    view->setDelegate(nullptr);
    host.reset();
    showWindow("cpu");
    EXPECT_TRUE(picturesAgree(direct, UIRenderer::renderWindow(*window, 1)));
}

TEST_F(GlWindowTest, ShowsEachNewFrame) {
    showWindow("gl");
    ASSERT_NE(host->glSurface(), nullptr);
    const QImage first = shown();
    // A new pattern in the next frames: each picture shows the frame presented last.
    for (int frame = 0; frame < 3; ++frame) {
        std::vector<uint8_t> texels =
            gt::patternTexels(kDrawableWidth, kDrawableHeight, 20 + frame);
        for (size_t i = 3; i < texels.size(); i += 4) texels[i] = 255;
        delegate.source =
            gt::makeSource(gpu::PixelFormat::BGRA8Unorm, kDrawableWidth, kDrawableHeight, texels);
        view->draw();
        const QImage picture = shown();
        gt::Rgba c = gt::texelAt(texels, gpu::PixelFormat::BGRA8Unorm, kDrawableWidth, 40, 30);
        EXPECT_TRUE(
            testing::colorNear(testing::pixelAt(picture, int(kViewX) + 40, int(kViewY) + 30),
                               QColor(c.r, c.g, c.b), 1))
            << "frame " << frame;
        EXPECT_TRUE(picturesAgree(picture, UIRenderer::renderWindow(*window, 1)));
    }
    EXPECT_GE(view->directCount(), 4u);
    EXPECT_FALSE(picturesAgree(first, shown()));
}

// A drawable of another size than the view's pixels (the camera's is the view at the phone's
// scale, shown in a smaller window) is smoothed by both paths; the read-back path's raster
// smoothing weighs neighbours in coarser steps than the GPU's, so the pictures agree within 3.
TEST_F(GlWindowTest, ScaledDrawablesAreSmoothedAsTheReadBackIs) {
    for (double scale : {2.0, 3.0, 0.5}) {
        showWindow("gl", nullptr, scale);
        ASSERT_NE(host->glSurface(), nullptr);
        const QImage direct = shown();
        EXPECT_EQ(view->readBackCount(), 0u);
        EXPECT_TRUE(picturesAgree(direct, UIRenderer::renderWindow(*window, 1), 3))
            << "content scale " << scale;
        view->setDelegate(nullptr);
        host.reset();
    }
}

TEST_F(GlWindowTest, ViewsInATranslucentGroupAreReadBack) {
    // A half-transparent group fades as one picture, which a hole in the window cannot show.
    auto group = UIView::make(CGRectMake(0, 0, 200, 150));
    group->setAlpha(0.5);
    auto marker = UIView::make(CGRectMake(150, 120, 10, 10));
    marker->setBackgroundColor(UIColor::whiteColor());
    group->addSubview(marker);
    showWindow("gl", group);
    window->insertSubview(group, 0);
    ASSERT_NE(host->glSurface(), nullptr);
    const QImage picture = shown();
    EXPECT_EQ(view->directCount(), 0u);
    EXPECT_EQ(view->readBackCount(), 1u);
    EXPECT_TRUE(picturesAgree(picture, UIRenderer::renderWindow(*window, 1)));
}

TEST_F(GlWindowTest, CpuBackendDrawablesAreReadBackInTheGlWindow) {
    showWindow("cpu");
    ASSERT_NE(host->glSurface(), nullptr);
    const QImage picture = shown();
    EXPECT_EQ(view->directCount(), 0u);
    EXPECT_EQ(view->readBackCount(), 1u);
    expectPattern(picture);
    EXPECT_TRUE(picturesAgree(picture, UIRenderer::renderWindow(*window, 1)));
}

TEST_F(GlWindowTest, OnlyTexturesOfSharingDevicesArePresentable) {
    gt::useBackend("gl");
    ASSERT_TRUE(gt::testDevice());
    auto shared = gt::makeTarget(gpu::PixelFormat::BGRA8Unorm, 4, 4);
    EXPECT_NE(gpu::gl::presentableTextureName(*shared), 0u);
    EXPECT_EQ(gpu::describeDevice(*gt::testDevice()).platform, "window");
    gpu::PixelBufferRef buffer;
    ASSERT_EQ(
        gpu::PixelBuffer::create(16, 4, gpu::PixelFormatType32BGRA, {true, true, true}, &buffer),
        gpu::VideoStatusSuccess);
    auto overBuffer =
        gt::testDevice()->newTextureOverPixelBuffer(buffer, gpu::PixelFormat::BGRA8Unorm, 4, 4, 0);
    ASSERT_TRUE(overBuffer);
    EXPECT_EQ(gpu::gl::presentableTextureName(*overBuffer), 0u);
    gt::useBackend("cpu");
    auto cpuTexture = gt::makeTarget(gpu::PixelFormat::BGRA8Unorm, 4, 4);
    EXPECT_EQ(gpu::gl::presentableTextureName(*cpuTexture), 0u);
    // A GL device made on its own, not in Qt's share group.
    std::string error;
    gpu::gl::PresentationContext window = gpu::gl::presentationContext();
    gpu::gl::setPresentationContext(nullptr, nullptr);
    auto alone = gpu::createDevice("gl", &error);
    gpu::gl::setPresentationContext(window.display, window.context);
    ASSERT_TRUE(alone) << error;
    EXPECT_NE(gpu::describeDevice(*alone).platform, "window");
    auto separate = alone->newTextureWithDescriptor(
        gpu::TextureDescriptor::texture2D(gpu::PixelFormat::BGRA8Unorm, 4, 4));
    ASSERT_TRUE(separate);
    EXPECT_EQ(gpu::gl::presentableTextureName(*separate), 0u);
}

// ---- run where the window cannot show GL textures: Qt without GL, or the CPU backend

using ReadBackWindowTest = GpuViewWindowTest;

TEST_F(ReadBackWindowTest, WindowReadsTheDrawableBack) {
    const char* backend = std::getenv("HALIDEX_GPU");
    showWindow(backend && std::string(backend) == "gl" ? "gl" : "cpu");
    EXPECT_EQ(host->glSurface(), nullptr);
    EXPECT_EQ(gpu::gl::presentationContext().context, nullptr);
    const QImage picture = shown();
    EXPECT_EQ(view->directCount(), 0u);
    EXPECT_EQ(view->readBackCount(), 1u);
    expectPattern(picture);
    EXPECT_TRUE(picturesAgree(picture, UIRenderer::renderWindow(*window, 1)));
}

}  // namespace
}  // namespace hx

// The live preview: camera frames wrapped as textures without a copy and drawn through the
// current film into the GPU view, one frame in flight; and the point clamp of the frame modes.

#include <algorithm>

#include "app/camera/hxViewController.h"
#include "platform/gpu/PixelBuffer.h"
#include "platform/log/Log.h"
#include "platform/runloop/Clock.h"
#include "platform/ui/window/UIScreen.h"

namespace hx::app {

namespace {

gpu::RenderPipelineStateRef buildPipeline(gpu::Device& device, gpu::RenderPipelineDescriptor& d,
                                          bool report) {
    std::string error;
    gpu::RenderPipelineStateRef pipeline = device.newRenderPipelineStateWithDescriptor(d, &error);
    if (!pipeline && report) hxLog("Failed to create pipeline state, error %s", error.c_str());
    return pipeline;
}

}  // namespace

void hxViewController::setupView() {
    film::hxFilmRenderer& film = filmRenderer();
    film.channelMixerValue = {0.3f, 0.6f, 0.1f};

    semaphore = std::make_shared<Semaphore>(1);

    // The preview shares the film renderer's device, so its tone and lookup textures bind here.
    metaldevice = film.metaldevice;
    gpu::LibraryRef library = metaldevice->newDefaultLibrary();
    gpu::FunctionRef mapTexture, displayTexture, displayColorTexture, preDisplayTexture;
    if (library) {
        displayTexture = library->newFunctionWithName(film::kDisplayTexture);
        mapTexture = library->newFunctionWithName(film::kMapTexture);
        displayColorTexture = library->newFunctionWithName(film::kDisplayColorTexture);
        preDisplayTexture = library->newFunctionWithName(film::kPreDisplayTexture);
    }
    commandQueue = metaldevice->newCommandQueue();

    gpu::RenderPipelineDescriptor descriptor;
    descriptor.label = film::kRenderPipeline;
    descriptor.vertexFunction = mapTexture;
    descriptor.fragmentFunction = displayTexture;
    descriptor.colorAttachments[0].pixelFormat = gpu::PixelFormat::BGRA8Unorm;
    descriptor.rasterSampleCount = 1;
    renderPipelineState = buildPipeline(*metaldevice, descriptor, true);

    gpu::RenderPipelineDescriptor colorDescriptor;
    colorDescriptor.label = film::kRenderColorPipeline;
    colorDescriptor.vertexFunction = mapTexture;
    colorDescriptor.fragmentFunction = displayColorTexture;
    colorDescriptor.colorAttachments[0].pixelFormat = gpu::PixelFormat::BGRA8Unorm;
    colorDescriptor.rasterSampleCount = 1;
    renderColorPipelineState = buildPipeline(*metaldevice, colorDescriptor, true);

    UIScreen& screen = UIScreen::mainScreen();
    CGRect frame = previewFrame();
    metalView = std::make_shared<MTKView>(frame, metaldevice);
    metalView->setDelegate(this);
    metalView->setFramebufferOnly(true);
    metalView->setColorPixelFormat(gpu::PixelFormat::BGRA8Unorm);
    metalView->setContentScaleFactor(screen.scale());
    // The layout brings the controls in front of the preview.
    view()->addSubview(metalView);

    // The softening pass runs at the view's size in points; the main pass samples it back up.
    CGRect viewFrame = metalView->frame();
    size_t preWidth = std::max<size_t>(1, size_t(viewFrame.size.width));
    size_t preHeight = std::max<size_t>(1, size_t(viewFrame.size.height));
    gpu::TextureDescriptor preDescriptor =
        gpu::TextureDescriptor::texture2D(gpu::PixelFormat::RGBA8Unorm, preWidth, preHeight);
    preDescriptor.usage = gpu::TextureUsageShaderRead | gpu::TextureUsageRenderTarget;
    preTexture = metaldevice->newTextureWithDescriptor(preDescriptor);

    prePassDescriptor = {};
    prePassDescriptor.colorAttachments[0].texture = preTexture;
    prePassDescriptor.colorAttachments[0].loadAction = gpu::LoadAction::Clear;
    prePassDescriptor.colorAttachments[0].clearColor = {1, 1, 1, 1};
    prePassDescriptor.colorAttachments[0].storeAction = gpu::StoreAction::Store;

    descriptor.label = film::kOffscreenRenderPipeline;
    descriptor.vertexFunction = mapTexture;
    descriptor.fragmentFunction = preDisplayTexture;
    descriptor.colorAttachments[0].pixelFormat =
        preTexture ? preTexture->pixelFormat() : gpu::PixelFormat::RGBA8Unorm;
    preRenderPipelineState = buildPipeline(*metaldevice, descriptor, false);
    previewDirty_ = true;
}

void hxViewController::captureOutputDidOutputSampleBuffer(capture::CaptureOutput&,
                                                          const capture::SampleBufferRef& sample,
                                                          capture::CaptureConnection&) {
    // While a photo is being rendered the preview stays on its last frame.
    if (_process) return;
    if (_overlayView) _overlayView->setNeedsDisplay();
    if (!_drawGL) return;

    gpu::PixelBufferRef buffer = capture::CMSampleBufferGetImageBuffer(sample);
    if (!buffer || !metaldevice) return;
    buffer->lockBaseAddress();
    size_t width = buffer->width();
    size_t height = buffer->height();

    // A cache per frame: making one only records the device, so it costs nothing per frame.
    gpu::VideoTextureCacheRef cache;
    gpu::VideoStatus status = gpu::VideoTextureCache::create(metaldevice, &cache);
    if (status != gpu::VideoStatusSuccess) hxLog("CVMetalTextureCacheCreate %d", int(status));
    gpu::VideoTextureRef videoTexture;
    if (cache) {
        status = cache->createTextureFromImage(buffer, gpu::PixelFormat::BGRA8Unorm, width, height,
                                               0, &videoTexture);
        if (status != gpu::VideoStatusSuccess)
            hxLog("CVMetalTextureCacheCreateTextureFromImage %d", int(status));
    }
    texture.reset();
    if (videoTexture) {
        texture = videoTexture->texture();
        previewDirty_ = true;
    }
    buffer->unlockBaseAddress();
}

void hxViewController::drawInMTKView(MTKView& view) {
    // The view refreshes faster than the camera delivers: draw only a new frame or a new film,
    // the view keeps showing what it presented last.
    if (!previewDirty_ || !semaphore) return;
    // One frame in flight. Waiting here would stall the main thread that delivers the camera's
    // frames; the newest frame is drawn at the next refresh instead.
    if (!semaphore->waitFor(0)) {
        ++previewFramesDropped_;
        return;
    }
    drawPreviewFrame(view);
}

void hxViewController::drawPreviewFrame(MTKView& view) {
    CAMetalDrawableRef drawable = view.currentDrawable();
    const gpu::RenderPassDescriptor* pass = view.currentRenderPassDescriptor();
    bool color = _currentFilm > 8;
    gpu::RenderPipelineStateRef mainPipeline =
        color ? renderColorPipelineState : renderPipelineState;
    if (!drawable || !pass || !mainPipeline || !commandQueue) {
        semaphore->signal();
        return;
    }
    gpu::CommandBufferRef commandBuffer = commandQueue->commandBuffer();

    film::hxFilmRenderer& film = filmRenderer();
    film::FilmRenderState state = film.renderState();
    double scale = UIScreen::mainScreen().scale();
    CGRect frame = view.frame();
    float texelWidth = float(1.0 / (frame.size.width * scale));
    float texelHeight = float(1.0 / (frame.size.height * scale));
    const film::TexCoordTable& texCoords =
        _currentCameraPosition == kPositionFront ? film::texCoordsMirrorU : film::texCoordsUpright;

    film::FilmPasses passes;
    passes.parameters =
        film::PassParameters::make(*metaldevice, state, texCoords, texelWidth, texelHeight);
    passes.blur = state.blurFlag && preTexture && preRenderPipelineState;
    passes.color = color;
    passes.source = texture;
    passes.table = color ? film.lookup2DTexture : film.contrastTexture;
    passes.prePipeline = preRenderPipelineState;
    passes.mainPipeline = mainPipeline;
    passes.prePass = prePassDescriptor;
    passes.mainPass = *pass;
    film::encodeFilmPasses(*commandBuffer, passes);

    std::shared_ptr<Semaphore> inFlight = semaphore;
    commandBuffer->addScheduledHandler([inFlight](gpu::CommandBuffer&) { inFlight->signal(); });
    presentDrawable(*commandBuffer, drawable);
    commandBuffer->commit();
    // On the manual clock (scripts, tests) time stands still until it is moved, so a frame is
    // finished before the clock moves on: what the screen shows at any moment of the clock is
    // then the same on every run.
    if (Clock::isManual()) commandBuffer->waitUntilCompleted();
    previewDirty_ = false;
    ++previewFramesDrawn_;
}

CGPoint hxViewController::checkBounds(CGPoint point) const {
    const double margin = 30;
    double w = _previewWidth, h = _previewHeight;
    auto clamp = [](double v, double low, double high) {
        if (v > high) return high;
        if (v < low) return low;
        return v;
    };
    switch (_currentFrame) {
        case 0:
            point.x = clamp(point.x, margin, w - margin);
            point.y = clamp(point.y, margin, h - margin);
            break;
        case 1: {
            double m = (w - 2 * h / 3) / 2;
            point.x = clamp(point.x, m + margin, w - margin - m);
            point.y = clamp(point.y, margin, h - margin);
            break;
        }
        case 2: {
            double inset = (h - w) / 2;
            point.x = clamp(point.x, margin, w - margin);
            point.y = clamp(point.y, inset + margin, h - margin - inset);
            break;
        }
        default:
            break;
    }
    return point;
}

}  // namespace hx::app

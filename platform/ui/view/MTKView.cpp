#include "platform/ui/view/MTKView.h"

#include <algorithm>
#include <cmath>

#include <QImage>
#include <QPainter>

#include "platform/runloop/Timer.h"
#include "platform/ui/drawing/CGContext.h"
#include "platform/ui/view/DrawableComposition.h"
#include "platform/ui/window/UIWindow.h"

namespace hx {

namespace {
DrawableComposition* activeComposition = nullptr;
}  // namespace

DrawableComposition* DrawableComposition::active() {
    return activeComposition;
}

DrawableComposition::Scope::Scope(DrawableComposition& composition, QPaintDevice* target)
    : previous_(activeComposition) {
    composition.target_ = target;
    activeComposition = &composition;
}

DrawableComposition::Scope::~Scope() {
    activeComposition = previous_;
}

struct MTKView::ImageCache {
    std::uint64_t generation = 0;
    QImage image;
};

CAMetalDrawable::CAMetalDrawable(gpu::TextureRef texture,
                                 std::shared_ptr<PresentedDrawableSlot> slot)
    : texture_(std::move(texture)), slot_(std::move(slot)) {}

void CAMetalDrawable::present() {
    std::lock_guard lock(slot_->mutex);
    slot_->texture = texture_;
    ++slot_->generation;
}

void presentDrawable(gpu::CommandBuffer& commandBuffer, const CAMetalDrawableRef& drawable) {
    if (!drawable) return;
    commandBuffer.addCompletedHandler([drawable](gpu::CommandBuffer& buffer) {
        if (buffer.status() == gpu::CommandBufferStatus::Completed) drawable->present();
    });
}

MTKView::MTKView(const CGRect& frame, gpu::DeviceRef device)
    : UIView(frame), device_(std::move(device)), imageCache_(std::make_unique<ImageCache>()) {}

MTKView::~MTKView() {
    if (timer_) timer_->invalidate();
}

void MTKView::setDevice(gpu::DeviceRef device) {
    device_ = std::move(device);
    texturePool_.clear();
}

void MTKView::setColorPixelFormat(gpu::PixelFormat format) {
    if (format == colorPixelFormat_) return;
    colorPixelFormat_ = format;
    texturePool_.clear();
}

CGSize MTKView::drawableSize() const {
    if (!autoResizeDrawable_) return explicitDrawableSize_;
    double scale = contentScaleFactor();
    return {std::round(bounds().width() * scale), std::round(bounds().height() * scale)};
}

void MTKView::setDrawableSize(const CGSize& size) {
    explicitDrawableSize_ = size;
    autoResizeDrawable_ = false;
}

void MTKView::setPreferredFramesPerSecond(int fps) {
    preferredFramesPerSecond_ = std::clamp(fps, 1, 240);
    updateTimer();
}

void MTKView::setPaused(bool paused) {
    paused_ = paused;
    updateTimer();
}

void MTKView::didMoveToWindow() {
    updateTimer();
}

void MTKView::updateTimer() {
    bool shouldRun = window() && !paused_;
    if (!shouldRun) {
        if (timer_) timer_->invalidate();
        timer_.reset();
        return;
    }
    if (timer_ && timer_->isValid()) {
        if (std::abs(timer_->interval() - 1.0 / preferredFramesPerSecond_) < 1e-9) return;
        timer_->invalidate();
    }
    std::weak_ptr<UIView> weak = weak_from_this();
    timer_ = Timer::scheduled(1.0 / preferredFramesPerSecond_, true, [weak](Timer&) {
        if (auto self = std::static_pointer_cast<MTKView>(weak.lock())) self->draw();
    });
}

gpu::TextureRef MTKView::takeTexture(std::size_t width, std::size_t height) {
    std::erase_if(texturePool_, [&](const gpu::TextureRef& t) {
        return t->width() != width || t->height() != height;
    });
    gpu::TextureRef shown = presentedTexture();
    // A texture nobody else holds is free again: not on screen, not in a command buffer.
    for (auto& texture : texturePool_) {
        if (texture != shown && texture.use_count() == 1) return texture;
    }
    auto descriptor = gpu::TextureDescriptor::texture2D(colorPixelFormat_, width, height);
    descriptor.usage = gpu::TextureUsageRenderTarget | gpu::TextureUsageShaderRead;
    gpu::TextureRef texture = device_->newTextureWithDescriptor(descriptor);
    if (texture) texturePool_.push_back(texture);
    return texture;
}

CAMetalDrawableRef MTKView::currentDrawable() {
    if (currentDrawable_) return currentDrawable_;
    if (!device_) return nullptr;
    CGSize size = drawableSize();
    if (size.width < 1 || size.height < 1) return nullptr;
    gpu::TextureRef texture =
        takeTexture(static_cast<std::size_t>(size.width), static_cast<std::size_t>(size.height));
    if (!texture) return nullptr;
    currentDrawable_ = std::make_shared<CAMetalDrawable>(texture, presented_);
    return currentDrawable_;
}

const gpu::RenderPassDescriptor* MTKView::currentRenderPassDescriptor() {
    if (currentPass_) return &*currentPass_;
    CAMetalDrawableRef drawable = currentDrawable();
    if (!drawable) return nullptr;
    gpu::RenderPassDescriptor pass;
    pass.colorAttachments[0].texture = drawable->texture();
    pass.colorAttachments[0].loadAction = gpu::LoadAction::Clear;
    pass.colorAttachments[0].storeAction = gpu::StoreAction::Store;
    pass.colorAttachments[0].clearColor = clearColor_;
    currentPass_ = pass;
    return &*currentPass_;
}

void MTKView::draw() {
    if (!delegate_ || inDraw_) return;
    auto keep = weak_from_this().lock();
    inDraw_ = true;
    CGSize size = drawableSize();
    if (size != lastDrawableSize_) {
        lastDrawableSize_ = size;
        delegate_->mtkView(*this, size);
    }
    delegate_->drawInMTKView(*this);
    currentDrawable_.reset();
    currentPass_.reset();
    ++frameCount_;
    inDraw_ = false;
}

gpu::TextureRef MTKView::presentedTexture(std::uint64_t* generation) const {
    std::lock_guard lock(presented_->mutex);
    if (generation) *generation = presented_->generation;
    return presented_->texture;
}

void MTKView::drawContent(CGContext& context) {
    std::uint64_t generation = 0;
    gpu::TextureRef texture = presentedTexture(&generation);
    if (!texture) return;
    CGRect b = bounds();
    QPainter& painter = context.painter();
    // Straight into the window's picture, upright and opaque: the compositor draws the drawable
    // under a transparent hole in the picture. Views drawn later cover the hole as they would
    // cover the drawable, and the painter's clip shapes the hole as it would the drawable.
    DrawableComposition* composition = DrawableComposition::active();
    const QTransform toDevice = painter.worldTransform();
    if (composition && painter.device() == composition->target() &&
        toDevice.type() <= QTransform::TxScale && toDevice.m11() > 0 && toDevice.m22() > 0 &&
        painter.opacity() >= 1 && composition->canShow(*texture)) {
        const QRectF area(b.minX(), b.minY(), b.width(), b.height());
        painter.save();
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.fillRect(area, Qt::black);
        painter.restore();
        const QRectF pixels = toDevice.mapRect(area);
        composition->add(
            {texture, CGRectMake(pixels.x(), pixels.y(), pixels.width(), pixels.height())});
        ++directs_;
        return;
    }
    if (generation != imageCache_->generation || imageCache_->image.isNull()) {
        QImage::Format format = QImage::Format_Invalid;
        switch (texture->pixelFormat()) {
            case gpu::PixelFormat::BGRA8Unorm:
                format = QImage::Format_ARGB32;  // B, G, R, A in memory on little-endian
                break;
            case gpu::PixelFormat::RGBA8Unorm:
                format = QImage::Format_RGBA8888;
                break;
            case gpu::PixelFormat::R8Unorm:
                format = QImage::Format_Grayscale8;
                break;
            default:
                return;
        }
        auto width = static_cast<int>(texture->width());
        auto height = static_cast<int>(texture->height());
        QImage image(width, height, format);
        texture->getBytes(image.bits(), static_cast<std::size_t>(image.bytesPerLine()),
                          gpu::Region::make2D(0, 0, texture->width(), texture->height()), 0);
        ++readBacks_;
        imageCache_->image = std::move(image);
        imageCache_->generation = generation;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(b.minX(), b.minY(), b.width(), b.height()), imageCache_->image);
    painter.restore();
}

}  // namespace hx

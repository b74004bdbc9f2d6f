#pragma once
// The GPU view: a view whose content is drawn by the GPU layer (platform/gpu) into a drawable
// texture of the view's size times its content scale factor. While it is in a window and not
// paused it asks its delegate to draw once per display refresh, on a run-loop timer; the
// renderer composites the last presented drawable under the views above it: by reading it back
// into an image, or, in a window whose compositor shares the GPU's textures, by letting the
// compositor draw the drawable itself (DrawableComposition.h).
//
// Drawing: in drawInMTKView(), take currentDrawable() and currentRenderPassDescriptor() (which
// renders into that drawable, cleared to clearColor()), encode, then call
// presentDrawable(commandBuffer, drawable) before committing. The drawable is shown once the
// command buffer has completed.
//
// Threads: main thread only, except that a presented drawable is handed over from the GPU
// layer's completion thread under a lock.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/gpu/CommandBuffer.h"
#include "platform/gpu/Device.h"
#include "platform/gpu/RenderPass.h"
#include "platform/ui/view/UIView.h"

namespace hx {

class MTKView;
class Timer;

class MTKViewDelegate {
  public:
    virtual ~MTKViewDelegate() = default;
    virtual void drawInMTKView(MTKView& view) = 0;
    virtual void mtkView(MTKView& view, CGSize drawableSizeWillChange) {}
};

// Where a view's presented drawable is handed over; shared by the view and its drawables so
// that presenting from the GPU layer's completion thread never touches the view itself.
struct PresentedDrawableSlot {
    std::mutex mutex;
    gpu::TextureRef texture;
    std::uint64_t generation = 0;
};

// A texture that can be shown by its view once rendered.
class CAMetalDrawable {
  public:
    const gpu::TextureRef& texture() const { return texture_; }
    // Shows this drawable in its view now (normally via presentDrawable()). Any thread.
    void present();

    CAMetalDrawable(gpu::TextureRef texture, std::shared_ptr<PresentedDrawableSlot> slot);

  private:
    gpu::TextureRef texture_;
    std::shared_ptr<PresentedDrawableSlot> slot_;
};
using CAMetalDrawableRef = std::shared_ptr<CAMetalDrawable>;

// Presents the drawable once the command buffer has completed.
void presentDrawable(gpu::CommandBuffer& commandBuffer, const CAMetalDrawableRef& drawable);

class MTKView : public UIView {
  public:
    MTKView(const CGRect& frame, gpu::DeviceRef device);
    ~MTKView() override;

    const gpu::DeviceRef& device() const { return device_; }
    void setDevice(gpu::DeviceRef device);
    // Non-owning; the delegate clears itself (setDelegate(nullptr)) before it goes.
    MTKViewDelegate* delegate() const { return delegate_; }
    void setDelegate(MTKViewDelegate* delegate) { delegate_ = delegate; }

    gpu::PixelFormat colorPixelFormat() const { return colorPixelFormat_; }
    void setColorPixelFormat(gpu::PixelFormat format);
    bool framebufferOnly() const { return framebufferOnly_; }
    void setFramebufferOnly(bool only) { framebufferOnly_ = only; }
    gpu::ClearColor clearColor() const { return clearColor_; }
    void setClearColor(gpu::ClearColor color) { clearColor_ = color; }

    // Pixels: bounds size times the content scale factor, while autoResizeDrawable is on.
    CGSize drawableSize() const;
    void setDrawableSize(const CGSize& size);
    bool autoResizeDrawable() const { return autoResizeDrawable_; }
    void setAutoResizeDrawable(bool resize) { autoResizeDrawable_ = resize; }

    int preferredFramesPerSecond() const { return preferredFramesPerSecond_; }
    void setPreferredFramesPerSecond(int fps);
    bool isPaused() const { return paused_; }
    void setPaused(bool paused);
    // Recorded for callers; a paused view draws only when draw() is called.
    bool enableSetNeedsDisplay() const { return enableSetNeedsDisplay_; }
    void setEnableSetNeedsDisplay(bool enable) { enableSetNeedsDisplay_ = enable; }

    // The drawable of the frame being drawn: made on first request and let go when draw()
    // ends, so each frame gets its own. Null without a device or with a zero drawable size.
    CAMetalDrawableRef currentDrawable();
    // A pass into the current drawable (clear to clearColor(), store); null when there is none.
    const gpu::RenderPassDescriptor* currentRenderPassDescriptor();

    // Asks the delegate to draw one frame now.
    void draw();
    // How many frames the delegate was asked to draw.
    std::uint64_t frameCount() const { return frameCount_; }

    // The texture presented last, for the renderer; null before the first frame. The
    // generation counts presentations.
    gpu::TextureRef presentedTexture(std::uint64_t* generation = nullptr) const;

    // How the presented drawables reached the screen: read back into an image (once per
    // presented drawable, when it is first drawn), or handed to a window's GPU composition
    // without a read-back (once per window picture). See DrawableComposition.h.
    std::uint64_t readBackCount() const { return readBacks_; }
    std::uint64_t directCount() const { return directs_; }

    void didMoveToWindow() override;

  protected:
    void drawContent(CGContext& context) override;

  private:
    void updateTimer();
    gpu::TextureRef takeTexture(std::size_t width, std::size_t height);

    gpu::DeviceRef device_;
    MTKViewDelegate* delegate_ = nullptr;
    gpu::PixelFormat colorPixelFormat_ = gpu::PixelFormat::BGRA8Unorm;
    bool framebufferOnly_ = true;
    gpu::ClearColor clearColor_{0, 0, 0, 1};
    bool autoResizeDrawable_ = true;
    CGSize explicitDrawableSize_;
    CGSize lastDrawableSize_;
    int preferredFramesPerSecond_ = 60;
    bool paused_ = false;
    bool enableSetNeedsDisplay_ = false;
    std::uint64_t frameCount_ = 0;
    bool inDraw_ = false;
    CAMetalDrawableRef currentDrawable_;
    std::optional<gpu::RenderPassDescriptor> currentPass_;
    std::vector<gpu::TextureRef> texturePool_;
    std::shared_ptr<Timer> timer_;
    std::shared_ptr<PresentedDrawableSlot> presented_ = std::make_shared<PresentedDrawableSlot>();
    struct ImageCache;
    std::unique_ptr<ImageCache> imageCache_;
    std::uint64_t readBacks_ = 0;
    std::uint64_t directs_ = 0;
};

}  // namespace hx

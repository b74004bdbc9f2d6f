#pragma once
// A window picture whose GPU views are shown by the GPU itself instead of being read back.
//
// While a composition is active, UIRenderer draws the window into an image as usual, except
// that a GPU view whose drawable the compositor can sample (canShow) and that is drawn straight
// into that image, upright and fully opaque, clears its area of the image to transparent and
// leaves its drawable in layers() with the rectangle it covers. The compositor then draws
// those drawables and the image over them: views above a GPU view still cover it, and what
// clips it still clips it, because the image keeps them. Any other GPU view (inside a
// translucent group, turned, or with a drawable the compositor cannot sample) is read back into
// the image as without a composition.
//
// Threads: main thread only.

#include <functional>
#include <vector>

#include "platform/geometry/Geometry.h"
#include "platform/gpu/Texture.h"

class QPaintDevice;

namespace hx {

class DrawableComposition {
  public:
    struct Layer {
        gpu::TextureRef texture;
        CGRect rect;  // in the image's pixels, top left at the origin
    };

    explicit DrawableComposition(std::function<bool(const gpu::Texture&)> canShow)
        : canShow_(std::move(canShow)) {}

    const std::vector<Layer>& layers() const { return layers_; }

    // The composition the renderer draws for now; null outside UIRenderer::renderWindow.
    static DrawableComposition* active();

    // ---- for the renderer and the GPU view
    // Makes this the active composition for drawing into `target` until the scope ends.
    class Scope {
      public:
        Scope(DrawableComposition& composition, QPaintDevice* target);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        DrawableComposition* previous_;
    };
    QPaintDevice* target() const { return target_; }
    bool canShow(const gpu::Texture& texture) const { return canShow_ && canShow_(texture); }
    void add(Layer layer) { layers_.push_back(std::move(layer)); }

  private:
    std::function<bool(const gpu::Texture&)> canShow_;
    std::vector<Layer> layers_;
    QPaintDevice* target_ = nullptr;
};

}  // namespace hx

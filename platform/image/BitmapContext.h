#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/geometry/AffineTransform.h"
#include "platform/image/Image.h"
#include "platform/image/PixelFormat.h"

namespace hx::image {

// An 8-bit drawing surface in Grey8, RGB8 or BGRA8 (premultiplied). Its user space is y-up like
// a classic 2D graphics context: the origin is the bottom-left corner and one unit is one pixel
// under the identity transform, while memory row 0 holds the top of the picture. So an image
// drawn into (0, 0, width, height) with the identity transform lies upright in memory, and one
// drawn with {1, 0, 0, -1, 0, height} lies upside down.
//
// Threads: a context is used by one thread at a time; the images it makes are free to share.
class BitmapContext {
  public:
    // A new surface, transparent black (black for the opaque formats). Null for RGBA8, a bad size
    // or when memory runs out.
    static std::unique_ptr<BitmapContext> create(PixelFormat format, int width, int height);
    // Draws into memory that belongs to the caller and must outlive the context; its contents
    // are kept. Null for RGBA8, null data or a bad layout.
    static std::unique_ptr<BitmapContext> wrap(PixelFormat format, int width, int height,
                                               uint8_t* data, size_t bytesPerRow);

    PixelFormat pixelFormat() const { return format_; }
    int width() const { return width_; }
    int height() const { return height_; }
    size_t bytesPerRow() const { return bytesPerRow_; }
    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }

    // The current transform from user space to the surface's y-up pixel space; starts as identity.
    const CGAffineTransform& ctm() const { return ctm_; }
    void setCTM(const CGAffineTransform& transform) { ctm_ = transform; }
    // The new step acts first, in user space.
    void concatCTM(const CGAffineTransform& transform) {
        ctm_ = CGAffineTransformConcat(transform, ctm_);
    }
    void translateCTM(double tx, double ty) { ctm_ = CGAffineTransformTranslate(ctm_, tx, ty); }
    void scaleCTM(double sx, double sy) { ctm_ = CGAffineTransformScale(ctm_, sx, sy); }

    // Every pixel back to transparent black (black for the opaque formats).
    void clear();

    // Composites `image` (source over) into `rect` of user space through the current transform,
    // or through `transform` in its place. The image's top row goes to the rect's top edge
    // (its largest y) before the transform. Pixels outside the mapped rect keep their values;
    // whatever falls outside the surface is clipped. A null image or an empty or non-finite rect
    // draws nothing.
    void drawImage(const ImageRef& image, const CGRect& rect);
    void drawImage(const ImageRef& image, const CGRect& rect, const CGAffineTransform& transform);

    // A copy of the pixels as they are now; later drawing leaves it unchanged. Null when memory
    // runs out.
    ImageRef makeImage() const;

    BitmapContext(const BitmapContext&) = delete;
    BitmapContext& operator=(const BitmapContext&) = delete;

  private:
    BitmapContext(PixelFormat format, int width, int height, size_t bytesPerRow,
                  std::vector<uint8_t> pixels, uint8_t* data);

    PixelFormat format_;
    int width_;
    int height_;
    size_t bytesPerRow_;
    std::vector<uint8_t> pixels_;  // empty when drawing into the caller's memory
    uint8_t* data_;
    CGAffineTransform ctm_;
};

}  // namespace hx::image

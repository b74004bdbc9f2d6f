#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/geometry/AffineTransform.h"
#include "platform/image/Image.h"
#include "platform/image/PixelFormat.h"

namespace hx::image {

// Writable pixel memory in Grey8, RGB8 or BGRA8 (premultiplied), rows from the top down.
struct PixelSurface {
    PixelFormat format = PixelFormat::BGRA8;
    int width = 0;
    int height = 0;
    size_t bytesPerRow = 0;
    uint8_t* data = nullptr;

    uint8_t* row(int y) const { return data + bytesPerRow * static_cast<size_t>(y); }
};

// Composites `image` over `surface` (source over). `imageToSurface` maps image pixel space
// (x to the right, y down, one unit per pixel, the top-left corner at the origin) to surface
// pixel space laid out the same way. A surface pixel changes only when its centre falls inside
// the mapped image; the rest is clipped.
//
// An unscaled draw at whole-pixel offsets, upright or flipped top to bottom, copies pixels
// exactly (converting their format when the two differ). Enlarging samples bilinearly with edges
// clamped; shrinking averages each surface pixel's footprint in the image. Surfaces in RGBA8 and
// transforms that are singular or not finite draw nothing.
void drawImagePixels(const PixelSurface& surface, const Image& image,
                     const CGAffineTransform& imageToSurface);

}  // namespace hx::image

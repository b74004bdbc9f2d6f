#include "platform/image/BitmapContext.h"

#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#include "platform/image/ImageDrawing.h"
#include "platform/log/Log.h"

namespace hx::image {

static bool isSurfaceFormat(PixelFormat format) {
    return format == PixelFormat::Grey8 || format == PixelFormat::RGB8 ||
           format == PixelFormat::BGRA8;
}

BitmapContext::BitmapContext(PixelFormat format, int width, int height, size_t bytesPerRow,
                             std::vector<uint8_t> pixels, uint8_t* data)
    : format_(format),
      width_(width),
      height_(height),
      bytesPerRow_(bytesPerRow),
      pixels_(std::move(pixels)),
      data_(data == nullptr ? pixels_.data() : data) {}

std::unique_ptr<BitmapContext> BitmapContext::create(PixelFormat format, int width, int height) {
    const size_t rowBytes = width > 0 ? static_cast<size_t>(width) * bytesPerPixel(format) : 0;
    if (!isSurfaceFormat(format) || !Image::isValidLayout(format, width, height, rowBytes)) {
        hxLog("BitmapContext::create: cannot draw into %s at %dx%d", pixelFormatName(format), width,
              height);
        return nullptr;
    }
    try {
        std::vector<uint8_t> pixels(rowBytes * static_cast<size_t>(height), 0);
        return std::unique_ptr<BitmapContext>(
            new BitmapContext(format, width, height, rowBytes, std::move(pixels), nullptr));
    } catch (const std::bad_alloc&) {
        hxLog("BitmapContext::create: out of memory for %dx%d", width, height);
        return nullptr;
    }
}

std::unique_ptr<BitmapContext> BitmapContext::wrap(PixelFormat format, int width, int height,
                                                   uint8_t* data, size_t bytesPerRow) {
    if (data == nullptr || !isSurfaceFormat(format) ||
        !Image::isValidLayout(format, width, height, bytesPerRow)) {
        hxLog("BitmapContext::wrap: cannot draw into %s at %dx%d with %zu bytes per row",
              pixelFormatName(format), width, height, bytesPerRow);
        return nullptr;
    }
    try {
        return std::unique_ptr<BitmapContext>(
            new BitmapContext(format, width, height, bytesPerRow, {}, data));
    } catch (const std::bad_alloc&) {
        hxLog("BitmapContext::wrap: out of memory");
        return nullptr;
    }
}

void BitmapContext::clear() {
    const size_t rowBytes = static_cast<size_t>(width_) * bytesPerPixel(format_);
    for (int y = 0; y < height_; ++y) {
        std::memset(data_ + bytesPerRow_ * static_cast<size_t>(y), 0, rowBytes);
    }
}

void BitmapContext::drawImage(const ImageRef& image, const CGRect& rect) {
    drawImage(image, rect, ctm_);
}

void BitmapContext::drawImage(const ImageRef& image, const CGRect& rect,
                              const CGAffineTransform& transform) {
    if (!image) return;
    const CGRect area = rect.standardized();
    const double x = area.origin.x, y = area.origin.y;
    const double width = area.size.width, height = area.size.height;
    if (area.isEmpty() || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(width) ||
        !std::isfinite(height)) {
        return;
    }
    // Image pixels (y down from the top row) to user space (y up), to the surface's y-up pixel
    // space, to memory rows (y down from the top).
    const CGAffineTransform imageToUser{width / image->width(),    0, 0,
                                        -height / image->height(), x, y + height};
    const CGAffineTransform pixelsToMemory{1, 0, 0, -1, 0, static_cast<double>(height_)};
    const PixelSurface surface{format_, width_, height_, bytesPerRow_, data_};
    drawImagePixels(
        surface, *image,
        CGAffineTransformConcat(CGAffineTransformConcat(imageToUser, transform), pixelsToMemory));
}

ImageRef BitmapContext::makeImage() const {
    return Image::copy(format_, width_, height_, data_, bytesPerRow_);
}

}  // namespace hx::image

#include "platform/image/Image.h"

#include <atomic>
#include <cstring>
#include <new>
#include <utility>

#include "platform/log/Log.h"

namespace hx::image {

bool Image::isValidLayout(PixelFormat format, int width, int height, size_t bytesPerRow) {
    const size_t pixelBytes = hx::image::bytesPerPixel(format);
    if (pixelBytes == 0) return false;
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) return false;
    if (bytesPerRow < static_cast<size_t>(width) * pixelBytes) return false;
    // The whole span must be addressable.
    return bytesPerRow <= SIZE_MAX / static_cast<size_t>(height);
}

size_t Image::byteSpan(PixelFormat format, int width, int height, size_t bytesPerRow) {
    if (!isValidLayout(format, width, height, bytesPerRow)) return 0;
    return bytesPerRow * static_cast<size_t>(height - 1) +
           static_cast<size_t>(width) * hx::image::bytesPerPixel(format);
}

Image::Image(PixelFormat format, int width, int height, const uint8_t* data, size_t bytesPerRow,
             std::shared_ptr<const void> storage)
    : format_(format),
      width_(width),
      height_(height),
      bytesPerRow_(bytesPerRow),
      data_(data),
      storage_(std::move(storage)) {}

ImageRef Image::make(PixelFormat format, int width, int height, const uint8_t* data,
                     size_t bytesPerRow, std::shared_ptr<const void> storage,
                     size_t recyclableBytes) {
    try {
        auto* image = new Image(format, width, height, data, bytesPerRow, std::move(storage));
        image->recyclableBytes_ = recyclableBytes;
        return ImageRef(image);
    } catch (const std::bad_alloc&) {
        hxLog("Image: out of memory for a %dx%d image", width, height);
        return nullptr;
    }
}

static void logInvalidLayout(const char* factory, PixelFormat format, int width, int height,
                             size_t bytesPerRow) {
    hxLog("Image::%s: invalid layout (%s, %dx%d, %zu bytes per row)", factory,
          pixelFormatName(format), width, height, bytesPerRow);
}

ImageRef Image::copy(PixelFormat format, int width, int height, const uint8_t* data,
                     size_t bytesPerRow) {
    if (data == nullptr || !isValidLayout(format, width, height, bytesPerRow)) {
        logInvalidLayout("copy", format, width, height, bytesPerRow);
        return nullptr;
    }
    const size_t tightRow = static_cast<size_t>(width) * hx::image::bytesPerPixel(format);
    std::vector<uint8_t> pixels;
    try {
        pixels.resize(tightRow * static_cast<size_t>(height));
    } catch (const std::bad_alloc&) {
        hxLog("Image::copy: out of memory for a %dx%d image", width, height);
        return nullptr;
    }
    if (tightRow == bytesPerRow) {
        std::memcpy(pixels.data(), data, pixels.size());
    } else {
        for (int y = 0; y < height; ++y) {
            std::memcpy(pixels.data() + tightRow * static_cast<size_t>(y),
                        data + bytesPerRow * static_cast<size_t>(y), tightRow);
        }
    }
    return adopt(format, width, height, std::move(pixels), tightRow);
}

ImageRef Image::adopt(PixelFormat format, int width, int height, std::vector<uint8_t> pixels,
                      size_t bytesPerRow) {
    const size_t span = byteSpan(format, width, height, bytesPerRow);
    if (span == 0 || pixels.size() < span) {
        logInvalidLayout("adopt", format, width, height, bytesPerRow);
        return nullptr;
    }
    std::shared_ptr<const std::vector<uint8_t>> storage;
    try {
        storage = std::make_shared<const std::vector<uint8_t>>(std::move(pixels));
    } catch (const std::bad_alloc&) {
        hxLog("Image::adopt: out of memory");
        return nullptr;
    }
    const uint8_t* data = storage->data();
    return make(format, width, height, data, bytesPerRow, std::move(storage));
}

ImageRef Image::adopt(PixelFormat format, int width, int height, std::vector<uint8_t> pixels) {
    const size_t tightRow =
        width > 0 ? static_cast<size_t>(width) * hx::image::bytesPerPixel(format) : 0;
    return adopt(format, width, height, std::move(pixels), tightRow);
}

ImageRef Image::adopt(PixelFormat format, int width, int height, PixelMemory pixels,
                      size_t bytesPerRow) {
    const size_t span = byteSpan(format, width, height, bytesPerRow);
    if (span == 0 || !pixels || pixels.size() < span) {
        logInvalidLayout("adopt", format, width, height, bytesPerRow);
        return nullptr;
    }
    const uint8_t* data = pixels.data();
    const size_t capacity = pixels.size();
    return make(format, width, height, data, bytesPerRow, std::move(pixels.bytes_), capacity);
}

PixelMemory PixelMemory::allocate(size_t byteCount, ImageRef recycled) {
    PixelMemory memory;
    if (recycled && recycled->recyclableBytes_ >= byteCount) {
        std::shared_ptr<const void> storage = recycled->storage_;
        const size_t capacity = recycled->recyclableBytes_;
        // Once the image is gone no one can reach its memory except through another image (a
        // crop or another reference to it), which would keep the count above one.
        recycled.reset();
        if (storage.use_count() == 1) {
            // Whatever the last other holder read happens before our writes.
            std::atomic_thread_fence(std::memory_order_acquire);
            memory.bytes_ = std::const_pointer_cast<uint8_t[]>(
                std::static_pointer_cast<const uint8_t[]>(std::move(storage)));
            memory.size_ = capacity;
            return memory;
        }
    }
    recycled.reset();
    try {
        memory.bytes_ = std::make_shared_for_overwrite<uint8_t[]>(byteCount);
        memory.size_ = byteCount;
    } catch (const std::bad_alloc&) {
        hxLog("PixelMemory: out of memory for %zu bytes", byteCount);
    }
    return memory;
}

ImageRef Image::wrap(PixelFormat format, int width, int height, const uint8_t* data,
                     size_t bytesPerRow, std::shared_ptr<const void> owner) {
    if (data == nullptr || !isValidLayout(format, width, height, bytesPerRow)) {
        logInvalidLayout("wrap", format, width, height, bytesPerRow);
        return nullptr;
    }
    return make(format, width, height, data, bytesPerRow, std::move(owner));
}

const uint8_t* Image::row(int y) const {
    if (y < 0 || y >= height_) return nullptr;
    return data_ + bytesPerRow_ * static_cast<size_t>(y);
}

ImageRef Image::cropped(int x, int y, int width, int height) const {
    if (width <= 0 || height <= 0 || x < 0 || y < 0) return nullptr;
    if (static_cast<int64_t>(x) + width > width_ || static_cast<int64_t>(y) + height > height_) {
        return nullptr;
    }
    const uint8_t* origin =
        data_ + bytesPerRow_ * static_cast<size_t>(y) + static_cast<size_t>(x) * bytesPerPixel();
    return make(format_, width, height, origin, bytesPerRow_, storage_);
}

}  // namespace hx::image

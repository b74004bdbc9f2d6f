#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/image/PixelFormat.h"

namespace hx::image {

class Image;
using ImageRef = std::shared_ptr<const Image>;

// Memory for a decoder to write pixels into before they become an image (Image::adopt): a fresh
// block left uninitialised, since the decoder overwrites every byte anyway, or the memory of an
// earlier image that nothing holds any more, which also saves the system handing out (and
// clearing) fresh pages, most of the cost of a large fresh block.
//
// Threads: one PixelMemory is used by one thread; different ones may be used at once.
class PixelMemory {
  public:
    // At least `byteCount` bytes, contents unspecified. `recycled`, when given, is released, and
    // its memory is taken instead of a fresh block when it was made over a PixelMemory at least
    // this large and nothing else (another reference to it, a crop) holds that memory. Empty when
    // memory runs out.
    static PixelMemory allocate(size_t byteCount, ImageRef recycled = nullptr);

    PixelMemory() = default;
    // Moves only: once adopted, nobody may keep a way to write into an image's pixels.
    PixelMemory(PixelMemory&&) = default;
    PixelMemory& operator=(PixelMemory&&) = default;
    PixelMemory(const PixelMemory&) = delete;
    PixelMemory& operator=(const PixelMemory&) = delete;

    explicit operator bool() const { return bytes_ != nullptr; }
    uint8_t* data() const { return bytes_.get(); }
    size_t size() const { return bytes_ ? size_ : 0; }

  private:
    friend class Image;
    std::shared_ptr<uint8_t[]> bytes_;
    size_t size_ = 0;
};

// An immutable 8-bit image. Rows run from the top of the picture (row 0) to the bottom; rows may
// be padded (bytesPerRow >= width * bytesPerPixel). The pixel memory is shared between an image,
// its crops and whoever handed it over, and stays alive as long as any of them does.
//
// Threads: an Image never changes after it is made, so any thread may read it at any time.
//
// Factories return null for a bad layout (non-positive or oversized dimensions, rows too short
// for the width, missing data) or when memory runs out; they never throw.
class Image {
  public:
    // Sides beyond this are refused so byte counts can never overflow.
    static constexpr int kMaxDimension = 1 << 18;

    // Copies the pixels into tightly packed rows of its own.
    static ImageRef copy(PixelFormat format, int width, int height, const uint8_t* data,
                         size_t bytesPerRow);
    // Takes the pixels without copying. `pixels` must hold at least
    // bytesPerRow * (height - 1) + width * bytesPerPixel bytes.
    static ImageRef adopt(PixelFormat format, int width, int height, std::vector<uint8_t> pixels,
                          size_t bytesPerRow);
    // As above with tightly packed rows.
    static ImageRef adopt(PixelFormat format, int width, int height, std::vector<uint8_t> pixels);
    // Takes memory a decoder has filled; it may later be recycled by PixelMemory::allocate.
    static ImageRef adopt(PixelFormat format, int width, int height, PixelMemory pixels,
                          size_t bytesPerRow);
    // Makes an image over memory that belongs to someone else, without copying. `owner` is held
    // as long as the image or any crop of it lives; it is what keeps `data` valid. A null owner
    // means the caller promises `data` outlives every image made from it.
    static ImageRef wrap(PixelFormat format, int width, int height, const uint8_t* data,
                         size_t bytesPerRow, std::shared_ptr<const void> owner);

    PixelFormat pixelFormat() const { return format_; }
    int width() const { return width_; }
    int height() const { return height_; }
    size_t bytesPerRow() const { return bytesPerRow_; }
    size_t bytesPerPixel() const { return hx::image::bytesPerPixel(format_); }
    size_t componentsPerPixel() const { return hx::image::componentsPerPixel(format_); }
    bool hasAlpha() const { return hx::image::hasAlpha(format_); }
    const uint8_t* data() const { return data_; }
    // Null for a row outside the image.
    const uint8_t* row(int y) const;

    // A sub-image over the same memory (no copy); x and y count from the top-left pixel. Null
    // when the rectangle is empty or not wholly inside this image.
    ImageRef cropped(int x, int y, int width, int height) const;

    // Checks a layout the same way the factories do.
    static bool isValidLayout(PixelFormat format, int width, int height, size_t bytesPerRow);
    // Bytes from the first pixel to one past the last: the least memory the layout needs.
    static size_t byteSpan(PixelFormat format, int width, int height, size_t bytesPerRow);

    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

  private:
    friend class PixelMemory;
    Image(PixelFormat format, int width, int height, const uint8_t* data, size_t bytesPerRow,
          std::shared_ptr<const void> storage);
    static ImageRef make(PixelFormat format, int width, int height, const uint8_t* data,
                         size_t bytesPerRow, std::shared_ptr<const void> storage,
                         size_t recyclableBytes = 0);

    PixelFormat format_;
    int width_;
    int height_;
    size_t bytesPerRow_;
    const uint8_t* data_;
    std::shared_ptr<const void> storage_;
    size_t recyclableBytes_ = 0;  // the size of storage_ when it came from a PixelMemory
};

}  // namespace hx::image

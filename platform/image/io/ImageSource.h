#pragma once
// Reads an image file held in memory or on disk: its type, its properties (pixel size, depth,
// colour model, orientation, Exif, TIFF and GPS dictionaries), the picture and thumbnails.
//
// Threads: a source never changes after it is made; any thread may use it.

#include <memory>
#include <string>
#include <vector>

#include "platform/image/Image.h"
#include "platform/image/PropertyDictionary.h"

namespace hx::image {

class ImageSource {
  public:
    // Null, with one log line, when the bytes are empty or of no type we read. A source is made
    // for a damaged file of a known type too; its image and properties then come back empty.
    static std::shared_ptr<ImageSource> createWithData(
        std::shared_ptr<const std::vector<uint8_t>> bytes);
    static std::shared_ptr<ImageSource> createWithData(std::vector<uint8_t> bytes);
    static std::shared_ptr<ImageSource> createWithURL(const std::string& path);

    // "public.jpeg", "public.tiff", "public.heic" or "public.png".
    const std::string& type() const { return type_; }
    // 1 when the file holds a readable image, else 0.
    size_t count() const;
    // Properties of image 0: PixelWidth, PixelHeight (as stored, before orientation), Depth,
    // ColorModel, Orientation (1 when the file says nothing), DPIWidth/DPIHeight when known,
    // and the {Exif}, {TIFF}, {GPS} dictionaries the file has. Empty for another index or a
    // damaged file.
    PropertyDictionary copyPropertiesAtIndex(size_t index) const;
    // The picture as stored (orientation not applied): Grey8 or RGB8 (RGBA8 for PNG with
    // alpha). Null, with one log line, when it cannot be decoded.
    ImageRef createImageAtIndex(size_t index) const;
    // The picture scaled so that its long side is at most `maxPixelSize`, using the codec's
    // scaled decode where it has one.
    ImageRef createThumbnailAtIndex(size_t index, int maxPixelSize) const;

    const std::vector<uint8_t>& data() const { return *bytes_; }

  private:
    ImageSource(std::shared_ptr<const std::vector<uint8_t>> bytes, std::string type)
        : bytes_(std::move(bytes)), type_(std::move(type)) {}
    ImageRef decode(int maxPixelSize) const;

    std::shared_ptr<const std::vector<uint8_t>> bytes_;
    std::string type_;
};
using ImageSourceRef = std::shared_ptr<ImageSource>;

}  // namespace hx::image

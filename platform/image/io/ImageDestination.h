#pragma once
// Writes one image with its properties into a file or a growing byte buffer, in the format of
// the destination's type. The properties are written as real Exif, TIFF and GPS tags; the
// top-level Orientation becomes the file's orientation (for HEIC the transform that readers
// apply, with the Exif orientation inside set to 1). The option
// kCGImageDestinationLossyCompressionQuality (0 to 1) sets the JPEG and HEIC quality, 0.9
// when absent.
//
// Threads: one thread at a time per destination.

#include <memory>
#include <string>
#include <vector>

#include "platform/image/Image.h"
#include "platform/image/PropertyDictionary.h"
#include "platform/image/io/ImageSource.h"

namespace hx::image {

class ImageDestination {
  public:
    // Null, with one log line, for an unsupported type or a count other than 1.
    static std::shared_ptr<ImageDestination> createWithData(std::vector<uint8_t>* data,
                                                            const std::string& type, size_t count);
    static std::shared_ptr<ImageDestination> createWithURL(const std::string& path,
                                                           const std::string& type, size_t count);

    void addImage(const ImageRef& image, const PropertyDictionary& properties);
    // Image `index` of the source with its metadata, overlaid by `properties` (entries of the
    // nested dictionaries replace the source's one by one). A JPEG into a JPEG destination
    // keeps its compressed bytes; other combinations decode and encode again.
    void addImageFromSource(const ImageSource& source, size_t index,
                            const PropertyDictionary& properties);
    // Encodes and writes. False, with one log line, when nothing or too much was added or
    // encoding or writing failed; a file destination then leaves no file behind and a data
    // destination's buffer is left as it was.
    bool finalize();

  private:
    ImageDestination(std::vector<uint8_t>* data, std::string path, std::string type)
        : data_(data), path_(std::move(path)), type_(std::move(type)) {}
    bool encode(std::vector<uint8_t>& out, std::string* error) const;

    std::vector<uint8_t>* data_;
    std::string path_;
    std::string type_;
    size_t added_ = 0;
    bool finalized_ = false;
    ImageRef image_;
    std::shared_ptr<const std::vector<uint8_t>> sourceJpeg_;  // compressed bytes to keep
    PropertyDictionary properties_;
};
using ImageDestinationRef = std::shared_ptr<ImageDestination>;

// The source's metadata overlaid by `overlay`: top-level entries replace, the {Exif}, {TIFF}
// and {GPS} dictionaries are merged entry by entry.
PropertyDictionary overlayProperties(const PropertyDictionary& base,
                                     const PropertyDictionary& overlay);

}  // namespace hx::image

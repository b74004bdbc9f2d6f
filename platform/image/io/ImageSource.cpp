#include "platform/image/io/ImageSource.h"

#include <new>

#include "platform/image/FileIO.h"
#include "platform/image/ImageTypes.h"
#include "platform/image/heic/HeicCodec.h"
#include "platform/image/io/PngInfo.h"
#include "platform/image/jpeg/JpegCodec.h"
#include "platform/image/metadata/ImageMetadata.h"
#include "platform/image/png/PngCodec.h"
#include "platform/image/tiff/TiffCodec.h"
#include "platform/log/Log.h"

namespace hx::image {

std::shared_ptr<ImageSource> ImageSource::createWithData(
    std::shared_ptr<const std::vector<uint8_t>> bytes) {
    if (!bytes || bytes->empty()) {
        hxLog("Image source: no data");
        return nullptr;
    }
    std::string type = typeOfData(bytes->data(), bytes->size());
    if (type.empty()) {
        hxLog("Image source: the data is not a JPEG, TIFF, HEIC or PNG file");
        return nullptr;
    }
    return std::shared_ptr<ImageSource>(new ImageSource(std::move(bytes), std::move(type)));
}

std::shared_ptr<ImageSource> ImageSource::createWithData(std::vector<uint8_t> bytes) {
    return createWithData(std::make_shared<const std::vector<uint8_t>>(std::move(bytes)));
}

std::shared_ptr<ImageSource> ImageSource::createWithURL(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!readFileContents(path, bytes, &error)) {
        hxLog("Image source: cannot read %s: %s", path.c_str(), error.c_str());
        return nullptr;
    }
    return createWithData(std::move(bytes));
}

size_t ImageSource::count() const {
    return copyPropertiesAtIndex(0).empty() ? 0 : 1;
}

namespace {

struct Probe {
    int width = 0, height = 0, components = 0;
    std::optional<int> orientation;  // from the file's structure (HEIC transforms)
    std::optional<PropertyDictionary> metadata;
};

std::optional<Probe> probe(const std::string& type, const std::vector<uint8_t>& bytes,
                           std::string* error) {
    const uint8_t* data = bytes.data();
    const size_t size = bytes.size();
    Probe p;
    if (type == kUTTypeHEIC) {
        auto info = probeHeic(data, size, error);
        if (!info) return std::nullopt;
        p.width = info->width;
        p.height = info->height;
        p.components = 3;
        p.orientation = info->orientation;
        if (!info->exifBlock.empty())
            p.metadata =
                metadata::decodeExifBlock(info->exifBlock.data(), info->exifBlock.size(), nullptr);
        return p;
    }
    std::optional<ImageInfo> info;
    if (type == kUTTypeJPEG) info = probeJpeg(data, size, error);
    if (type == kUTTypeTIFF) info = probeTiff(data, size, error);
    if (type == kUTTypePNG) info = probePng(data, size, error);
    if (!info) return std::nullopt;
    p.width = info->width;
    p.height = info->height;
    p.components = info->components;
    p.metadata = metadata::readMetadata(data, size, nullptr);
    return p;
}

}  // namespace

PropertyDictionary ImageSource::copyPropertiesAtIndex(size_t index) const {
    if (index != 0) return {};
    std::string error;
    auto p = probe(type_, *bytes_, &error);
    if (!p) return {};
    PropertyDictionary properties;
    if (p->metadata) properties = *p->metadata;
    properties.set(kCGImagePropertyPixelWidth, p->width);
    properties.set(kCGImagePropertyPixelHeight, p->height);
    properties.set(kCGImagePropertyDepth, 8);
    properties.set(kCGImagePropertyColorModel, p->components == 1 ? kCGImagePropertyColorModelGray
                                                                  : kCGImagePropertyColorModelRGB);
    if (p->orientation) properties.set(kCGImagePropertyOrientation, *p->orientation);
    if (!properties.contains(kCGImagePropertyOrientation))
        properties.set(kCGImagePropertyOrientation, 1);
    const PropertyDictionary tiff = properties.dictionary(kCGImagePropertyTIFFDictionary);
    if (auto x = tiff.real(kCGImagePropertyTIFFXResolution))
        properties.set(kCGImagePropertyDPIWidth, *x);
    if (auto y = tiff.real(kCGImagePropertyTIFFYResolution))
        properties.set(kCGImagePropertyDPIHeight, *y);
    return properties;
}

ImageRef ImageSource::decode(int maxPixelSize) const {
    const uint8_t* data = bytes_->data();
    const size_t size = bytes_->size();
    std::string error;
    ImageRef image;
    // The codecs answer a failed allocation with null; what they call on the way (the codec
    // libraries' own C++, scaling) may still throw, and that is a failed decode too.
    try {
        if (type_ == kUTTypeJPEG) image = decodeJpeg(data, size, maxPixelSize, &error);
        if (type_ == kUTTypeTIFF) image = decodeTiff(data, size, maxPixelSize, &error);
        if (type_ == kUTTypeHEIC) image = decodeHeic(data, size, maxPixelSize, &error);
        if (type_ == kUTTypePNG) {
            image = readPng(data, size, &error);
            if (image && maxPixelSize > 0) image = resizeToFit(image, maxPixelSize);
        }
    } catch (const std::bad_alloc&) {
        image = nullptr;
        error = "out of memory";
    }
    if (!image) hxLog("Image source: cannot decode the %s image: %s", type_.c_str(), error.c_str());
    return image;
}

ImageRef ImageSource::createImageAtIndex(size_t index) const {
    return index == 0 ? decode(0) : nullptr;
}

ImageRef ImageSource::createThumbnailAtIndex(size_t index, int maxPixelSize) const {
    if (index != 0 || maxPixelSize <= 0) return nullptr;
    return decode(maxPixelSize);
}

}  // namespace hx::image

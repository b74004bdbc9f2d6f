#include "platform/image/io/ImageDestination.h"

#include <algorithm>

#include "platform/image/FileIO.h"
#include "platform/image/ImageTypes.h"
#include "platform/image/heic/HeicCodec.h"
#include "platform/image/jpeg/JpegCodec.h"
#include "platform/image/metadata/ImageMetadata.h"
#include "platform/image/png/PngCodec.h"
#include "platform/image/tiff/TiffCodec.h"
#include "platform/log/Log.h"

namespace hx::image {

namespace {

constexpr double kDefaultQuality = 0.9;

std::shared_ptr<ImageDestination> refuse(const std::string& type, size_t count) {
    if (!isSupportedType(type))
        hxLog("Image destination: cannot write images of type \"%s\"", type.c_str());
    else
        hxLog("Image destination: holds exactly one image, not %d", int(count));
    return nullptr;
}

// Entries that describe the pixels rather than the file's metadata.
PropertyDictionary fileMetadata(const PropertyDictionary& properties) {
    PropertyDictionary metadata = properties;
    for (const char* key :
         {kCGImagePropertyPixelWidth, kCGImagePropertyPixelHeight, kCGImagePropertyDepth,
          kCGImagePropertyColorModel, kCGImageDestinationLossyCompressionQuality})
        metadata.remove(key);
    return metadata;
}

int orientationOf(const PropertyDictionary& properties) {
    auto value = properties.integer(kCGImagePropertyOrientation);
    if (!value)
        value = properties.dictionary(kCGImagePropertyTIFFDictionary)
                    .integer(kCGImagePropertyTIFFOrientation);
    return value && *value >= 1 && *value <= 8 ? int(*value) : 1;
}

metadata::FileKind kindOf(const std::string& type) {
    if (type == kUTTypeJPEG) return metadata::FileKind::Jpeg;
    if (type == kUTTypeTIFF) return metadata::FileKind::Tiff;
    if (type == kUTTypeHEIC) return metadata::FileKind::Heic;
    return metadata::FileKind::Png;
}

}  // namespace

PropertyDictionary overlayProperties(const PropertyDictionary& base,
                                     const PropertyDictionary& overlay) {
    PropertyDictionary result = base;
    for (const auto& [key, value] : overlay) {
        const bool nested = key == kCGImagePropertyExifDictionary ||
                            key == kCGImagePropertyTIFFDictionary ||
                            key == kCGImagePropertyGPSDictionary;
        if (nested && value.dictionary()) {
            PropertyDictionary merged = base.dictionary(key);
            merged.merge(*value.dictionary());
            result.set(key, std::move(merged));
        } else {
            result.set(key, value);
        }
    }
    return result;
}

std::shared_ptr<ImageDestination> ImageDestination::createWithData(std::vector<uint8_t>* data,
                                                                   const std::string& type,
                                                                   size_t count) {
    if (!data || !isSupportedType(type) || count != 1) return refuse(type, count);
    return std::shared_ptr<ImageDestination>(new ImageDestination(data, {}, type));
}

std::shared_ptr<ImageDestination> ImageDestination::createWithURL(const std::string& path,
                                                                  const std::string& type,
                                                                  size_t count) {
    if (path.empty() || !isSupportedType(type) || count != 1) return refuse(type, count);
    return std::shared_ptr<ImageDestination>(new ImageDestination(nullptr, path, type));
}

void ImageDestination::addImage(const ImageRef& image, const PropertyDictionary& properties) {
    ++added_;
    image_ = image;
    sourceJpeg_.reset();
    properties_ = properties;
}

void ImageDestination::addImageFromSource(const ImageSource& source, size_t index,
                                          const PropertyDictionary& properties) {
    ++added_;
    const PropertyDictionary sourceProperties = source.copyPropertiesAtIndex(index);
    properties_ = overlayProperties(sourceProperties, properties);
    image_.reset();
    sourceJpeg_.reset();
    if (sourceProperties.empty()) return;  // finalize reports the damaged source
    if (source.type() == kUTTypeJPEG && type_ == kUTTypeJPEG)
        sourceJpeg_ = std::make_shared<const std::vector<uint8_t>>(source.data());
    else
        image_ = source.createImageAtIndex(index);
}

bool ImageDestination::encode(std::vector<uint8_t>& out, std::string* error) const {
    const PropertyDictionary metadata = fileMetadata(properties_);
    const metadata::FileKind kind = kindOf(type_);
    if (sourceJpeg_) {
        out = *sourceJpeg_;
        return metadata::writeMetadata(out, kind, metadata, error);
    }
    if (!image_) {
        if (error) *error = "no image was added";
        return false;
    }
    const double quality = std::clamp(
        properties_.real(kCGImageDestinationLossyCompressionQuality).value_or(kDefaultQuality), 0.0,
        1.0);
    if (type_ == kUTTypeJPEG)
        return encodeJpeg(*image_, quality, metadata::encodeExifBlock(metadata, kind), out, error);
    if (type_ == kUTTypeHEIC) {
        HeicEncodeOptions options;
        options.quality = quality;
        options.orientation = orientationOf(metadata);
        options.exifBlock = metadata::encodeExifBlock(metadata, kind, 1);
        return encodeHeic(*image_, options, out, error);
    }
    const bool written =
        type_ == kUTTypeTIFF ? encodeTiff(*image_, out, error) : writePng(*image_, out, error);
    if (!written) return false;
    return metadata.empty() || metadata::writeMetadata(out, kind, metadata, error);
}

bool ImageDestination::finalize() {
    if (finalized_) {
        hxLog("Image destination: already finalised");
        return false;
    }
    finalized_ = true;
    if (added_ != 1) {
        hxLog("Image destination: %d images were added to a destination for one", int(added_));
        return false;
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!encode(bytes, &error)) {
        hxLog("Image destination: cannot encode the %s image: %s", type_.c_str(), error.c_str());
        return false;
    }
    if (data_) {
        data_->swap(bytes);
        return true;
    }
    if (!writeFileAtomically(path_, bytes.data(), bytes.size(), &error)) {
        hxLog("Image destination: cannot write %s: %s", path_.c_str(), error.c_str());
        return false;
    }
    return true;
}

}  // namespace hx::image

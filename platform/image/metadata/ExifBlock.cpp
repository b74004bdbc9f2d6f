#include <exiv2/exiv2.hpp>

#include <cstring>
#include <exception>
#include <limits>

#include "platform/image/metadata/ExifMapping.h"
#include "platform/image/metadata/Exiv2Setup.h"
#include "platform/image/metadata/ImageMetadata.h"

namespace hx::image::metadata {
namespace {

void setError(std::string* error, const std::string& message) {
    if (error != nullptr) *error = message;
}

}  // namespace

std::vector<uint8_t> encodeExifBlock(const PropertyDictionary& properties, FileKind kind,
                                     std::optional<int> orientationOverride) {
    try {
        detail::prepareExiv2();
        const Exiv2::ExifData exif =
            detail::exifDataForProperties(properties, kind, orientationOverride);
        Exiv2::Blob blob;
        Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
        return std::vector<uint8_t>(blob.begin(), blob.end());
    } catch (...) {
        return {};
    }
}

std::optional<PropertyDictionary> decodeExifBlock(const uint8_t* data, size_t size,
                                                  std::string* error) {
    static constexpr uint8_t kExifPrefix[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (data != nullptr && size >= sizeof kExifPrefix &&
        std::memcmp(data, kExifPrefix, sizeof kExifPrefix) == 0) {
        data += sizeof kExifPrefix;
        size -= sizeof kExifPrefix;
    }
    if (data == nullptr || size == 0) {
        setError(error, "the Exif block is empty");
        return std::nullopt;
    }
    if (size > std::numeric_limits<uint32_t>::max()) {
        setError(error, "the Exif block is too large");
        return std::nullopt;
    }
    try {
        detail::prepareExiv2();
        Exiv2::ExifData exif;
        const Exiv2::ByteOrder order =
            Exiv2::ExifParser::decode(exif, data, static_cast<uint32_t>(size));
        if (order == Exiv2::invalidByteOrder) {
            setError(error, "the Exif block does not start with a TIFF header");
            return std::nullopt;
        }
        return detail::propertiesForExifData(exif, order);
    } catch (const std::exception& e) {
        setError(error, std::string("cannot read the Exif block: ") + e.what());
    } catch (...) {
        setError(error, "cannot read the Exif block");
    }
    return std::nullopt;
}

}  // namespace hx::image::metadata

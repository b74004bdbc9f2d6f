#include <exiv2/exiv2.hpp>

#include <cmath>
#include <string>

#include "platform/image/metadata/ExifMapping.h"
#include "platform/image/metadata/ExifTagNames.h"
#include "platform/image/metadata/ExifValues.h"
#include "platform/image/metadata/GpsTags.h"

namespace hx::image::metadata::detail {
namespace {

constexpr int64_t kResolutionUnitInch = 2;
constexpr int64_t kResolutionUnitCentimetre = 3;
constexpr double kCentimetresPerInch = 2.54;

// The top-level entries the platform derives from IFD0: orientation and dots per inch.
void addTopLevel(const PropertyDictionary& tiff, PropertyDictionary& properties) {
    if (auto orientation = tiff.integer(kCGImagePropertyTIFFOrientation);
        orientation && *orientation >= 1 && *orientation <= 8)
        properties.set(kCGImagePropertyOrientation, PropertyValue(*orientation));
    const int64_t unit = tiff.integer(kCGImagePropertyTIFFResolutionUnit).value_or(2);
    double scale = 0;
    if (unit == kResolutionUnitInch) scale = 1;
    if (unit == kResolutionUnitCentimetre) scale = kCentimetresPerInch;
    if (scale == 0) return;
    const std::pair<const char*, const char*> resolutions[] = {
        {kCGImagePropertyTIFFXResolution, kCGImagePropertyDPIWidth},
        {kCGImagePropertyTIFFYResolution, kCGImagePropertyDPIHeight}};
    for (const auto& [tiffKey, dpiKey] : resolutions) {
        const auto resolution = tiff.real(tiffKey);
        if (resolution && std::isfinite(*resolution) && *resolution > 0)
            properties.set(dpiKey, PropertyValue(*resolution * scale));
    }
}

}  // namespace

PropertyDictionary propertiesForExifData(const Exiv2::ExifData& exif, Exiv2::ByteOrder byteOrder) {
    PropertyDictionary tiff;
    PropertyDictionary photo;
    for (const Exiv2::Exifdatum& datum : exif) {
        ExifGroup group;
        if (!groupForName(datum.groupName(), &group) || group == ExifGroup::Gps) continue;
        const Exiv2::TagInfo* tag = carriedTag(group, datum.tag());
        if (tag == nullptr || datum.count() == 0) continue;
        auto value = propertyValue(datum.value(), *tag, byteOrder);
        if (!value) continue;
        (group == ExifGroup::Image ? tiff : photo).set(keyForTag(group, datum.tag()), *value);
    }

    PropertyDictionary properties;
    addTopLevel(tiff, properties);
    if (!tiff.empty()) properties.set(kCGImagePropertyTIFFDictionary, std::move(tiff));
    if (!photo.empty()) properties.set(kCGImagePropertyExifDictionary, std::move(photo));
    PropertyDictionary gps = gpsProperties(exif, byteOrder);
    if (!gps.empty()) properties.set(kCGImagePropertyGPSDictionary, std::move(gps));
    return properties;
}

}  // namespace hx::image::metadata::detail

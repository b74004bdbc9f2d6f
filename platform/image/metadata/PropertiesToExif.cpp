#include <exiv2/exiv2.hpp>

#include <cctype>
#include <cmath>
#include <string>

#include "platform/image/metadata/ExifMapping.h"
#include "platform/image/metadata/ExifTagNames.h"
#include "platform/image/metadata/ExifValues.h"
#include "platform/image/metadata/GpsTags.h"

namespace hx::image::metadata::detail {
namespace {

constexpr double kDefaultResolution = 72.0;
constexpr int kResolutionUnitInch = 2;
constexpr int kColorSpaceSRGB = 1;
constexpr int kColorSpaceUncalibrated = 0xffff;
constexpr int kYCbCrCentered = 1;

// Exif IFD tags a TIFF file must not carry: they describe compressed data, and the size of
// the image is in IFD0.
bool belongsOutsideTiff(const std::string& tagName) {
    return tagName == "PixelXDimension" || tagName == "PixelYDimension" ||
           tagName == "ComponentsConfiguration" || tagName == "CompressedBitsPerPixel";
}

const Exiv2::TagInfo& requireTag(ExifGroup group, const char* key) {
    const Exiv2::TagInfo* tag = tagForKey(group, key);
    if (tag == nullptr) throw Exiv2::Error(Exiv2::kerInvalidKey, key);
    return *tag;
}

Exiv2::ExifData::iterator findTag(Exiv2::ExifData& exif, const Exiv2::TagInfo& tag) {
    return exif.findKey(Exiv2::ExifKey(tag));
}

bool hasTag(Exiv2::ExifData& exif, ExifGroup group, const char* key) {
    return findTag(exif, requireTag(group, key)) != exif.end();
}

void removeTag(Exiv2::ExifData& exif, ExifGroup group, const char* key) {
    auto found = findTag(exif, requireTag(group, key));
    if (found != exif.end()) exif.erase(found);
}

void setProperty(Exiv2::ExifData& exif, ExifGroup group, const char* key,
                 const PropertyValue& value) {
    const Exiv2::TagInfo& tag = requireTag(group, key);
    if (auto converted = exifValue(value, tag)) setTag(exif, tag, *converted);
}

void addDictionary(const PropertyDictionary& dictionary, ExifGroup group, FileKind kind,
                   Exiv2::ExifData& exif) {
    for (const auto& [key, value] : dictionary) {
        const Exiv2::TagInfo* tag = tagForKey(group, key);
        if (tag == nullptr) continue;
        if (kind == FileKind::Tiff && group == ExifGroup::Photo && belongsOutsideTiff(tag->name_))
            continue;
        if (auto converted = exifValue(value, *tag)) setTag(exif, *tag, *converted);
    }
}

void addOrientation(const PropertyDictionary& properties, const PropertyDictionary& tiff,
                    std::optional<int> orientationOverride, Exiv2::ExifData& exif) {
    std::optional<int64_t> orientation = orientationOverride;
    if (!orientation) orientation = properties.integer(kCGImagePropertyOrientation);
    if (!orientation) orientation = tiff.integer(kCGImagePropertyTIFFOrientation);
    removeTag(exif, ExifGroup::Image, "Orientation");
    if (orientation && *orientation >= 1 && *orientation <= 8)
        setProperty(exif, ExifGroup::Image, "Orientation", PropertyValue(*orientation));
}

std::optional<double> positive(std::optional<double> value) {
    if (value && std::isfinite(*value) && *value > 0) return value;
    return std::nullopt;
}

// The top-level DPI wins over the {TIFF} resolution; without either the file gets 72 dpi.
void addResolution(const PropertyDictionary& properties, Exiv2::ExifData& exif) {
    std::optional<double> x = positive(properties.real(kCGImagePropertyDPIWidth));
    std::optional<double> y = positive(properties.real(kCGImagePropertyDPIHeight));
    if (x || y) {
        setProperty(exif, ExifGroup::Image, "XResolution", PropertyValue(x ? *x : *y));
        setProperty(exif, ExifGroup::Image, "YResolution", PropertyValue(y ? *y : *x));
        setProperty(exif, ExifGroup::Image, "ResolutionUnit", PropertyValue(kResolutionUnitInch));
        return;
    }
    if (!hasTag(exif, ExifGroup::Image, "XResolution"))
        setProperty(exif, ExifGroup::Image, "XResolution", PropertyValue(kDefaultResolution));
    if (!hasTag(exif, ExifGroup::Image, "YResolution"))
        setProperty(exif, ExifGroup::Image, "YResolution", PropertyValue(kDefaultResolution));
    if (!hasTag(exif, ExifGroup::Image, "ResolutionUnit"))
        setProperty(exif, ExifGroup::Image, "ResolutionUnit", PropertyValue(kResolutionUnitInch));
}

bool isFourDigitVersion(const Exiv2::Exifdatum& datum) {
    if (datum.count() != 4) return false;
    for (long i = 0; i < 4; ++i)
        if (!std::isdigit(static_cast<int>(datum.toLong(i)))) return false;
    return true;
}

void ensureVersion(Exiv2::ExifData& exif, const char* key, const char* defaultVersion) {
    const Exiv2::TagInfo& tag = requireTag(ExifGroup::Photo, key);
    auto found = findTag(exif, tag);
    if (found != exif.end() && isFourDigitVersion(*found)) return;
    setProperty(exif, ExifGroup::Photo, key, PropertyValue(defaultVersion));
}

void addExifDefaults(const PropertyDictionary& properties, FileKind kind, Exiv2::ExifData& exif) {
    ensureVersion(exif, "ExifVersion", "0232");
    ensureVersion(exif, "FlashPixVersion", "0100");
    const Exiv2::TagInfo& colorSpace = requireTag(ExifGroup::Photo, "ColorSpace");
    auto found = findTag(exif, colorSpace);
    if (found == exif.end() ||
        (found->toLong() != kColorSpaceSRGB && found->toLong() != kColorSpaceUncalibrated))
        setProperty(exif, ExifGroup::Photo, "ColorSpace", PropertyValue(kColorSpaceSRGB));
    if (kind != FileKind::Jpeg) return;
    if (!hasTag(exif, ExifGroup::Photo, "ComponentsConfiguration"))
        setProperty(exif, ExifGroup::Photo, "ComponentsConfiguration",
                    PropertyValue(PropertyValue::List{1, 2, 3, 0}));
    // A JPEG reader expects the image size in the Exif IFD too.
    const char* dimensionKeys[2] = {"PixelXDimension", "PixelYDimension"};
    const char* sizeKeys[2] = {kCGImagePropertyPixelWidth, kCGImagePropertyPixelHeight};
    for (int i = 0; i < 2; ++i) {
        const auto size = properties.integer(sizeKeys[i]);
        if (size && !hasTag(exif, ExifGroup::Photo, dimensionKeys[i]))
            setProperty(exif, ExifGroup::Photo, dimensionKeys[i], PropertyValue(*size));
    }
}

}  // namespace

void setTag(Exiv2::ExifData& exif, const Exiv2::TagInfo& tag, const Exiv2::Value& value) {
    const Exiv2::ExifKey key(tag);
    auto found = exif.findKey(key);
    if (found != exif.end()) {
        found->setValue(&value);
    } else {
        exif.add(key, &value);
    }
}

Exiv2::ExifData exifDataForProperties(const PropertyDictionary& properties, FileKind kind,
                                      std::optional<int> orientationOverride) {
    Exiv2::ExifData exif;
    const PropertyDictionary tiff = properties.dictionary(kCGImagePropertyTIFFDictionary);
    addDictionary(tiff, ExifGroup::Image, kind, exif);
    addOrientation(properties, tiff, orientationOverride, exif);
    addResolution(properties, exif);
    if (kind == FileKind::Jpeg && !hasTag(exif, ExifGroup::Image, "YCbCrPositioning"))
        setProperty(exif, ExifGroup::Image, "YCbCrPositioning", PropertyValue(kYCbCrCentered));

    addDictionary(properties.dictionary(kCGImagePropertyExifDictionary), ExifGroup::Photo, kind,
                  exif);
    addExifDefaults(properties, kind, exif);

    addGpsTags(properties.dictionary(kCGImagePropertyGPSDictionary), exif);
    // TIFF readers expect a GPS IFD to say where the position came from.
    if (kind == FileKind::Tiff && hasTag(exif, ExifGroup::Gps, "GPSVersion") &&
        !hasTag(exif, ExifGroup::Gps, "ProcessingMethod"))
        setProperty(exif, ExifGroup::Gps, "ProcessingMethod", PropertyValue("GPS"));
    return exif;
}

}  // namespace hx::image::metadata::detail

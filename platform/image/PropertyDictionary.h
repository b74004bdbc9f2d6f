#pragma once
// Image properties as a typed dictionary: the top level (orientation, pixel size, resolution,
// depth, colour model) with nested Exif, TIFF and GPS dictionaries, keyed by the names below.
// What an image destination receives is written into the file; what an image source reads
// comes back in the same form.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace hx::image {

class PropertyDictionary;

// One value: integer, real, text, a nested dictionary, or a list of values (Exif arrays such
// as ISOSpeedRatings or version fields).
class PropertyValue {
  public:
    using List = std::vector<PropertyValue>;
    PropertyValue() : value_(int64_t{0}) {}
    PropertyValue(int v) : value_(int64_t{v}) {}
    PropertyValue(int64_t v) : value_(v) {}
    PropertyValue(double v) : value_(v) {}
    PropertyValue(float v) : value_(double(v)) {}
    PropertyValue(const char* v) : value_(std::string(v)) {}
    PropertyValue(std::string v) : value_(std::move(v)) {}
    PropertyValue(PropertyDictionary v);
    PropertyValue(List v) : value_(std::move(v)) {}

    bool isInteger() const { return std::holds_alternative<int64_t>(value_); }
    bool isReal() const { return std::holds_alternative<double>(value_); }
    bool isNumber() const { return isInteger() || isReal(); }
    bool isString() const { return std::holds_alternative<std::string>(value_); }
    bool isDictionary() const;
    bool isList() const { return std::holds_alternative<List>(value_); }

    // Numbers convert between integer and real; other kinds give nothing.
    std::optional<int64_t> integer() const;
    std::optional<double> real() const;
    const std::string* string() const { return std::get_if<std::string>(&value_); }
    const PropertyDictionary* dictionary() const;
    const List* list() const { return std::get_if<List>(&value_); }

    bool operator==(const PropertyValue& other) const;
    // Readable form for logs and test messages.
    std::string description() const;

  private:
    std::variant<int64_t, double, std::string, std::shared_ptr<const PropertyDictionary>, List>
        value_;
};

// Ordered by key. Copies are cheap to make and independent of each other.
class PropertyDictionary {
  public:
    PropertyDictionary() = default;
    PropertyDictionary(std::initializer_list<std::pair<const std::string, PropertyValue>> values)
        : values_(values) {}

    void set(const std::string& key, PropertyValue value) { values_[key] = std::move(value); }
    void remove(const std::string& key) { values_.erase(key); }
    bool contains(const std::string& key) const { return values_.count(key) != 0; }
    bool empty() const { return values_.empty(); }
    size_t size() const { return values_.size(); }
    const PropertyValue* find(const std::string& key) const;

    std::optional<int64_t> integer(const std::string& key) const;
    std::optional<double> real(const std::string& key) const;
    std::optional<std::string> string(const std::string& key) const;
    // The nested dictionary under `key`, or an empty one.
    PropertyDictionary dictionary(const std::string& key) const;

    // Adds every entry of `other`, replacing entries of the same key.
    void merge(const PropertyDictionary& other);

    auto begin() const { return values_.begin(); }
    auto end() const { return values_.end(); }
    bool operator==(const PropertyDictionary& other) const { return values_ == other.values_; }
    std::string description() const;

  private:
    std::map<std::string, PropertyValue> values_;
};

// ---- keys

// Top level.
inline constexpr const char* kCGImagePropertyOrientation = "Orientation";
inline constexpr const char* kCGImagePropertyPixelWidth = "PixelWidth";
inline constexpr const char* kCGImagePropertyPixelHeight = "PixelHeight";
inline constexpr const char* kCGImagePropertyDPIWidth = "DPIWidth";
inline constexpr const char* kCGImagePropertyDPIHeight = "DPIHeight";
inline constexpr const char* kCGImagePropertyDepth = "Depth";
inline constexpr const char* kCGImagePropertyColorModel = "ColorModel";
inline constexpr const char* kCGImagePropertyExifDictionary = "{Exif}";
inline constexpr const char* kCGImagePropertyTIFFDictionary = "{TIFF}";
inline constexpr const char* kCGImagePropertyGPSDictionary = "{GPS}";
inline constexpr const char* kCGImagePropertyColorModelRGB = "RGB";
inline constexpr const char* kCGImagePropertyColorModelGray = "Gray";
// Destination option: lossy compression quality 0 to 1.
inline constexpr const char* kCGImageDestinationLossyCompressionQuality =
    "kCGImageDestinationLossyCompressionQuality";

// Exif dictionary. Keys are the Exif tag names; any tag of the Exif IFD may appear.
inline constexpr const char* kCGImagePropertyExifPixelXDimension = "PixelXDimension";
inline constexpr const char* kCGImagePropertyExifPixelYDimension = "PixelYDimension";
inline constexpr const char* kCGImagePropertyExifDateTimeOriginal = "DateTimeOriginal";
inline constexpr const char* kCGImagePropertyExifDateTimeDigitized = "DateTimeDigitized";
inline constexpr const char* kCGImagePropertyExifVersion = "ExifVersion";
inline constexpr const char* kCGImagePropertyExifFlashPixVersion = "FlashPixVersion";
inline constexpr const char* kCGImagePropertyExifColorSpace = "ColorSpace";
inline constexpr const char* kCGImagePropertyExifExposureTime = "ExposureTime";
inline constexpr const char* kCGImagePropertyExifFNumber = "FNumber";
inline constexpr const char* kCGImagePropertyExifISOSpeedRatings = "ISOSpeedRatings";
inline constexpr const char* kCGImagePropertyExifFocalLength = "FocalLength";
inline constexpr const char* kCGImagePropertyExifLensModel = "LensModel";

// TIFF dictionary.
inline constexpr const char* kCGImagePropertyTIFFOrientation = "Orientation";
inline constexpr const char* kCGImagePropertyTIFFMake = "Make";
inline constexpr const char* kCGImagePropertyTIFFModel = "Model";
inline constexpr const char* kCGImagePropertyTIFFSoftware = "Software";
inline constexpr const char* kCGImagePropertyTIFFDateTime = "DateTime";
inline constexpr const char* kCGImagePropertyTIFFXResolution = "XResolution";
inline constexpr const char* kCGImagePropertyTIFFYResolution = "YResolution";
inline constexpr const char* kCGImagePropertyTIFFResolutionUnit = "ResolutionUnit";

// GPS dictionary. Latitude, longitude, altitude and track are non-negative reals with their
// reference letters or flag; time stamp "HH:mm:ss.SSSSSS" and date stamp "yyyy:MM:dd" are UTC.
inline constexpr const char* kCGImagePropertyGPSLatitudeRef = "LatitudeRef";
inline constexpr const char* kCGImagePropertyGPSLatitude = "Latitude";
inline constexpr const char* kCGImagePropertyGPSLongitudeRef = "LongitudeRef";
inline constexpr const char* kCGImagePropertyGPSLongitude = "Longitude";
inline constexpr const char* kCGImagePropertyGPSAltitudeRef = "AltitudeRef";
inline constexpr const char* kCGImagePropertyGPSAltitude = "Altitude";
inline constexpr const char* kCGImagePropertyGPSTimeStamp = "TimeStamp";
inline constexpr const char* kCGImagePropertyGPSDateStamp = "DateStamp";
inline constexpr const char* kCGImagePropertyGPSTrackRef = "TrackRef";
inline constexpr const char* kCGImagePropertyGPSTrack = "Track";

}  // namespace hx::image

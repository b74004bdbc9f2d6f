#include "platform/image/metadata/GpsTags.h"

#include <exiv2/exiv2.hpp>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <string>

#include "platform/image/metadata/ExifMapping.h"
#include "platform/image/metadata/ExifTagNames.h"
#include "platform/image/metadata/ExifValues.h"

namespace hx::image::metadata::detail {
namespace {

constexpr int64_t kMicro = 1'000'000;

struct Coordinate {
    const char* key;
    const char* refKey;
    char positive;
    char negative;
    double maximum;
};
constexpr Coordinate kCoordinates[] = {
    {"Latitude", "LatitudeRef", 'N', 'S', 90.0},
    {"Longitude", "LongitudeRef", 'E', 'W', 180.0},
    {"DestLatitude", "DestLatitudeRef", 'N', 'S', 90.0},
    {"DestLongitude", "DestLongitudeRef", 'E', 'W', 180.0},
};

bool isCoordinateKey(const std::string& key) {
    for (const Coordinate& c : kCoordinates)
        if (key == c.key || key == c.refKey) return true;
    return false;
}

// Keys written by the code below rather than through the generic tag conversion.
bool isSpecialKey(const std::string& key) {
    return isCoordinateKey(key) || key == "Altitude" || key == "AltitudeRef" ||
           key == "TimeStamp" || key == "GPSVersion" || key == "GPSVersionID";
}

Exiv2::URational reduced(int64_t numerator, int64_t denominator) {
    const int64_t divisor = std::gcd(numerator, denominator);
    if (divisor > 1) numerator /= divisor, denominator /= divisor;
    return {static_cast<uint32_t>(numerator), static_cast<uint32_t>(denominator)};
}

void setGpsTag(Exiv2::ExifData& exif, const char* key, const Exiv2::Value& value) {
    if (const Exiv2::TagInfo* tag = tagForKey(ExifGroup::Gps, key)) setTag(exif, *tag, value);
}

// Whole degrees, whole minutes and seconds in millionths, from the absolute value.
void addCoordinate(const PropertyDictionary& gps, const Coordinate& c, Exiv2::ExifData& exif) {
    const std::optional<double> degrees = gps.real(c.key);
    if (!degrees || !std::isfinite(*degrees) || std::fabs(*degrees) > c.maximum) return;
    char ref = c.positive;
    if (*degrees < 0) {
        ref = c.negative;
    } else if (auto given = gps.string(c.refKey); given && !given->empty()) {
        const char letter = char(std::toupper(static_cast<unsigned char>((*given)[0])));
        if (letter == c.negative) ref = c.negative;
    }
    const int64_t arcMicroseconds = std::llround(std::fabs(*degrees) * 3600.0 * kMicro);
    const int64_t wholeDegrees = arcMicroseconds / (3600 * kMicro);
    const int64_t wholeMinutes = arcMicroseconds / (60 * kMicro) % 60;
    const int64_t secondsMicro = arcMicroseconds % (60 * kMicro);
    Exiv2::URationalValue value;
    value.value_ = {reduced(wholeDegrees, 1), reduced(wholeMinutes, 1),
                    reduced(secondsMicro, kMicro)};
    setGpsTag(exif, c.refKey, asciiText(std::string(1, ref)));
    setGpsTag(exif, c.key, value);
}

void addAltitude(const PropertyDictionary& gps, Exiv2::ExifData& exif) {
    const std::optional<double> altitude = gps.real("Altitude");
    if (!altitude || !std::isfinite(*altitude)) return;
    const auto fraction = approximateRational(std::fabs(*altitude), 0xffffffffLL);
    if (!fraction) return;
    const bool below = *altitude < 0 || gps.integer("AltitudeRef").value_or(0) == 1;
    Exiv2::DataValue ref(Exiv2::unsignedByte);
    const Exiv2::byte refByte = below ? 1 : 0;
    ref.read(&refByte, 1);
    Exiv2::URationalValue value;
    value.value_ = {reduced(fraction->first, fraction->second)};
    setGpsTag(exif, "AltitudeRef", ref);
    setGpsTag(exif, "Altitude", value);
}

// Reads "H:M:S" with an optional fraction of up to six digits, as microseconds of the day.
std::optional<int64_t> parseTimeStamp(const std::string& text) {
    int64_t parts[3] = {0, 0, 0};
    size_t i = 0;
    for (int part = 0; part < 3; ++part) {
        if (part > 0) {
            if (i >= text.size() || text[i] != ':') return std::nullopt;
            ++i;
        }
        const size_t start = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) &&
               i - start < 2)
            parts[part] = parts[part] * 10 + (text[i++] - '0');
        if (i == start) return std::nullopt;
    }
    int64_t micro = 0;
    if (i < text.size() && text[i] == '.') {
        ++i;
        int64_t scale = kMicro;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            scale /= 10;
            micro += (text[i++] - '0') * scale;
        }
    }
    if (i != text.size() || parts[0] > 24 || parts[1] > 59 || parts[2] > 60) return std::nullopt;
    return ((parts[0] * 60 + parts[1]) * 60 + parts[2]) * kMicro + micro;
}

void addTimeStamp(const PropertyDictionary& gps, Exiv2::ExifData& exif) {
    const std::optional<std::string> text = gps.string("TimeStamp");
    if (!text) return;
    const std::optional<int64_t> micro = parseTimeStamp(*text);
    if (!micro) return;
    const int64_t minutesOfDay = *micro / (60 * kMicro);
    Exiv2::URationalValue value;
    value.value_ = {reduced(minutesOfDay / 60, 1), reduced(minutesOfDay % 60, 1),
                    reduced(*micro % (60 * kMicro), kMicro)};
    setGpsTag(exif, "TimeStamp", value);
}

std::optional<double> degreesFromValue(const Exiv2::Value& value) {
    const auto parts = rationalComponents(value);
    if (!parts || parts->empty() || parts->size() > 3) return std::nullopt;
    double degrees = 0;
    double scale = 1;
    for (double part : *parts) {
        degrees += part / scale;
        scale *= 60;
    }
    return degrees;
}

std::optional<std::string> timeStampFromValue(const Exiv2::Value& value) {
    const auto parts = rationalComponents(value);
    if (!parts || parts->size() != 3) return std::nullopt;
    const double seconds = (*parts)[0] * 3600 + (*parts)[1] * 60 + (*parts)[2];
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 90000) return std::nullopt;
    const int64_t micro = std::llround(seconds * kMicro);
    const int64_t wholeSeconds = micro / kMicro;
    char text[32];
    std::snprintf(
        text, sizeof text, "%02lld:%02lld:%02lld.%06lld",
        static_cast<long long>(wholeSeconds / 3600), static_cast<long long>(wholeSeconds / 60 % 60),
        static_cast<long long>(wholeSeconds % 60), static_cast<long long>(micro % kMicro));
    return std::string(text);
}

}  // namespace

void addGpsTags(const PropertyDictionary& gps, Exiv2::ExifData& exif) {
    const long before = exif.count();
    for (const Coordinate& c : kCoordinates) addCoordinate(gps, c, exif);
    addAltitude(gps, exif);
    addTimeStamp(gps, exif);
    for (const auto& [key, value] : gps) {
        if (isSpecialKey(key)) continue;
        const Exiv2::TagInfo* tag = tagForKey(ExifGroup::Gps, key);
        if (tag == nullptr) continue;
        if (auto converted = exifValue(value, *tag)) setTag(exif, *tag, *converted);
    }
    if (exif.count() == before) return;
    Exiv2::DataValue version(Exiv2::unsignedByte);
    const Exiv2::byte versionBytes[4] = {2, 2, 0, 0};
    version.read(versionBytes, 4);
    setGpsTag(exif, "GPSVersion", version);
}

PropertyDictionary gpsProperties(const Exiv2::ExifData& exif, Exiv2::ByteOrder byteOrder) {
    PropertyDictionary gps;
    for (const Exiv2::Exifdatum& datum : exif) {
        if (datum.groupName() != "GPSInfo") continue;
        const Exiv2::TagInfo* tag = carriedTag(ExifGroup::Gps, datum.tag());
        if (tag == nullptr || datum.count() == 0) continue;
        const std::string key = keyForTag(ExifGroup::Gps, datum.tag());
        const Exiv2::Value& value = datum.value();
        std::optional<PropertyValue> property;
        if (key == "Latitude" || key == "Longitude" || key == "DestLatitude" ||
            key == "DestLongitude") {
            if (auto degrees = degreesFromValue(value)) property = PropertyValue(*degrees);
        } else if (key == "TimeStamp") {
            if (auto text = timeStampFromValue(value)) property = PropertyValue(*text);
        } else {
            property = propertyValue(value, *tag, byteOrder);
        }
        if (property) gps.set(key, std::move(*property));
    }
    return gps;
}

}  // namespace hx::image::metadata::detail

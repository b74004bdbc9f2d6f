#pragma once
// Conversion of single property values to exiv2 values of a tag's Exif type and back.

#include <exiv2/tags.hpp>
#include <exiv2/value.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "platform/image/PropertyDictionary.h"

namespace hx::image::metadata::detail {

// The fraction closest to `value` whose numerator and denominator stay within `limit`
// (continued fractions, so 0.5, 1/120 and 1.8 come out as 1/2, 1/120 and 9/5). Negative values
// give a negative numerator. Nullopt for values that are not finite or do not fit.
std::optional<std::pair<int64_t, int64_t>> approximateRational(double value, int64_t limit);

// A value of the tag's Exif type holding `value`: numbers or lists of numbers for integer,
// rational and floating-point types, text for ASCII and comments, text, an integer or a list of
// bytes for undefined and byte types. Version fields also accept a list of digits as given by
// the platform ((2, 3, 2) for "0232"). Null when the value cannot be stored in that type.
std::unique_ptr<Exiv2::Value> exifValue(const PropertyValue& value, const Exiv2::TagInfo& tag);

// The property form of a stored value, guided by its tag: integers, reals, text, version
// fields as text, and lists for tags that may hold several values. Nullopt for values that
// cannot be expressed (no elements, a zero denominator, an unsupported type). `byteOrder` is
// that of the data the value was read from; comments in UCS-2 need it.
std::optional<PropertyValue> propertyValue(const Exiv2::Value& value, const Exiv2::TagInfo& tag,
                                           Exiv2::ByteOrder byteOrder);

// An ASCII value with its terminating NUL.
Exiv2::AsciiValue asciiText(const std::string& text);

// The real value of a rational, or nullopt for a zero denominator.
std::optional<double> rationalToReal(int64_t numerator, int64_t denominator);

// All components of a rational value (signed or unsigned) as reals; nullopt when the value is
// not rational or a denominator is zero.
std::optional<std::vector<double>> rationalComponents(const Exiv2::Value& value);

}  // namespace hx::image::metadata::detail

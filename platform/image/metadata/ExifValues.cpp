#include "platform/image/metadata/ExifValues.h"

#include <exiv2/exiv2.hpp>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace hx::image::metadata::detail {
namespace {

constexpr int64_t kUnsignedRationalLimit = std::numeric_limits<uint32_t>::max();
constexpr int64_t kSignedRationalLimit = std::numeric_limits<int32_t>::max();

// The numbers of a scalar or of a list of numbers; nullopt for anything else.
std::optional<std::vector<PropertyValue>> numbers(const PropertyValue& value) {
    if (value.isNumber()) return std::vector<PropertyValue>{value};
    const PropertyValue::List* list = value.list();
    if (list == nullptr || list->empty()) return std::nullopt;
    for (const PropertyValue& item : *list)
        if (!item.isNumber()) return std::nullopt;
    return *list;
}

template <typename T>
std::unique_ptr<Exiv2::Value> integerValue(const PropertyValue& value) {
    auto items = numbers(value);
    if (!items) return nullptr;
    auto result = std::make_unique<Exiv2::ValueType<T>>();
    for (const PropertyValue& item : *items) {
        const std::optional<int64_t> n = item.integer();
        if (!n || *n < int64_t(std::numeric_limits<T>::min()) ||
            *n > int64_t(std::numeric_limits<T>::max()))
            return nullptr;
        result->value_.push_back(static_cast<T>(*n));
    }
    return result;
}

template <typename RationalType, typename Component>
std::unique_ptr<Exiv2::Value> rationalValue(const PropertyValue& value, int64_t limit) {
    auto items = numbers(value);
    if (!items) return nullptr;
    auto result = std::make_unique<Exiv2::ValueType<RationalType>>();
    for (const PropertyValue& item : *items) {
        const double real = *item.real();
        if (std::is_unsigned_v<Component> && real < 0) return nullptr;
        const auto fraction = approximateRational(real, limit);
        if (!fraction) return nullptr;
        result->value_.emplace_back(static_cast<Component>(fraction->first),
                                    static_cast<Component>(fraction->second));
    }
    return result;
}

template <typename T>
std::unique_ptr<Exiv2::Value> floatingValue(const PropertyValue& value) {
    auto items = numbers(value);
    if (!items) return nullptr;
    auto result = std::make_unique<Exiv2::ValueType<T>>();
    for (const PropertyValue& item : *items) result->value_.push_back(static_cast<T>(*item.real()));
    return result;
}

bool isVersionField(const Exiv2::TagInfo& tag) {
    const std::string name = tag.name_ != nullptr ? tag.name_ : "";
    return tag.typeId_ == Exiv2::undefined && tag.count_ == 4 && name.size() > 7 &&
           name.compare(name.size() - 7, 7, "Version") == 0;
}

// (2, 3, 2) -> "0232", (1, 0) -> "0100": the major number takes two digits, the others one.
std::optional<std::string> versionFromDigits(const PropertyValue::List& digits) {
    if (digits.empty() || digits.size() > 3) return std::nullopt;
    std::string text;
    for (size_t i = 0; i < digits.size(); ++i) {
        const std::optional<int64_t> digit = digits[i].integer();
        if (!digit || *digit < 0 || *digit > (i == 0 ? 99 : 9)) return std::nullopt;
        char part[4];
        std::snprintf(part, sizeof part, i == 0 ? "%02d" : "%d", int(*digit));
        text += part;
    }
    while (text.size() < 4) text += '0';
    return text;
}

std::unique_ptr<Exiv2::Value> byteValue(const PropertyValue& value, const Exiv2::TagInfo& tag) {
    std::vector<Exiv2::byte> bytes;
    if (const std::string* text = value.string()) {
        bytes.assign(text->begin(), text->end());
    } else if (isVersionField(tag) && value.list() != nullptr) {
        const auto text = versionFromDigits(*value.list());
        if (!text) return nullptr;
        bytes.assign(text->begin(), text->end());
    } else {
        auto items = numbers(value);
        if (!items) return nullptr;
        for (const PropertyValue& item : *items) {
            const std::optional<int64_t> n = item.integer();
            if (!n || *n < 0 || *n > 255) return nullptr;
            bytes.push_back(static_cast<Exiv2::byte>(*n));
        }
    }
    if (bytes.empty()) return nullptr;
    return std::make_unique<Exiv2::DataValue>(bytes.data(), long(bytes.size()),
                                              Exiv2::invalidByteOrder, tag.typeId_);
}

std::unique_ptr<Exiv2::Value> asciiValue(const PropertyValue& value) {
    const std::string* text = value.string();
    if (text == nullptr && !value.isNumber()) return nullptr;
    return std::make_unique<Exiv2::AsciiValue>(asciiText(text ? *text : value.description()));
}

std::unique_ptr<Exiv2::Value> commentValue(const PropertyValue& value) {
    const std::string* text = value.string();
    if (text == nullptr) return nullptr;
    bool ascii = true;
    for (unsigned char c : *text) ascii = ascii && c < 0x80;
    auto result = std::make_unique<Exiv2::CommentValue>();
    if (result->read((ascii ? "charset=Ascii " : "charset=Unicode ") + *text) != 0) return nullptr;
    return result;
}

PropertyValue commentText(const Exiv2::CommentValue& comment) {
    std::string text = comment.comment();
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return PropertyValue(std::move(text));
}

std::optional<PropertyValue> scalarOrList(PropertyValue::List items, const Exiv2::TagInfo& tag) {
    if (items.empty()) return std::nullopt;
    if (items.size() == 1 && tag.count_ == 1) return items.front();
    return PropertyValue(std::move(items));
}

}  // namespace

Exiv2::AsciiValue asciiText(const std::string& text) {
    // read() adds the terminating NUL that Exif counts as part of the value; the constructor
    // would leave it out.
    Exiv2::AsciiValue value;
    value.read(text);
    return value;
}

std::optional<std::pair<int64_t, int64_t>> approximateRational(double value, int64_t limit) {
    if (!std::isfinite(value) || limit < 1) return std::nullopt;
    const double target = std::fabs(value);
    if (target > double(limit)) return std::nullopt;
    // Convergents h/k of the continued fraction of `target`.
    int64_t h0 = 0, h1 = 1, k0 = 1, k1 = 0;
    double rest = target;
    for (int step = 0; step < 64; ++step) {
        const double whole = std::floor(rest);
        if (whole > double(limit)) break;
        const auto a = static_cast<int64_t>(whole);
        if (h1 != 0 && a > (limit - h0) / h1) break;
        if (k1 != 0 && a > (limit - k0) / k1) break;
        const int64_t h2 = a * h1 + h0, k2 = a * k1 + k0;
        h0 = h1, h1 = h2, k0 = k1, k1 = k2;
        const double fraction = rest - whole;
        if (fraction < 1e-15 || std::fabs(double(h1) / double(k1) - target) <= target * 1e-12)
            break;
        rest = 1.0 / fraction;
    }
    if (k1 == 0) return std::nullopt;
    return std::make_pair(value < 0 ? -h1 : h1, k1);
}

std::optional<double> rationalToReal(int64_t numerator, int64_t denominator) {
    if (denominator == 0) return std::nullopt;
    return double(numerator) / double(denominator);
}

std::optional<std::vector<double>> rationalComponents(const Exiv2::Value& value) {
    std::vector<double> result;
    if (auto* unsignedValue = dynamic_cast<const Exiv2::URationalValue*>(&value)) {
        for (const auto& [n, d] : unsignedValue->value_) {
            auto real = rationalToReal(n, d);
            if (!real) return std::nullopt;
            result.push_back(*real);
        }
    } else if (auto* signedValue = dynamic_cast<const Exiv2::RationalValue*>(&value)) {
        for (const auto& [n, d] : signedValue->value_) {
            auto real = rationalToReal(n, d);
            if (!real) return std::nullopt;
            result.push_back(*real);
        }
    } else {
        return std::nullopt;
    }
    return result;
}

std::unique_ptr<Exiv2::Value> exifValue(const PropertyValue& value, const Exiv2::TagInfo& tag) {
    switch (tag.typeId_) {
        case Exiv2::asciiString:
            return asciiValue(value);
        case Exiv2::comment:
            return commentValue(value);
        case Exiv2::unsignedByte:
        case Exiv2::signedByte:
        case Exiv2::undefined:
            return byteValue(value, tag);
        case Exiv2::unsignedShort:
            return integerValue<uint16_t>(value);
        case Exiv2::unsignedLong:
            return integerValue<uint32_t>(value);
        case Exiv2::signedShort:
            return integerValue<int16_t>(value);
        case Exiv2::signedLong:
            return integerValue<int32_t>(value);
        case Exiv2::unsignedRational:
            return rationalValue<Exiv2::URational, uint32_t>(value, kUnsignedRationalLimit);
        case Exiv2::signedRational:
            return rationalValue<Exiv2::Rational, int32_t>(value, kSignedRationalLimit);
        case Exiv2::tiffFloat:
            return floatingValue<float>(value);
        case Exiv2::tiffDouble:
            return floatingValue<double>(value);
        default:
            return nullptr;
    }
}

std::optional<PropertyValue> propertyValue(const Exiv2::Value& value, const Exiv2::TagInfo& tag,
                                           Exiv2::ByteOrder byteOrder) {
    const long count = value.count();
    PropertyValue::List items;
    switch (value.typeId()) {
        case Exiv2::asciiString:
            return PropertyValue(value.toString());
        case Exiv2::comment:
            if (auto* comment = dynamic_cast<const Exiv2::CommentValue*>(&value))
                return commentText(*comment);
            return std::nullopt;
        case Exiv2::unsignedByte:
        case Exiv2::signedByte:
        case Exiv2::undefined: {
            // Comments are stored as undefined bytes behind an 8-byte character set code.
            if (tag.typeId_ == Exiv2::comment) {
                std::vector<Exiv2::byte> bytes(static_cast<size_t>(value.size()));
                if (!bytes.empty()) value.copy(bytes.data(), byteOrder);
                Exiv2::CommentValue comment;
                comment.read(bytes.data(), long(bytes.size()), byteOrder);
                return commentText(comment);
            }
            if (isVersionField(tag) && count == 4) {
                std::string text;
                for (long i = 0; i < count; ++i) text += static_cast<char>(value.toLong(i));
                return PropertyValue(text);
            }
            for (long i = 0; i < count; ++i) items.emplace_back(int64_t(value.toLong(i)));
            return scalarOrList(std::move(items), tag);
        }
        case Exiv2::unsignedShort:
        case Exiv2::unsignedLong:
        case Exiv2::signedShort:
        case Exiv2::signedLong:
            for (long i = 0; i < count; ++i) items.emplace_back(int64_t(value.toLong(i)));
            return scalarOrList(std::move(items), tag);
        case Exiv2::unsignedRational:
        case Exiv2::signedRational: {
            auto components = rationalComponents(value);
            if (!components) return std::nullopt;
            for (double component : *components) items.emplace_back(component);
            return scalarOrList(std::move(items), tag);
        }
        case Exiv2::tiffFloat:
            for (long i = 0; i < count; ++i) items.emplace_back(double(value.toFloat(i)));
            return scalarOrList(std::move(items), tag);
        case Exiv2::tiffDouble:
            if (auto* doubles = dynamic_cast<const Exiv2::DoubleValue*>(&value))
                for (double d : doubles->value_) items.emplace_back(d);
            return scalarOrList(std::move(items), tag);
        default:
            return std::nullopt;
    }
}

}  // namespace hx::image::metadata::detail

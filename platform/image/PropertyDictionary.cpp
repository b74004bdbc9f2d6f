#include "platform/image/PropertyDictionary.h"

#include <cmath>
#include <cstdio>

namespace hx::image {

PropertyValue::PropertyValue(PropertyDictionary v)
    : value_(std::make_shared<const PropertyDictionary>(std::move(v))) {}

bool PropertyValue::isDictionary() const {
    return std::holds_alternative<std::shared_ptr<const PropertyDictionary>>(value_);
}

const PropertyDictionary* PropertyValue::dictionary() const {
    auto* p = std::get_if<std::shared_ptr<const PropertyDictionary>>(&value_);
    return p ? p->get() : nullptr;
}

std::optional<int64_t> PropertyValue::integer() const {
    if (auto* i = std::get_if<int64_t>(&value_)) return *i;
    if (auto* d = std::get_if<double>(&value_); d && std::isfinite(*d) && std::fabs(*d) < 9.2e18)
        return int64_t(std::llround(*d));
    return std::nullopt;
}

std::optional<double> PropertyValue::real() const {
    if (auto* d = std::get_if<double>(&value_)) return *d;
    if (auto* i = std::get_if<int64_t>(&value_)) return double(*i);
    return std::nullopt;
}

bool PropertyValue::operator==(const PropertyValue& other) const {
    if (isDictionary() && other.isDictionary()) return *dictionary() == *other.dictionary();
    return value_ == other.value_;
}

std::string PropertyValue::description() const {
    if (auto* i = std::get_if<int64_t>(&value_)) return std::to_string(*i);
    if (auto* d = std::get_if<double>(&value_)) {
        char text[32];
        std::snprintf(text, sizeof text, "%.10g", *d);
        return text;
    }
    if (auto* s = std::get_if<std::string>(&value_)) return "\"" + *s + "\"";
    if (auto* dict = dictionary()) return dict->description();
    std::string text = "(";
    for (const auto& item : *list()) text += (text.size() > 1 ? ", " : "") + item.description();
    return text + ")";
}

const PropertyValue* PropertyDictionary::find(const std::string& key) const {
    auto it = values_.find(key);
    return it == values_.end() ? nullptr : &it->second;
}

std::optional<int64_t> PropertyDictionary::integer(const std::string& key) const {
    const PropertyValue* v = find(key);
    return v ? v->integer() : std::nullopt;
}

std::optional<double> PropertyDictionary::real(const std::string& key) const {
    const PropertyValue* v = find(key);
    return v ? v->real() : std::nullopt;
}

std::optional<std::string> PropertyDictionary::string(const std::string& key) const {
    const PropertyValue* v = find(key);
    if (!v || !v->string()) return std::nullopt;
    return *v->string();
}

PropertyDictionary PropertyDictionary::dictionary(const std::string& key) const {
    const PropertyValue* v = find(key);
    return v && v->dictionary() ? *v->dictionary() : PropertyDictionary{};
}

void PropertyDictionary::merge(const PropertyDictionary& other) {
    for (const auto& [key, value] : other) values_[key] = value;
}

std::string PropertyDictionary::description() const {
    std::string text = "{";
    for (const auto& [key, value] : values_)
        text += (text.size() > 1 ? ", " : "") + key + " = " + value.description();
    return text + "}";
}

}  // namespace hx::image

#include "platform/defaults/DefaultsValue.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace hx {

namespace {

std::string_view skipBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return text;
}

std::string_view trimTrailingBlanks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Leading integer of a string, the way a user's "12 seconds" or "3.7" is read: the digits up to
// the first character that cannot continue the number.
std::int64_t leadingInteger(std::string_view text) {
    text = skipBlanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range)
        return !text.empty() && text.front() == '-' ? std::numeric_limits<std::int64_t>::min()
                                                    : std::numeric_limits<std::int64_t>::max();
    return error == std::errc() ? value : 0;
}

float leadingFloat(std::string_view text) {
    text = skipBlanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    float value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() ? value : 0.0f;
}

std::int64_t truncatedInteger(float value) {
    if (std::isnan(value)) return 0;
    // 2^63 is exactly representable as a float; anything at or beyond it saturates.
    constexpr float limit = 9223372036854775808.0f;
    if (value >= limit) return std::numeric_limits<std::int64_t>::max();
    if (value < -limit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

std::string floatText(float value) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string("0");
}

}  // namespace

std::int64_t DefaultsValue::integerValue() const {
    switch (type()) {
        case Type::Integer:
            return std::get<std::int64_t>(value_);
        case Type::Float:
            return truncatedInteger(std::get<float>(value_));
        case Type::Boolean:
            return std::get<bool>(value_) ? 1 : 0;
        case Type::String:
            return leadingInteger(std::get<std::string>(value_));
    }
    return 0;
}

float DefaultsValue::floatValue() const {
    switch (type()) {
        case Type::Integer:
            return static_cast<float>(std::get<std::int64_t>(value_));
        case Type::Float:
            return std::get<float>(value_);
        case Type::Boolean:
            return std::get<bool>(value_) ? 1.0f : 0.0f;
        case Type::String:
            return leadingFloat(std::get<std::string>(value_));
    }
    return 0;
}

bool DefaultsValue::boolValue() const {
    switch (type()) {
        case Type::Integer:
            return std::get<std::int64_t>(value_) != 0;
        case Type::Float:
            return std::get<float>(value_) != 0.0f;
        case Type::Boolean:
            return std::get<bool>(value_);
        case Type::String: {
            // "YES", "true", "t", "1", "007", "+4" read as true; "NO", "0", "", "-0" as false.
            std::string_view text = skipBlanks(std::get<std::string>(value_));
            if (!text.empty() && (text.front() == '+' || text.front() == '-'))
                text.remove_prefix(1);
            while (!text.empty() && text.front() == '0') text.remove_prefix(1);
            if (text.empty()) return false;
            char first = text.front();
            return first == 'Y' || first == 'y' || first == 'T' || first == 't' ||
                   (first >= '1' && first <= '9');
        }
    }
    return false;
}

std::string DefaultsValue::stringValue() const {
    switch (type()) {
        case Type::Integer:
            return std::to_string(std::get<std::int64_t>(value_));
        case Type::Float:
            return floatText(std::get<float>(value_));
        case Type::Boolean:
            return std::get<bool>(value_) ? "1" : "0";
        case Type::String:
            return std::get<std::string>(value_);
    }
    return {};
}

const char* typeName(DefaultsValue::Type type) {
    switch (type) {
        case DefaultsValue::Type::Integer:
            return "integer";
        case DefaultsValue::Type::Float:
            return "float";
        case DefaultsValue::Type::Boolean:
            return "boolean";
        case DefaultsValue::Type::String:
            return "string";
    }
    return "unknown";
}

std::string DefaultsValue::serialized() const {
    std::string text = typeName(type());
    text += ' ';
    switch (type()) {
        case Type::Integer:
            text += std::to_string(std::get<std::int64_t>(value_));
            break;
        case Type::Float:
            text += floatText(std::get<float>(value_));
            break;
        case Type::Boolean:
            text += std::get<bool>(value_) ? "true" : "false";
            break;
        case Type::String:
            text += quoteString(std::get<std::string>(value_));
            break;
    }
    return text;
}

std::optional<DefaultsValue> DefaultsValue::parse(std::string_view text) {
    text = trimTrailingBlanks(skipBlanks(text));
    size_t space = text.find_first_of(" \t");
    if (space == std::string_view::npos) return std::nullopt;
    std::string_view type = text.substr(0, space);
    std::string_view rest = skipBlanks(text.substr(space));
    const char* first = rest.data();
    const char* last = rest.data() + rest.size();

    if (type == "integer") {
        std::int64_t value = 0;
        auto [end, error] = std::from_chars(first, last, value);
        if (error != std::errc() || end != last) return std::nullopt;
        return DefaultsValue(value);
    }
    if (type == "float") {
        float value = 0;
        auto [end, error] = std::from_chars(first, last, value);
        if (error != std::errc() || end != last) return std::nullopt;
        return DefaultsValue(value);
    }
    if (type == "boolean") {
        if (rest == "true" || rest == "yes") return DefaultsValue(true);
        if (rest == "false" || rest == "no") return DefaultsValue(false);
        return std::nullopt;
    }
    if (type == "string") {
        std::optional<std::string> value = unquoteString(rest);
        if (!value || !rest.empty()) return std::nullopt;
        return DefaultsValue(std::move(*value));
    }
    return std::nullopt;
}

}  // namespace hx

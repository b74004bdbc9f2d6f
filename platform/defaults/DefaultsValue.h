#pragma once
// One value of the user-defaults store: an integer, a float, a boolean or a string. Reading a
// value as another type converts it the way the store's readers expect (a float read as an
// integer is truncated, the string "YES" reads as true, a number read as a string is its text).
//
// Threads: a plain value type; copies may be used on any thread.

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/paths/KeyValueLines.h"

namespace hx {

class DefaultsValue {
  public:
    enum class Type { Integer, Float, Boolean, String };

    DefaultsValue() : value_(std::int64_t{0}) {}
    DefaultsValue(bool value) : value_(value) {}
    template <std::integral T>
    requires(!std::same_as<T, bool>) DefaultsValue(T value)
        : value_(static_cast<std::int64_t>(value)) {}
    DefaultsValue(float value) : value_(value) {}
    // The store's floats are 32-bit; a double is kept as the nearest float.
    DefaultsValue(double value) : value_(static_cast<float>(value)) {}
    DefaultsValue(std::string value) : value_(std::move(value)) {}
    DefaultsValue(const char* value) : value_(std::string(value ? value : "")) {}

    Type type() const { return static_cast<Type>(value_.index()); }

    std::int64_t integerValue() const;
    float floatValue() const;
    bool boolValue() const;
    std::string stringValue() const;

    // The value as written in the defaults file: the type's name, a space, then the value
    // ("integer 3", "float -0.33333334", "boolean true", "string \"a \\\"b\\\"\"").
    std::string serialized() const;
    // Reads what serialized() writes; nothing when the text is not exactly one value.
    static std::optional<DefaultsValue> parse(std::string_view text);

    friend bool operator==(const DefaultsValue&, const DefaultsValue&) = default;

  private:
    // Order matches Type.
    std::variant<std::int64_t, float, bool, std::string> value_;
};

const char* typeName(DefaultsValue::Type type);

// Strings are written quoted, one line each, as the line files' keys are.
using paths::quoteString;
using paths::unquoteString;

}  // namespace hx

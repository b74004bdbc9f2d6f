#pragma once
// A value of an interface file: null, a boolean, a number, a string, a list or an object whose
// members keep the order in which the file wrote them. Every value remembers the line it started
// on, so that a message about it can point into the file.
//
// Threads: plain data; a value may be read from several threads at once.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hx::ui {

class InterfaceValue {
  public:
    enum class Kind { Null, Boolean, Number, String, List, Object };
    using Member = std::pair<std::string, InterfaceValue>;

    InterfaceValue() = default;
    static InterfaceValue boolean(bool value, int line = 0);
    static InterfaceValue number(double value, int line = 0);
    static InterfaceValue string(std::string value, int line = 0);
    static InterfaceValue list(std::vector<InterfaceValue> items, int line = 0);
    static InterfaceValue object(std::vector<Member> members, int line = 0);

    Kind kind() const { return kind_; }
    int line() const { return line_; }
    bool isNull() const { return kind_ == Kind::Null; }
    bool isBoolean() const { return kind_ == Kind::Boolean; }
    bool isNumber() const { return kind_ == Kind::Number; }
    bool isString() const { return kind_ == Kind::String; }
    bool isList() const { return kind_ == Kind::List; }
    bool isObject() const { return kind_ == Kind::Object; }

    // The value itself; the neutral value (false, 0, "", empty) for another kind.
    bool asBoolean() const { return kind_ == Kind::Boolean && boolean_; }
    double asNumber() const { return kind_ == Kind::Number ? number_ : 0; }
    const std::string& asString() const { return string_; }
    const std::vector<InterfaceValue>& items() const { return items_; }
    const std::vector<Member>& members() const { return members_; }

    // The member of an object with that name; null when absent or not an object.
    const InterfaceValue* member(std::string_view name) const;

    // A list of exactly `count` numbers, else nothing.
    std::optional<std::vector<double>> numbers(std::size_t count) const;

    // "a number", "a list", ... for messages.
    static const char* describe(Kind kind);

  private:
    Kind kind_ = Kind::Null;
    int line_ = 0;
    bool boolean_ = false;
    double number_ = 0;
    std::string string_;
    std::vector<InterfaceValue> items_;
    std::vector<Member> members_;
};

// Reads JSON text (RFC 8259, by nlohmann-json; objects keep their member order, a repeated
// member name is an error). Nothing, with "line L, column C: reason" in error, when the text is
// not valid JSON.
std::optional<InterfaceValue> parseInterfaceJson(std::string_view text,
                                                 std::string* error = nullptr);

}  // namespace hx::ui

#include "platform/ui/interface/InterfaceValue.h"

namespace hx::ui {

InterfaceValue InterfaceValue::boolean(bool value, int line) {
    InterfaceValue result;
    result.kind_ = Kind::Boolean;
    result.boolean_ = value;
    result.line_ = line;
    return result;
}

InterfaceValue InterfaceValue::number(double value, int line) {
    InterfaceValue result;
    result.kind_ = Kind::Number;
    result.number_ = value;
    result.line_ = line;
    return result;
}

InterfaceValue InterfaceValue::string(std::string value, int line) {
    InterfaceValue result;
    result.kind_ = Kind::String;
    result.string_ = std::move(value);
    result.line_ = line;
    return result;
}

InterfaceValue InterfaceValue::list(std::vector<InterfaceValue> items, int line) {
    InterfaceValue result;
    result.kind_ = Kind::List;
    result.items_ = std::move(items);
    result.line_ = line;
    return result;
}

InterfaceValue InterfaceValue::object(std::vector<Member> members, int line) {
    InterfaceValue result;
    result.kind_ = Kind::Object;
    result.members_ = std::move(members);
    result.line_ = line;
    return result;
}

const InterfaceValue* InterfaceValue::member(std::string_view name) const {
    for (const Member& each : members_)
        if (each.first == name) return &each.second;
    return nullptr;
}

std::optional<std::vector<double>> InterfaceValue::numbers(std::size_t count) const {
    if (kind_ != Kind::List || items_.size() != count) return std::nullopt;
    std::vector<double> result;
    result.reserve(count);
    for (const InterfaceValue& item : items_) {
        if (!item.isNumber()) return std::nullopt;
        result.push_back(item.asNumber());
    }
    return result;
}

const char* InterfaceValue::describe(Kind kind) {
    switch (kind) {
        case Kind::Null:
            return "null";
        case Kind::Boolean:
            return "true or false";
        case Kind::Number:
            return "a number";
        case Kind::String:
            return "a string";
        case Kind::List:
            return "a list";
        case Kind::Object:
            return "an object";
    }
    return "a value";
}

}  // namespace hx::ui

#include "platform/ui/interface/InterfaceValueReaders.h"

#include <cmath>
#include <map>

namespace hx::ui {

namespace {

template <typename T>
std::optional<T> expected(const char* what, std::string* error) {
    if (error) *error = std::string("expected ") + what;
    return std::nullopt;
}

std::optional<std::vector<double>> readNumbers(const InterfaceValue& value, std::size_t count) {
    std::optional<std::vector<double>> numbers = value.numbers(count);
    if (!numbers) return std::nullopt;
    for (double n : *numbers)
        if (!std::isfinite(n)) return std::nullopt;
    return numbers;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<UIColor> hexColor(const std::string& text) {
    if ((text.size() != 7 && text.size() != 9) || text[0] != '#') return std::nullopt;
    double components[4] = {0, 0, 0, 1};
    for (std::size_t i = 0; i * 2 + 1 < text.size(); ++i) {
        int high = hexDigit(text[1 + i * 2]);
        int low = hexDigit(text[2 + i * 2]);
        if (high < 0 || low < 0) return std::nullopt;
        components[i] = (high * 16 + low) / 255.0;
    }
    return UIColor::colorWithRed(components[0], components[1], components[2], components[3]);
}

std::optional<UIColor> namedColor(const std::string& name) {
    static const std::map<std::string, UIColor> names = {
        {"clear", UIColor::clearColor()},
        {"black", UIColor::blackColor()},
        {"white", UIColor::whiteColor()},
        {"gray", UIColor::grayColor()},
        {"lightGray", UIColor::lightGrayColor()},
        {"darkGray", UIColor::darkGrayColor()},
        {"red", UIColor::redColor()},
        {"green", UIColor::greenColor()},
        {"blue", UIColor::blueColor()},
        {"yellow", UIColor::yellowColor()},
        {"orange", UIColor::orangeColor()},
        {"systemBlue", UIColor::systemBlueColor()},
    };
    auto it = names.find(name);
    if (it == names.end()) return std::nullopt;
    return it->second;
}

// A component between 0 and 1 of a colour object; `fallback` when absent.
std::optional<double> component(const InterfaceValue& object, const char* name, double fallback) {
    const InterfaceValue* value = object.member(name);
    if (!value) return fallback;
    if (!value->isNumber() || value->asNumber() < 0 || value->asNumber() > 1) return std::nullopt;
    return value->asNumber();
}

}  // namespace

std::optional<double> readNumber(const InterfaceValue& value, std::string* error) {
    if (!value.isNumber()) return expected<double>("a number", error);
    return value.asNumber();
}

std::optional<bool> readBoolean(const InterfaceValue& value, std::string* error) {
    if (!value.isBoolean()) return expected<bool>("true or false", error);
    return value.asBoolean();
}

std::optional<std::string> readString(const InterfaceValue& value, std::string* error) {
    if (!value.isString()) return expected<std::string>("a string", error);
    return value.asString();
}

std::optional<CGRect> readRect(const InterfaceValue& value, std::string* error) {
    auto n = readNumbers(value, 4);
    if (!n) return expected<CGRect>("[x, y, width, height]", error);
    return CGRectMake((*n)[0], (*n)[1], (*n)[2], (*n)[3]);
}

std::optional<CGPoint> readPoint(const InterfaceValue& value, std::string* error) {
    auto n = readNumbers(value, 2);
    if (!n) return expected<CGPoint>("[x, y]", error);
    return CGPointMake((*n)[0], (*n)[1]);
}

std::optional<CGSize> readSize(const InterfaceValue& value, std::string* error) {
    auto n = readNumbers(value, 2);
    if (!n) return expected<CGSize>("[width, height]", error);
    return CGSizeMake((*n)[0], (*n)[1]);
}

std::optional<UIEdgeInsets> readInsets(const InterfaceValue& value, std::string* error) {
    auto n = readNumbers(value, 4);
    if (!n) return expected<UIEdgeInsets>("[top, left, bottom, right]", error);
    return UIEdgeInsetsMake((*n)[0], (*n)[1], (*n)[2], (*n)[3]);
}

std::optional<UIColor> readColor(const InterfaceValue& value, std::string* error) {
    constexpr const char* kColorForms =
        "a colour: \"#rrggbb\", \"#rrggbbaa\", a colour name, {\"white\": w, \"alpha\": a} or "
        "{\"red\": r, \"green\": g, \"blue\": b, \"alpha\": a} with components from 0 to 1";
    if (value.isString()) {
        if (auto color = hexColor(value.asString())) return color;
        if (auto color = namedColor(value.asString())) return color;
        return expected<UIColor>(kColorForms, error);
    }
    if (!value.isObject()) return expected<UIColor>(kColorForms, error);
    for (const auto& [key, member] : value.members()) {
        if (key != "white" && key != "red" && key != "green" && key != "blue" && key != "alpha")
            return expected<UIColor>(kColorForms, error);
    }
    auto alpha = component(value, "alpha", 1);
    if (value.member("white")) {
        auto white = component(value, "white", 0);
        if (!white || !alpha || value.member("red") || value.member("green") ||
            value.member("blue"))
            return expected<UIColor>(kColorForms, error);
        return UIColor::colorWithWhite(*white, *alpha);
    }
    auto red = component(value, "red", 0);
    auto green = component(value, "green", 0);
    auto blue = component(value, "blue", 0);
    if (!red || !green || !blue || !alpha) return expected<UIColor>(kColorForms, error);
    return UIColor::colorWithRed(*red, *green, *blue, *alpha);
}

std::optional<UIFont> readFont(const InterfaceValue& value, std::string* error) {
    constexpr const char* kFontForms =
        "a font: {\"system\": size}, {\"bold\": size} or {\"name\": family, \"size\": size}, "
        "with a size above 0";
    if (!value.isObject() || value.members().empty()) return expected<UIFont>(kFontForms, error);
    auto positive = [](const InterfaceValue* size) {
        return size && size->isNumber() && size->asNumber() > 0 && std::isfinite(size->asNumber());
    };
    if (value.members().size() == 1) {
        const auto& [key, size] = value.members().front();
        if (key == "system" && positive(&size)) return UIFont::systemFontOfSize(size.asNumber());
        if (key == "bold" && positive(&size)) return UIFont::boldSystemFontOfSize(size.asNumber());
        return expected<UIFont>(kFontForms, error);
    }
    const InterfaceValue* name = value.member("name");
    const InterfaceValue* size = value.member("size");
    if (value.members().size() != 2 || !name || !name->isString() || name->asString().empty() ||
        !positive(size))
        return expected<UIFont>(kFontForms, error);
    return UIFont::fontWithName(name->asString(), size->asNumber());
}

}  // namespace hx::ui

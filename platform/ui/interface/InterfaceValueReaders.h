#pragma once
// Reading the values of an interface file's properties into the UI's own types. Each reader
// returns nothing, with what it expected in error, when the value does not fit.
//
//   rectangle   [x, y, width, height]          point   [x, y]          size   [width, height]
//   insets      [top, left, bottom, right]
//   colour      "#rrggbb", "#rrggbbaa", a name ("clear", "black", "white", "gray", "lightGray",
//               "darkGray", "red", "green", "blue", "yellow", "orange", "systemBlue"),
//               {"white": w, "alpha": a} or {"red": r, "green": g, "blue": b, "alpha": a}
//   font        {"system": size}, {"bold": size} or {"name": family, "size": size}
//   enumeration one of the names the property lists
//
// Threads: any.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/geometry/Geometry.h"
#include "platform/ui/drawing/UIColor.h"
#include "platform/ui/drawing/UIFont.h"
#include "platform/ui/interface/InterfaceValue.h"

namespace hx::ui {

std::optional<double> readNumber(const InterfaceValue& value, std::string* error);
std::optional<bool> readBoolean(const InterfaceValue& value, std::string* error);
std::optional<std::string> readString(const InterfaceValue& value, std::string* error);
std::optional<CGRect> readRect(const InterfaceValue& value, std::string* error);
std::optional<CGPoint> readPoint(const InterfaceValue& value, std::string* error);
std::optional<CGSize> readSize(const InterfaceValue& value, std::string* error);
std::optional<UIEdgeInsets> readInsets(const InterfaceValue& value, std::string* error);
std::optional<UIColor> readColor(const InterfaceValue& value, std::string* error);
std::optional<UIFont> readFont(const InterfaceValue& value, std::string* error);

// The value of the named choice.
template <typename Enum>
std::optional<Enum> readChoice(const InterfaceValue& value,
                               const std::vector<std::pair<const char*, Enum>>& choices,
                               std::string* error) {
    if (value.isString()) {
        for (const auto& [name, choice] : choices)
            if (value.asString() == name) return choice;
    }
    if (error) {
        std::string names;
        for (const auto& choice : choices)
            names += std::string(names.empty() ? "" : ", ") + "\"" + choice.first + "\"";
        *error = "expected one of " + names;
    }
    return std::nullopt;
}

}  // namespace hx::ui

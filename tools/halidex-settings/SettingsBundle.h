#pragma once
// The settings bundle: the camera's preferences that the settings screen edits, with their
// titles, kinds, defaults and allowed values, read from the resource "SettingsBundle.ini"
// (format described at the top of that file).
//
// Threads: plain values; parse and load touch no shared state.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/defaults/DefaultsValue.h"

namespace hx::settings {

struct Choice {
    std::int64_t value = 0;
    std::string title;
};

struct Preference {
    enum class Kind { Choice, Switch };

    std::string key;
    std::string title;
    Kind kind = Kind::Choice;
    DefaultsValue defaultValue;  // an integer for a choice, a boolean for a switch
    std::vector<Choice> choices;

    // The value for text the user typed: a listed number for a choice; on, off, yes, no, true,
    // false, 1 or 0 for a switch. Nothing, with a message naming the allowed values, otherwise.
    std::optional<DefaultsValue> valueFromText(std::string_view text, std::string* error) const;
    // A stored value as the user reads it: "2 (0.5 seconds)", "on"; a number that is not a
    // choice is marked as such.
    std::string describe(const DefaultsValue& value) const;
    // The value as typed back to set: "2", "on".
    std::string text(const DefaultsValue& value) const;
    // "1, 2, 3 or 4" or "on or off".
    std::string allowedValues() const;
};

struct SettingsBundle {
    std::vector<Preference> preferences;

    const Preference* find(std::string_view key) const;

    static std::optional<SettingsBundle> parse(std::string_view text, std::string* error);
    static std::optional<SettingsBundle> load(const std::string& path, std::string* error);
};

}  // namespace hx::settings

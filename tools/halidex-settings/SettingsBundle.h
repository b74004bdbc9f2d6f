#pragma once
// The settings bundle: the camera's preferences that the settings screen edits, with their
// titles, kinds, defaults and allowed values, read from the resource "SettingsBundle.ini"
// (format described at the top of that file).
//
// Threads: plain values; parse and load touch no shared state. A folder's value is checked
// against the file system when it is read from text.

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
    enum class Kind { Choice, Switch, Folder };

    std::string key;
    std::string title;
    Kind kind = Kind::Choice;
    // An integer for a choice, a boolean for a switch, a string for a folder (an absolute path,
    // or empty for the standard place).
    DefaultsValue defaultValue;
    std::vector<Choice> choices;
    // For a folder: the folder an empty value stands for, filled in by the program that knows
    // it; shown in place of the empty value.
    std::string standardPlace;

    // The value for text the user typed: a listed number for a choice; on, off, yes, no, true,
    // false, 1 or 0 for a switch; for a folder, an absolute path ("~" for the home folder)
    // normalised, that is a folder or can be made one, and that this user can write into, or
    // empty text for the standard place. Nothing, with a message saying what is allowed,
    // otherwise.
    std::optional<DefaultsValue> valueFromText(std::string_view text, std::string* error) const;
    // A stored value as the user reads it: "2 (0.5 seconds)", "on", a folder's path; a number
    // that is not a choice is marked as such.
    std::string describe(const DefaultsValue& value) const;
    // The value as typed back to set: "2", "on", a folder's path (the standard place's own
    // path for an empty value).
    std::string text(const DefaultsValue& value) const;
    // "1, 2, 3 or 4", "on or off" or what a folder takes.
    std::string allowedValues() const;
    // A folder's value that stands for the standard place (stored as no value at all).
    bool isStandardPlace(const DefaultsValue& value) const;
};

struct SettingsBundle {
    std::vector<Preference> preferences;

    const Preference* find(std::string_view key) const;

    static std::optional<SettingsBundle> parse(std::string_view text, std::string* error);
    static std::optional<SettingsBundle> load(const std::string& path, std::string* error);
};

}  // namespace hx::settings

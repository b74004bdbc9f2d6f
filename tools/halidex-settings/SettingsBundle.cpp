#include "tools/halidex-settings/SettingsBundle.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>

namespace hx::settings {

namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<bool> parseSwitch(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "on" || lower == "yes" || lower == "true" || lower == "1") return true;
    if (lower == "off" || lower == "no" || lower == "false" || lower == "0") return false;
    return std::nullopt;
}

// Checks a finished section; the problem, or empty when it is complete.
std::string finish(Preference& preference, bool hasTitle, bool hasType,
                   std::optional<std::string> defaultText) {
    if (!hasTitle) return "has no title";
    if (!hasType) return "has no type";
    if (!defaultText) return "has no default";
    if (preference.kind == Preference::Kind::Switch) {
        if (!preference.choices.empty()) return "is a switch but lists choices";
        auto value = parseSwitch(*defaultText);
        if (!value) return "has a default that is not on or off";
        preference.defaultValue = *value;
        return {};
    }
    if (preference.choices.empty()) return "is a choice but lists no choices";
    std::string error;
    auto value = preference.valueFromText(*defaultText, &error);
    if (!value) return "has a default that is not one of its choices";
    preference.defaultValue = *value;
    return {};
}

}  // namespace

std::optional<DefaultsValue> Preference::valueFromText(std::string_view text,
                                                       std::string* error) const {
    text = trim(text);
    if (kind == Kind::Switch) {
        if (auto value = parseSwitch(text)) return DefaultsValue(*value);
    } else if (auto number = parseInteger(text)) {
        for (const Choice& choice : choices)
            if (choice.value == *number) return DefaultsValue(*number);
    }
    if (error) {
        std::string message(1, '"');
        message.append(text).append("\" is not allowed for ").append(key);
        message.append(" (").append(title).append("): use ").append(allowedValues());
        *error = std::move(message);
    }
    return std::nullopt;
}

std::string Preference::describe(const DefaultsValue& value) const {
    if (kind == Kind::Switch) return value.boolValue() ? "on" : "off";
    std::int64_t number = value.integerValue();
    for (const Choice& choice : choices)
        if (choice.value == number) return std::to_string(number) + " (" + choice.title + ")";
    return std::to_string(number) + " (not one of the choices)";
}

std::string Preference::text(const DefaultsValue& value) const {
    if (kind == Kind::Switch) return value.boolValue() ? "on" : "off";
    return std::to_string(value.integerValue());
}

std::string Preference::allowedValues() const {
    if (kind == Kind::Switch) return "on or off";
    std::string text;
    for (size_t i = 0; i < choices.size(); ++i) {
        if (i > 0) text += i + 1 == choices.size() ? " or " : ", ";
        text += std::to_string(choices[i].value);
    }
    return text;
}

const Preference* SettingsBundle::find(std::string_view key) const {
    for (const Preference& preference : preferences)
        if (preference.key == key) return &preference;
    return nullptr;
}

std::optional<SettingsBundle> SettingsBundle::parse(std::string_view text, std::string* error) {
    SettingsBundle bundle;
    int lineNumber = 0;
    auto fail = [&](const std::string& message) -> std::optional<SettingsBundle> {
        if (error) *error = message;
        return std::nullopt;
    };
    auto failAtLine = [&](const std::string& message) {
        return fail("line " + std::to_string(lineNumber) + ": " + message);
    };

    Preference* current = nullptr;
    bool hasTitle = false, hasType = false;
    std::optional<std::string> defaultText;
    auto closeSection = [&]() -> std::string {
        if (!current) return {};
        std::string problem = finish(*current, hasTitle, hasType, defaultText);
        return problem.empty() ? problem : "preference " + current->key + " " + problem;
    };

    std::istringstream lines{std::string(text)};
    for (std::string raw; std::getline(lines, raw);) {
        ++lineNumber;
        std::string_view line = trim(raw);
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        if (line.front() == '[') {
            if (line.back() != ']') return failAtLine("a section name ends with ']'");
            if (std::string problem = closeSection(); !problem.empty()) return fail(problem);
            std::string key(trim(line.substr(1, line.size() - 2)));
            if (key.empty()) return failAtLine("empty section name");
            if (bundle.find(key)) return failAtLine("preference " + key + " appears twice");
            bundle.preferences.emplace_back();
            bundle.preferences.back().key = key;
            current = &bundle.preferences.back();
            hasTitle = hasType = false;
            defaultText.reset();
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string_view::npos) return failAtLine("expected \"name = value\"");
        if (!current) return failAtLine("a setting outside any [preference] section");
        std::string_view name = trim(line.substr(0, equals));
        std::string_view value = trim(line.substr(equals + 1));

        if (name == "title") {
            current->title = value;
            hasTitle = true;
        } else if (name == "type") {
            if (value == "choice")
                current->kind = Preference::Kind::Choice;
            else if (value == "switch")
                current->kind = Preference::Kind::Switch;
            else
                return failAtLine("type is choice or switch");
            hasType = true;
        } else if (name == "default") {
            defaultText = std::string(value);
        } else if (name.starts_with("choice ")) {
            auto number = parseInteger(trim(name.substr(7)));
            if (!number) return failAtLine("\"choice\" is followed by an integer");
            for (const Choice& choice : current->choices)
                if (choice.value == *number) return failAtLine("choice listed twice");
            current->choices.push_back({*number, std::string(value)});
        } else {
            return failAtLine("unknown setting \"" + std::string(name) + "\"");
        }
    }
    if (std::string problem = closeSection(); !problem.empty()) return fail(problem);
    if (bundle.preferences.empty()) return fail("no preferences");
    return bundle;
}

std::optional<SettingsBundle> SettingsBundle::load(const std::string& path, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error) *error = "cannot read " + path;
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    std::string problem;
    auto bundle = parse(text.str(), &problem);
    if (!bundle && error) *error = path + ": " + problem;
    return bundle;
}

}  // namespace hx::settings

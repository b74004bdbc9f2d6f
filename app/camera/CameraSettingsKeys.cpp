#include "app/camera/CameraSettingsKeys.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>

namespace hx::app {

std::map<std::string, DefaultsValue> cameraRegisteredDefaults() {
    return {
        {KEY_FRAMEMODE, 1},
        {KEY_FILMTYPE, 0},
        {KEY_FLASH, 0},
        {KEY_EV, 0.0f},
        {KEY_FILMPACK1, false},
        {KEY_GEOTAG, false},
        {KEY_TIFF, false},
        {KEY_HEIC, false},
        {KEY_GRID, false},
        {KEY_LENS, 1},
        {KEY_VERSION, ""},
        {kAutoreviewPreference, 2},
        {kSaveToAlbumPreference, true},
    };
}

float autoreviewSeconds(std::int64_t preference) {
    static constexpr std::array<float, 7> kSeconds = {0.3f, 0.5f, 1.0f, 2.0f, 3.0f, 5.0f, 10.0f};
    if (preference < 1 || preference > 7) return 0;
    return kSeconds[size_t(preference - 1)];
}

namespace {

constexpr std::int64_t kLenses[] = {0, 1, 2, 100};
// How far a decimal may be from a third of a stop and still stand for it: "0.333" and "0.33"
// are 1/3, "0.3" is not.
constexpr double kThirdTolerance = 0.005;

// clang-format off
constexpr CameraKey kCameraKeys[] = {
    {KEY_FRAMEMODE, "Frame mode", CameraKey::Kind::Integer, 1, 4, {}, "a frame mode 1 to 4"},
    {KEY_FILMTYPE, "Film", CameraKey::Kind::Integer, 0, 12, {}, "a film 0 to 12"},
    {KEY_FLASH, "Flash", CameraKey::Kind::Integer, 0, 2, {},
     "a flash setting 0 to 2 (0 off, 1 automatic, 2 on)"},
    {KEY_EV, "Exposure compensation", CameraKey::Kind::ThirdStops, -8, 8, {},
     "a multiple of 1/3 stop from -8 to 8 (such as -2/3, 0.333 or 1)"},
    {KEY_FILMPACK1, "Film pack flag", CameraKey::Kind::Boolean, 0, 0, {}, "yes or no"},
    {KEY_GEOTAG, "Location in new photos", CameraKey::Kind::Boolean, 0, 0, {}, "yes or no"},
    {KEY_TIFF, "TIFF output", CameraKey::Kind::Boolean, 0, 0, {}, "yes or no"},
    {KEY_HEIC, "HEIC output", CameraKey::Kind::Boolean, 0, 0, {}, "yes or no"},
    {KEY_GRID, "Viewfinder grid", CameraKey::Kind::Boolean, 0, 0, {}, "yes or no"},
    {KEY_LENS, "Lens", CameraKey::Kind::Integer, 0, 100, kLenses,
     "a lens 0, 1, 2 or 100 (ultra-wide, wide, telephoto, multi-lens)"},
    {KEY_VERSION, "Version that last saved the settings", CameraKey::Kind::String, 0, 0, {},
     "any text"},
};
// clang-format on

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// The whole text as a number of type T; a leading '+' is allowed.
template <typename T>
std::optional<T> wholeNumber(std::string_view text) {
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    T value{};
    const char* end = text.data() + text.size();
    auto [stop, problem] = std::from_chars(text.data(), end, value);
    if (problem != std::errc() || stop != end || text.empty()) return std::nullopt;
    return value;
}

// Stops as typed: "a/b" or a decimal.
std::optional<double> stopsFromText(std::string_view text) {
    if (auto slash = text.find('/'); slash != std::string_view::npos) {
        auto numerator = wholeNumber<std::int64_t>(text.substr(0, slash));
        auto denominator = wholeNumber<std::int64_t>(text.substr(slash + 1));
        if (!numerator || !denominator || *denominator <= 0) return std::nullopt;
        return double(*numerator) / double(*denominator);
    }
    auto stops = wholeNumber<double>(text);
    if (!stops || !std::isfinite(*stops)) return std::nullopt;
    return stops;
}

std::optional<bool> booleanFromText(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const char* yes : {"yes", "true", "on", "1"})
        if (lower == yes) return true;
    for (const char* no : {"no", "false", "off", "0"})
        if (lower == no) return false;
    return std::nullopt;
}

std::optional<DefaultsValue> typedValue(const CameraKey& key, std::string_view text) {
    switch (key.kind) {
        case CameraKey::Kind::Integer: {
            auto number = wholeNumber<std::int64_t>(text);
            if (!number || *number < key.minimum || *number > key.maximum) return std::nullopt;
            if (!key.choices.empty() &&
                std::find(key.choices.begin(), key.choices.end(), *number) == key.choices.end())
                return std::nullopt;
            return DefaultsValue(*number);
        }
        case CameraKey::Kind::ThirdStops: {
            auto stops = stopsFromText(text);
            if (!stops || std::abs(*stops) > double(std::max(-key.minimum, key.maximum)) + 1)
                return std::nullopt;
            double thirds = std::round(*stops * 3) + 0.0;  // "-0" is stored as 0
            if (std::abs(*stops - thirds / 3) > kThirdTolerance) return std::nullopt;
            if (thirds < double(key.minimum * 3) || thirds > double(key.maximum * 3))
                return std::nullopt;
            return DefaultsValue(static_cast<float>(thirds / 3));
        }
        case CameraKey::Kind::Boolean:
            if (auto flag = booleanFromText(text)) return DefaultsValue(*flag);
            return std::nullopt;
        case CameraKey::Kind::String:
            break;
    }
    return DefaultsValue(std::string(text));
}

}  // namespace

std::span<const CameraKey> cameraKeys() {
    return kCameraKeys;
}

const CameraKey* findCameraKey(std::string_view key) {
    for (const CameraKey& each : kCameraKeys)
        if (key == each.key) return &each;
    return nullptr;
}

std::optional<DefaultsValue> parseCameraValue(const CameraKey& key, std::string_view text,
                                              std::string* error) {
    // A string is kept exactly as typed; every other value may have blanks around it.
    auto value = typedValue(key, key.kind == CameraKey::Kind::String ? text : trimmed(text));
    if (!value && error) {
        // Typed text is quoted where it would otherwise not show: empty, or with blanks in it.
        std::string typed(text);
        if (typed.empty() || typed.find_first_of(" \t\n") != std::string::npos)
            typed = "\"" + typed + "\"";
        *error = std::string(key.key) + " takes " + key.domain + ", not " + typed;
    }
    return value;
}

std::string formatCameraValue(const CameraKey& key, const DefaultsValue& value) {
    switch (key.kind) {
        case CameraKey::Kind::Integer:
            return std::to_string(value.integerValue());
        case CameraKey::Kind::ThirdStops: {
            float stops = value.floatValue();
            double thirds = std::round(double(stops) * 3);
            if (!std::isfinite(stops) || std::abs(stops - thirds / 3) > kThirdTolerance)
                return DefaultsValue(stops).stringValue();
            auto n = static_cast<std::int64_t>(thirds);
            if (n % 3 == 0) return std::to_string(n / 3);
            return std::to_string(n) + "/3";
        }
        case CameraKey::Kind::Boolean:
            return value.boolValue() ? "yes" : "no";
        case CameraKey::Kind::String:
            break;
    }
    return value.stringValue();
}

}  // namespace hx::app

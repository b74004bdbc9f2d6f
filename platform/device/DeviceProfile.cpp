#include "platform/device/DeviceProfile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <sstream>

#include "platform/log/Log.h"
#include "platform/paths/FileAccess.h"
#include "platform/paths/KeyValueLines.h"

namespace hx {

namespace {

// A profile is a dozen short lines; anything far larger is not one.
constexpr size_t kMaxProfileBytes = size_t{1} << 20;

constexpr int kBackStillWidth = 4032, kBackStillHeight = 3024;
constexpr int kFrontStillWidth = 3088, kFrontStillHeight = 2320;

CameraDescription camera(CameraKind kind) {
    if (kind == CameraKind::Front) return {kind, kFrontStillWidth, kFrontStillHeight};
    return {kind, kBackStillWidth, kBackStillHeight};
}

const std::vector<DeviceProfile>& builtInProfiles() {
    using K = CameraKind;
    static const std::vector<DeviceProfile> profiles = {
        {"phone",
         390,
         844,
         3,
         {47, 0, 34, 0},
         UserInterfaceIdiom::Phone,
         "17.5",
         "",
         {camera(K::UltraWide), camera(K::Wide), camera(K::Telephoto), camera(K::Triple),
          camera(K::Front)}},
        {"small-phone",
         320,
         568,
         2,
         {20, 0, 0, 0},
         UserInterfaceIdiom::Phone,
         "15.8",
         "",
         {camera(K::Wide), camera(K::Front)}},
        {"tablet",
         1024,
         1366,
         2,
         {24, 0, 20, 0},
         UserInterfaceIdiom::Pad,
         "17.5",
         "",
         {camera(K::UltraWide), camera(K::Wide), camera(K::DualWide), camera(K::Front)}},
        {"legacy-phone",
         320,
         480,
         2,
         {20, 0, 0, 0},
         UserInterfaceIdiom::Phone,
         "16.7",
         "",
         {{K::Wide, 3264, 2448},
          {K::Telephoto, 3264, 2448},
          {K::Dual, 3264, 2448},
          {K::Front, 1280, 960}}},
    };
    return profiles;
}

constexpr std::pair<CameraKind, const char*> kCameraKindNames[] = {
    {CameraKind::UltraWide, "ultra-wide"}, {CameraKind::Wide, "wide"},
    {CameraKind::Telephoto, "telephoto"},  {CameraKind::Dual, "dual"},
    {CameraKind::DualWide, "dual-wide"},   {CameraKind::Triple, "triple"},
    {CameraKind::Front, "front"},
};

// "4032x3024" with sides that a capture format can have.
bool parseStillSize(std::string_view text, int& width, int& height, std::string* problem) {
    size_t cross = text.find('x');
    auto side = [](std::string_view digits, int& value) {
        auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        return error == std::errc() && end == digits.data() + digits.size();
    };
    if (cross == std::string_view::npos || !side(text.substr(0, cross), width) ||
        !side(text.substr(cross + 1), height) || width <= 0 || height <= 0 || width > 16384 ||
        height > 16384) {
        *problem = "a camera size is WIDTHxHEIGHT, such as 4032x3024";
        return false;
    }
    if (width % 16 != 0 || height % 16 != 0) {
        *problem = "camera sizes are multiples of 16";
        return false;
    }
    const int longSide = std::max(width, height), shortSide = std::min(width, height);
    if (longSide * 2 > shortSide * 3) {
        *problem = "a camera's long side is at most 1.5 times its short side";
        return false;
    }
    return true;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

std::optional<double> parseNumber(std::string_view text) {
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool isVersion(std::string_view text) {
    if (text.empty() || text.front() == '.' || text.back() == '.') return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '.' ? text[i - 1] == '.' : (c < '0' || c > '9')) return false;
    }
    return true;
}

std::string validate(const DeviceProfile& profile) {
    if (!(profile.width > 0 && profile.width <= 100000 && profile.height > 0 &&
          profile.height <= 100000))
        return "the screen size must be positive";
    if (!(profile.scale > 0 && profile.scale <= 10)) return "the scale must be above 0, at most 10";
    const SafeAreaInsets& in = profile.safeAreaInsets;
    if (in.top < 0 || in.left < 0 || in.bottom < 0 || in.right < 0)
        return "safe-area insets cannot be negative";
    if (in.top + in.bottom >= profile.height || in.left + in.right >= profile.width)
        return "safe-area insets leave no room on the screen";
    if (!isVersion(profile.systemVersion))
        return "the system version must be dotted numbers such as 17.5";
    if (profile.name.empty()) return "the profile needs a name";
    return {};
}

// What the program is told to use, shared by every thread.
struct CurrentProfile {
    std::mutex mutex;
    std::optional<DeviceProfile> profile;
};

CurrentProfile& currentProfile() {
    static CurrentProfile* const instance = new CurrentProfile;
    return *instance;
}

std::optional<DeviceProfile> resolve(const std::string& nameOrPath, std::string* error) {
    if (auto profile = DeviceProfile::named(nameOrPath)) return profile;
    std::error_code ec;
    if (nameOrPath.find('/') == std::string::npos && !std::filesystem::exists(nameOrPath, ec)) {
        if (error) {
            *error = "no device profile named \"" + nameOrPath + "\" (built-in:";
            for (const std::string& name : DeviceProfile::builtInNames()) *error += " " + name;
            *error += "; or give the path of a profile file)";
        }
        return std::nullopt;
    }
    return DeviceProfile::fromFile(nameOrPath, error);
}

}  // namespace

std::vector<std::string> DeviceProfile::builtInNames() {
    std::vector<std::string> names;
    for (const DeviceProfile& profile : builtInProfiles()) names.push_back(profile.name);
    return names;
}

std::optional<DeviceProfile> DeviceProfile::named(std::string_view name) {
    for (const DeviceProfile& profile : builtInProfiles())
        if (profile.name == name) return profile;
    return std::nullopt;
}

const DeviceProfile& DeviceProfile::defaultProfile() {
    return builtInProfiles().front();
}

std::optional<DeviceProfile> DeviceProfile::parse(std::string_view text,
                                                  const std::string& defaultName,
                                                  std::string* error) {
    DeviceProfile profile = defaultProfile();
    profile.name = defaultName;
    bool sawSetting = false;
    int lineNumber = 0;
    auto fail = [&](const std::string& message) -> std::optional<DeviceProfile> {
        if (error)
            *error =
                lineNumber > 0 ? "line " + std::to_string(lineNumber) + ": " + message : message;
        return std::nullopt;
    };
    // A profile is all or nothing: its first bad line fails it.
    const paths::KeyValueText lines = paths::readKeyValueLines(text);
    if (!lines.bad.empty()) {
        lineNumber = lines.bad.front().number;
        return fail("expected \"key = value\": " + lines.bad.front().problem);
    }
    for (const paths::KeyValueLine& line : lines.lines) {
        lineNumber = line.number;
        const std::string_view key = line.key;
        const std::string_view value = line.value;
        if (value.empty()) return fail("no value for \"" + std::string(key) + "\"");

        if (key == "base") {
            if (sawSetting) return fail("\"base\" must come before the other settings");
            auto base = named(value);
            if (!base) return fail("no built-in profile named \"" + std::string(value) + "\"");
            std::string keepName = profile.name;
            profile = *base;
            profile.name = keepName;
            continue;
        }
        sawSetting = true;
        if (key == "name") {
            profile.name = value;
        } else if (key == "width" || key == "height" || key == "scale") {
            auto number = parseNumber(value);
            if (!number) return fail("\"" + std::string(key) + "\" is not a number");
            (key == "width"    ? profile.width
             : key == "height" ? profile.height
                               : profile.scale) = *number;
        } else if (key == "insets") {
            std::istringstream parts{std::string(value)};
            std::vector<double> numbers;
            for (std::string part; parts >> part;) {
                auto number = parseNumber(part);
                if (!number) {
                    numbers.clear();
                    break;
                }
                numbers.push_back(*number);
            }
            if (numbers.size() != 4)
                return fail("\"insets\" takes four numbers: top left bottom right");
            profile.safeAreaInsets = {numbers[0], numbers[1], numbers[2], numbers[3]};
        } else if (key == "idiom") {
            if (value == "phone")
                profile.idiom = UserInterfaceIdiom::Phone;
            else if (value == "tablet" || value == "pad")
                profile.idiom = UserInterfaceIdiom::Pad;
            else
                return fail("\"idiom\" is phone or tablet");
        } else if (key == "system-version") {
            profile.systemVersion = value;
        } else if (key == "model-identifier") {
            profile.modelIdentifier = value;
        } else if (key == "cameras") {
            std::string problem;
            auto cameras = parseCameraList(value, &problem);
            if (!cameras) return fail(problem);
            profile.cameras = std::move(*cameras);
        } else {
            return fail("unknown setting \"" + std::string(key) + "\"");
        }
    }
    lineNumber = 0;
    if (std::string problem = validate(profile); !problem.empty()) return fail(problem);
    return profile;
}

std::optional<DeviceProfile> DeviceProfile::fromFile(const std::string& path, std::string* error) {
    std::string text;
    paths::ReadFailure failure;
    if (!paths::readWholeFile(path, text, &failure, kMaxProfileBytes)) {
        if (error) *error = "cannot read device profile " + path + ": " + failure.message;
        return std::nullopt;
    }
    std::string problem;
    auto profile = parse(text, std::filesystem::path(path).stem().string(), &problem);
    if (!profile && error) *error = "device profile " + path + ": " + problem;
    return profile;
}

DeviceProfile DeviceProfile::current() {
    CurrentProfile& state = currentProfile();
    std::lock_guard lock(state.mutex);
    if (!state.profile) {
        const char* chosen = std::getenv("HALIDEX_DEVICE");
        if (chosen && *chosen) {
            std::string error;
            state.profile = resolve(chosen, &error);
            if (!state.profile)
                hxLog("HALIDEX_DEVICE: %s; using the \"%s\" profile", error.c_str(),
                      defaultProfile().name.c_str());
        }
        if (!state.profile) state.profile = defaultProfile();
    }
    return *state.profile;
}

void DeviceProfile::setCurrent(DeviceProfile profile) {
    CurrentProfile& state = currentProfile();
    std::lock_guard lock(state.mutex);
    state.profile = std::move(profile);
}

bool DeviceProfile::select(const std::string& nameOrPath, std::string* error) {
    auto profile = resolve(nameOrPath, error);
    if (!profile) return false;
    setCurrent(std::move(*profile));
    return true;
}

void DeviceProfile::resetCurrent() {
    CurrentProfile& state = currentProfile();
    std::lock_guard lock(state.mutex);
    state.profile.reset();
}

const char* cameraKindName(CameraKind kind) {
    for (const auto& [candidate, name] : kCameraKindNames)
        if (candidate == kind) return name;
    return "";
}

std::optional<CameraKind> cameraKindNamed(std::string_view name) {
    for (const auto& [kind, candidate] : kCameraKindNames)
        if (name == candidate) return kind;
    return std::nullopt;
}

std::optional<std::vector<CameraDescription>> parseCameraList(std::string_view text,
                                                              std::string* error) {
    auto fail = [&](const std::string& message) -> std::optional<std::vector<CameraDescription>> {
        if (error) *error = message;
        return std::nullopt;
    };
    std::vector<CameraDescription> cameras;
    std::istringstream words{std::string(trim(text))};
    std::vector<std::string> all;
    for (std::string word; words >> word;) all.push_back(word);
    if (all.size() == 1 && all.front() == "none") return cameras;
    if (all.empty()) return fail("\"cameras\" lists camera kinds, or \"none\"");
    for (const std::string& word : all) {
        std::string_view entry = word;
        size_t colon = entry.find(':');
        auto kind = cameraKindNamed(entry.substr(0, colon));
        if (!kind) {
            std::string known;
            for (const auto& [unused, name] : kCameraKindNames) known += std::string(" ") + name;
            return fail("unknown camera \"" + std::string(entry.substr(0, colon)) +
                        "\" (cameras:" + known + ", or none)");
        }
        CameraDescription description = camera(*kind);
        if (colon != std::string_view::npos) {
            std::string problem;
            if (!parseStillSize(entry.substr(colon + 1), description.width, description.height,
                                &problem))
                return fail(problem);
        }
        for (const CameraDescription& earlier : cameras)
            if (earlier.kind == *kind)
                return fail("camera \"" + std::string(cameraKindName(*kind)) +
                            "\" is listed twice");
        cameras.push_back(description);
    }
    return cameras;
}

int compareVersions(std::string_view a, std::string_view b) {
    auto next = [](std::string_view& text) {
        long value = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc()) value = 0;
        size_t used = static_cast<size_t>(end - text.data());
        text.remove_prefix(used);
        if (!text.empty() && text.front() == '.') text.remove_prefix(1);
        return value;
    };
    while (!a.empty() || !b.empty()) {
        long left = next(a);
        long right = next(b);
        if (left != right) return left < right ? -1 : 1;
        // Stop on text that is not a number instead of looping on it.
        if (!a.empty() && !std::isdigit(static_cast<unsigned char>(a.front()))) a = {};
        if (!b.empty() && !std::isdigit(static_cast<unsigned char>(b.front()))) b = {};
    }
    return 0;
}

}  // namespace hx

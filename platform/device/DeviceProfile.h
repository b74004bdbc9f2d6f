#pragma once
// The device the programs believe they run on: screen size in points, scale, safe-area insets,
// idiom, system version and, optionally, a hardware model identifier. The running machine has
// no such things, so a profile supplies them; layouts, capture formats and metadata read them
// from here.
//
// Built-in profiles: "phone" (the default), "small-phone", "tablet", "legacy-phone". HALIDEX_DEVICE
// picks another, by built-in name or by the path of a profile file; programs with a --device flag
// call select().
//
// Profile file: UTF-8 text, one "key = value" a line, '#' starts a comment. Keys:
//     base = phone                  built-in profile to start from (default: phone)
//     name = my-phone               (default: the file's name without extension)
//     width = 390                   screen width in points, portrait
//     height = 844                  screen height in points, portrait
//     scale = 3                     pixels per point
//     insets = 47 0 34 0            safe-area insets in points: top left bottom right
//     idiom = phone                 phone or tablet
//     system-version = 17.5         dotted numbers
//     model-identifier = iPhone12,1 reported as "hw.machine"; absent: the machine's own name
//     cameras = wide front          the cameras, see below; "none" for a device without one
// "base" must come first when present; every other key overrides the base.
//
// Cameras: a list of kinds, each optionally with the size of its largest still in sensor
// orientation ("wide:3264x2448"); sides are multiples of 16 and the long side is at most 1.5
// times the short one. Kinds: ultra-wide, wide, telephoto (back lenses), dual (wide and
// telephoto), dual-wide (ultra-wide and wide), triple (all three), front (the front wide camera).
// Back cameras default to 4032 x 3024, the front camera to 3088 x 2320. The built-in profiles
// differ in their back lenses: "phone" has all three and the triple camera, "tablet" ultra-wide
// and wide with the dual-wide camera, "legacy-phone" wide and telephoto with the dual camera,
// "small-phone" only the wide lens; each has a front camera.
//
// Threads: current(), setCurrent() and select() may be called from any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hx {

enum class UserInterfaceIdiom { Phone, Pad };

struct SafeAreaInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;
    friend bool operator==(const SafeAreaInsets&, const SafeAreaInsets&) = default;
};

enum class CameraKind { UltraWide, Wide, Telephoto, Dual, DualWide, Triple, Front };

struct CameraDescription {
    CameraKind kind = CameraKind::Wide;
    int width = 0;  // largest still in sensor orientation (landscape), pixels
    int height = 0;

    friend bool operator==(const CameraDescription&, const CameraDescription&) = default;
};

// The profile-file word of a kind, and back.
const char* cameraKindName(CameraKind kind);
std::optional<CameraKind> cameraKindNamed(std::string_view name);

// Reads a "cameras" value; nothing, with the reason in error, when a word is unknown, a kind is
// listed twice or a size is not allowed.
std::optional<std::vector<CameraDescription>> parseCameraList(std::string_view text,
                                                              std::string* error = nullptr);

struct DeviceProfile {
    std::string name;
    double width = 0;  // points, portrait
    double height = 0;
    double scale = 1;
    SafeAreaInsets safeAreaInsets;
    UserInterfaceIdiom idiom = UserInterfaceIdiom::Phone;
    std::string systemVersion;
    std::string modelIdentifier;  // empty: the machine's own name
    std::vector<CameraDescription> cameras;

    friend bool operator==(const DeviceProfile&, const DeviceProfile&) = default;

    static std::vector<std::string> builtInNames();
    static std::optional<DeviceProfile> named(std::string_view name);
    static const DeviceProfile& defaultProfile();

    // Reads a profile file; nothing, with the reason in error, when it is missing or invalid.
    static std::optional<DeviceProfile> fromFile(const std::string& path,
                                                 std::string* error = nullptr);
    // The same from the file's text; defaultName names it when the text has no "name".
    static std::optional<DeviceProfile> parse(std::string_view text, const std::string& defaultName,
                                              std::string* error = nullptr);

    // The profile in use: set by setCurrent() or select(), else chosen by HALIDEX_DEVICE on first
    // use (a bad value is logged and the default used).
    static DeviceProfile current();
    static void setCurrent(DeviceProfile profile);
    // Makes the built-in profile of that name, or the profile file at that path, current. False,
    // with the reason in error, when there is neither; the current profile is then unchanged.
    static bool select(const std::string& nameOrPath, std::string* error = nullptr);
    // Forgets setCurrent() and select(), so HALIDEX_DEVICE is read again on next use.
    static void resetCurrent();
};

// Compares dotted version numbers numerically: "17.10" is after "17.2", "17" equals "17.0".
// Returns <0, 0 or >0.
int compareVersions(std::string_view a, std::string_view b);

}  // namespace hx

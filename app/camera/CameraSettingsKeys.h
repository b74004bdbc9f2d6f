#pragma once
// The camera's preference keys in its user-defaults store, their registered defaults, and the
// review times the "autoreview_preference" choices stand for. The camera screen reads and
// writes them as a working copy; halidex-settings edits them from the command line.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/defaults/DefaultsValue.h"

namespace hx::app {

inline constexpr const char* KEY_FRAMEMODE = "KEY_FRAMEMODE";
inline constexpr const char* KEY_FILMTYPE = "KEY_FILMTYPE";
inline constexpr const char* KEY_FLASH = "KEY_FLASH";
inline constexpr const char* KEY_EV = "KEY_EV";
inline constexpr const char* KEY_FILMPACK1 = "KEY_FILMPACK1";
inline constexpr const char* KEY_GEOTAG = "KEY_GEOTAG";
inline constexpr const char* KEY_TIFF = "KEY_TIFF";
inline constexpr const char* KEY_HEIC = "KEY_HEIC";
inline constexpr const char* KEY_GRID = "KEY_GRID";
inline constexpr const char* KEY_LENS = "KEY_LENS";
inline constexpr const char* KEY_VERSION = "KEY_VERSION";
// The three preferences of the settings bundle.
inline constexpr const char* kAutoreviewPreference = "autoreview_preference";
inline constexpr const char* kSaveToAlbumPreference = "savetoalbum_preference";
inline constexpr const char* kShutterPreference = "shutter_preference";

// Every key above but "shutter_preference", which has no registered default and reads 0.
std::map<std::string, DefaultsValue> cameraRegisteredDefaults();

// Seconds of review for an "autoreview_preference" choice: 1 to 7 give 0.3, 0.5, 1, 2, 3, 5
// and 10 seconds; anything else gives 0, no review.
float autoreviewSeconds(std::int64_t preference);

// The type and allowed values of one of the camera's own keys (the KEY_ names above), as
// halidex-settings checks what it writes. The camera itself reads whatever is stored.
struct CameraKey {
    enum class Kind {
        Integer,     // a whole number from minimum to maximum, or one of choices when given
        ThirdStops,  // a float, a multiple of 1/3 from minimum to maximum stops
        Boolean,     // yes or no
        String,      // any text
    };

    const char* key;
    const char* title;  // what the key holds, for listings
    Kind kind;
    std::int64_t minimum = 0;
    std::int64_t maximum = 0;
    std::span<const std::int64_t> choices = {};
    // The allowed values in words, as a message says them: "a film 0 to 12".
    const char* domain = "";
};

// Every camera key, in the order of the KEY_ names above.
std::span<const CameraKey> cameraKeys();
// The camera key of that name, or nothing.
const CameraKey* findCameraKey(std::string_view key);

// The value to store for text the user typed, or nothing with a message naming the key and what
// it takes ("KEY_FILMTYPE takes a film 0 to 12, not 13"). Integers are whole numbers. Thirds of
// a stop are written "1/3", "-2/3", "4/3", "1", "0.333" or "0.3333333" (a decimal within 0.005
// stop of a third) and stored as the float nearest n/3. Booleans take yes, no, true, false, on,
// off, 1 or 0 in any case. Text around the value may have blanks; a string is kept as typed.
std::optional<DefaultsValue> parseCameraValue(const CameraKey& key, std::string_view text,
                                              std::string* error);
// A stored value read as the key's type, the way the camera reads it, and written the way
// parseCameraValue takes it back: "3", "-2/3", "yes", the string itself. A float that is no
// third of a stop shows as its decimal.
std::string formatCameraValue(const CameraKey& key, const DefaultsValue& value);

}  // namespace hx::app

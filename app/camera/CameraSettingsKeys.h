#pragma once
// The camera's preference keys in its user-defaults store, their registered defaults, and the
// review times the "autoreview_preference" choices stand for. The camera screen reads and
// writes them as a working copy; halidex-settings edits them from the command line.

#include <cstdint>
#include <map>
#include <string>

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

}  // namespace hx::app

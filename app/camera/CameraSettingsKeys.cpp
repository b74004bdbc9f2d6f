#include "app/camera/CameraSettingsKeys.h"

#include <array>

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

}  // namespace hx::app

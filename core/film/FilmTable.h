#pragma once
// The thirteen films of the camera: index 0 to 8 monochrome, 9 to 12 colour.

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/film/ToneTables.h"

namespace hx::film {

constexpr int32_t kFilmCount = 13;
constexpr int32_t kMonochromeFilmCount = 9;

// The one colour test: every index above 8 is a colour film.
constexpr bool isColorFilm(int32_t film) {
    return film > 8;
}

using ChannelMix = std::array<float, 3>;  // red, green, blue weights of the grey mix
constexpr ChannelMix kDefaultChannelMix = {0.3086f, 0.6094f, 0.0820f};

struct FilmParameters {
    const ToneTable* toneTable;  // null for colour films: they leave the tone table alone
    ChannelMix channelMix;
    bool sharpen;
    float sharpness;
    bool soften;
    const char* lookupImage;  // null for monochrome films
};

// Row `film` of the table; `film` must be in [0, kFilmCount).
const FilmParameters& filmParameters(int32_t film);

// The lookup image used while `currentFilm` is the camera's film: colour films have their
// own, everything else uses "lookup.png".
const char* lookupImageForFilm(int32_t currentFilm);

}  // namespace hx::film

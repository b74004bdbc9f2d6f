#pragma once
// The thirteen films of the camera: index 0 to 8 monochrome, 9 to 12 colour. The table below is
// the one place that says what each film does; the renderer applies a row as it stands.

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

// True for the indices that have a row in the table.
constexpr bool isFilm(int32_t film) {
    return film >= 0 && film < kFilmCount;
}

using ChannelMix = std::array<float, 3>;  // red, green, blue weights of the grey mix
constexpr ChannelMix kDefaultChannelMix = {0.3086f, 0.6094f, 0.0820f};

// The lookup image loaded while a monochrome film is applied (the monochrome passes do not
// read it) or an index outside the table.
inline constexpr const char* kDefaultLookupImage = "lookup.png";

struct FilmParameters {
    const ToneTable* toneTable;  // null for colour films: they leave the tone table alone
    ChannelMix channelMix;
    bool sharpen;
    float sharpness;
    bool soften;
    const char* lookupImage;  // null for monochrome films
};

// Row `film` of the table; `film` must satisfy isFilm().
const FilmParameters& filmParameters(int32_t film);

// The lookup image loaded when `film` is applied: a colour film's own, otherwise
// kDefaultLookupImage.
const char* lookupImageForFilm(int32_t film);

}  // namespace hx::film

#include "core/film/FilmTable.h"

namespace hx::film {

namespace {

constexpr ChannelMix kWarmMix = {0.7086f, 0.5094f, -0.2180f};
constexpr ChannelMix kRedMix = {0.8086f, 0.4094f, -0.2180f};
constexpr ChannelMix kGreenMix = {0.7086f, 1.6094f, -0.9180f};

constexpr std::array<FilmParameters, kFilmCount> kFilms = {{
    {&toneTableStrongS, kDefaultChannelMix, false, 0.0f, false, nullptr},
    {&toneTableLinear, kDefaultChannelMix, false, 0.0f, false, nullptr},
    {&toneTableSoft, kWarmMix, false, 0.0f, false, nullptr},
    {&toneTableStrongS, kRedMix, true, 0.8f, false, nullptr},
    {&toneTableLinear, kGreenMix, true, 0.8f, false, nullptr},
    {&toneTableHard, kDefaultChannelMix, true, 0.4f, false, nullptr},
    {&toneTableDark, kWarmMix, false, 0.0f, true, nullptr},
    {&toneTableStrongS, kDefaultChannelMix, false, 0.0f, true, nullptr},
    {&toneTableLifted, kDefaultChannelMix, false, 0.0f, true, nullptr},
    {nullptr, kDefaultChannelMix, false, 0.0f, false, "lookup.png"},
    {nullptr, kDefaultChannelMix, false, 0.0f, false, "lookup_3.png"},
    // Film 11 sharpens with strength 0: the flag is set, the strength stays at its reset.
    {nullptr, kDefaultChannelMix, true, 0.0f, false, "lookup_4.png"},
    {nullptr, kDefaultChannelMix, false, 0.0f, false, "lookup_5.png"},
}};

// Monochrome rows carry a tone table and no lookup, colour rows the reverse.
constexpr bool rowsMatchTheColourTest() {
    for (int32_t f = 0; f < kFilmCount; ++f) {
        const FilmParameters& p = kFilms[size_t(f)];
        if (isColorFilm(f) != (p.toneTable == nullptr)) return false;
        if (isColorFilm(f) != (p.lookupImage != nullptr)) return false;
    }
    return true;
}
static_assert(rowsMatchTheColourTest());

}  // namespace

const FilmParameters& filmParameters(int32_t film) {
    return kFilms[size_t(film)];
}

const char* lookupImageForFilm(int32_t film) {
    if (isFilm(film) && kFilms[size_t(film)].lookupImage) return kFilms[size_t(film)].lookupImage;
    return kDefaultLookupImage;
}

}  // namespace hx::film

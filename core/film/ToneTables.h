#pragma once
// The six fixed tone curves of the monochrome films: input grey level to output level.

#include <array>
#include <cstddef>
#include <cstdint>

namespace hx::film {

using ToneTable = std::array<uint8_t, 256>;

extern const ToneTable toneTableStrongS;  // steep S-curve
extern const ToneTable toneTableSoft;     // inverse S-curve, flat mid-tones
extern const ToneTable toneTableLifted;   // lifted shadows, compressed highlights
extern const ToneTable toneTableHard;     // very steep rise, flat shoulder
extern const ToneTable toneTableDark;     // deep shadows
extern const ToneTable toneTableLinear;   // identity

}  // namespace hx::film

#pragma once

// Capitals, digits and a little punctuation in a 5 x 7 grid, for the printed texture of the
// scenes. Each row is five bits, the leftmost in bit 4.

#include <array>
#include <cstdint>

namespace hx::capture::scene {

using Glyph = std::array<uint8_t, 7>;

// The glyph of an ASCII character; blank for anything the font does not have.
const Glyph& glyphFor(char c);

}  // namespace hx::capture::scene

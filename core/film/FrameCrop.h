#pragma once
// The part of a picture that each frame mode keeps.

#include <cstdint>

namespace hx::film {

struct CropRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// Frame modes: 1 = 2:3, 2 = square, 3 = 16:9, 4 = 17:6; any other value keeps everything.
// An upright picture (width ≤ height) keeps a centred column, a sideways one a centred band.
// The kept side never exceeds the side it is cut from: for a picture wider than the frame
// (a 16:9 picture in the 2:3 frame) the whole side is kept.
CropRect cropRectForFrame(int32_t frameMode, int width, int height);

}  // namespace hx::film

#pragma once
// The extension's CPU renderer: one photo through one grid row's film, then turned upright.
//
// Threads: any thread; large pictures use the global pool through the vector image library.

#include <cstdint>
#include <string>

#include "platform/image/Image.h"

namespace hx::editing {

// The picture `source` (as decoded: Grey8, RGB8, RGBA8 or BGRA8, rows possibly padded) through
// grid row `row` (0 no film, 1 to 9 films 0 to 8) and turned upright for Exif orientation
// `orientation` (1 to 8; any other value counts as 1). `preview` softens with the small 5 x 5
// kernel instead of the 9 x 9 one.
//
// A Grey8 source is grey: its bytes go through the tone table and the kernels on their one
// channel. Any other source is first put in BGRA memory order, so that the mix's channel 0 is
// blue, then multiplied by the film's matrix, mapped through the tone table (channel 3 set to
// 255) and convolved; since the matrix gives the three colour channels the same weights, this
// is done on one grey plane, with the same bytes as the four-channel sequence.
//
// The result is BGRA8, opaque (the fourth byte 255), upright: orientations 5 to 8 swap width
// and height. Null, with *error set, when memory runs out or the picture cannot be processed.
image::ImageRef renderFilter(const image::Image& source, int32_t row, bool preview,
                             int32_t orientation, std::string* error = nullptr);

}  // namespace hx::editing

#include "core/film/FrameCrop.h"

#include <algorithm>

namespace hx::film {

CropRect cropRectForFrame(int32_t frameMode, int width, int height) {
    const CropRect whole{0, 0, width, height};
    if (width <= 0 || height <= 0) return whole;
    const bool upright = width <= height;
    const int longSide = upright ? height : width, shortSide = upright ? width : height;
    // The 2:3, 16:9 and 17:6 frames narrow the short side to a share of the long side; the
    // square cuts the long side down to the short one.
    bool cutShortSide = true;
    int kept;
    switch (frameMode) {
        case 1:
            kept = 2 * longSide / 3;
            break;
        case 2:
            kept = shortSide, cutShortSide = false;
            break;
        case 3:
            kept = 9 * longSide / 16;
            break;
        case 4:
            kept = 6 * longSide / 17;
            break;
        default:
            return whole;
    }
    const int cutSide = cutShortSide ? shortSide : longSide;
    kept = std::min(kept, cutSide);
    // The offset is computed in double and truncated with the rectangle.
    const int offset = int(double(cutSide - kept) / 2.0);
    const bool cutWidth = upright == cutShortSide;
    if (cutWidth) return {offset, 0, kept, height};
    return {0, offset, width, kept};
}

}  // namespace hx::film

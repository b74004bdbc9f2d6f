#include "core/film/FrameCrop.h"

#include <algorithm>

namespace hx::film {

CropRect cropRectForFrame(int32_t frameMode, int width, int height) {
    CropRect whole{0, 0, width, height};
    if (width <= 0 || height <= 0) return whole;
    const bool upright = width <= height;
    const int full = upright ? height : width;  // the side the kept side is measured on
    int kept;
    switch (frameMode) {
        case 1: kept = 2 * full / 3; break;
        case 2: kept = upright ? width : height; break;
        case 3: kept = 9 * full / 16; break;
        case 4: kept = 6 * full / 17; break;
        default: return whole;
    }
    const int cutSide = upright ? width : height;
    kept = std::min(kept, cutSide);
    // The offset is computed in double and truncated with the rectangle.
    const int offset = int(double(cutSide - kept) / 2.0);
    if (upright) return {offset, 0, kept, height};
    return {0, offset, width, kept};
}

}  // namespace hx::film

#include "platform/photos/imaging/TargetSize.h"

#include <algorithm>

namespace hx::photos {

int decodeLongSide(int width, int height, int orientation, Size target, ImageContentMode mode) {
    if (width <= 0 || height <= 0 || isMaximumSize(target)) return 0;
    bool sideways = orientation >= 5 && orientation <= 8;
    double uprightWidth = sideways ? height : width;
    double uprightHeight = sideways ? width : height;
    double across = target.width / uprightWidth;
    double down = target.height / uprightHeight;
    double scale =
        mode == ImageContentMode::AspectFill ? std::max(across, down) : std::min(across, down);
    if (scale >= 1) return 0;
    // Rounding up keeps a filled target covered after the short side is rounded.
    int longSide = int(std::ceil(std::max(width, height) * scale - 1e-9));
    return std::max(1, longSide);
}

}  // namespace hx::photos

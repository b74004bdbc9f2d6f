#pragma once
// Target sizes of image requests and what they mean for decoding: a picture is decoded just
// large enough to fit in (aspect fit) or cover (aspect fill) the target once it is turned
// upright, never larger than it is stored. The codec's scaled decode (JPEG's DCT scaling) does
// most of the shrinking, so a 100 × 100 thumbnail of a 12-megapixel photo never decodes the
// whole picture.

#include <cmath>

namespace hx::photos {

// In pixels.
struct Size {
    double width = 0;
    double height = 0;

    friend bool operator==(const Size&, const Size&) = default;
};

// Asks for the picture at the size it is stored.
inline constexpr Size PHImageManagerMaximumSize{-1, -1};

enum class ImageContentMode : int {
    AspectFit = 0,
    AspectFill = 1,
    Default = AspectFit,
};

inline bool isMaximumSize(Size size) {
    return !(size.width > 0 && size.height > 0) || !std::isfinite(size.width) ||
           !std::isfinite(size.height);
}

// The long side, in stored pixels, to decode a picture stored as width × height with the given
// Exif orientation so that it fits in or covers `target` once upright. 0 means the full size:
// the target is the maximum size or not smaller than the picture.
int decodeLongSide(int width, int height, int orientation, Size target, ImageContentMode mode);

}  // namespace hx::photos

#include "platform/image/heic/HeifOrientation.h"

#include <cstring>
#include <new>

namespace hx::image::heif {
namespace {

constexpr Symmetry kIdentity{1, 0, 0, 1};
constexpr Symmetry kMirrorLeftRight{-1, 0, 0, 1};
constexpr Symmetry kMirrorTopBottom{1, 0, 0, -1};
constexpr Symmetry kQuarterTurnAnticlockwise{0, 1, -1, 0};

// Indexed by Exif orientation; entry 0 is unused.
constexpr Symmetry kDisplaySymmetries[9] = {
    kIdentity,
    kIdentity,                 // 1: as stored
    kMirrorLeftRight,          // 2
    {-1, 0, 0, -1},            // 3: half turn
    kMirrorTopBottom,          // 4
    {0, 1, 1, 0},              // 5: transpose
    {0, -1, 1, 0},             // 6: quarter turn clockwise
    {0, -1, -1, 0},            // 7: transverse
    kQuarterTurnAnticlockwise  // 8
};

Symmetry symmetryForStep(const TransformStep& step) {
    if (step.kind == TransformStep::Kind::Mirror)
        return (step.value & 1) ? kMirrorLeftRight : kMirrorTopBottom;
    Symmetry result = kIdentity;
    for (int turn = 0; turn < (step.value & 3); ++turn)
        result = Symmetry::then(result, kQuarterTurnAnticlockwise);
    return result;
}

}  // namespace

Symmetry Symmetry::then(const Symmetry& first, const Symmetry& second) {
    return {
        second.xx * first.xx + second.xy * first.yx, second.xx * first.xy + second.xy * first.yy,
        second.yx * first.xx + second.yy * first.yx, second.yx * first.xy + second.yy * first.yy};
}

// Every symmetry of the square is orthogonal, so its inverse is its transpose.
Symmetry Symmetry::inverse() const {
    return {xx, yx, xy, yy};
}

bool isValidOrientation(int orientation) {
    return orientation >= 1 && orientation <= 8;
}

Symmetry displaySymmetry(int orientation) {
    return isValidOrientation(orientation) ? kDisplaySymmetries[orientation] : kIdentity;
}

int orientationForSymmetry(const Symmetry& symmetry) {
    for (int orientation = 1; orientation <= 8; ++orientation)
        if (kDisplaySymmetries[orientation] == symmetry) return orientation;
    return 1;
}

std::vector<TransformStep> transformStepsForOrientation(int orientation) {
    using Kind = TransformStep::Kind;
    switch (orientation) {
        case 2:
            return {{Kind::Mirror, 1}};
        case 3:
            return {{Kind::Rotation, 2}};
        case 4:
            return {{Kind::Mirror, 0}};
        case 5:
            return {{Kind::Rotation, 3}, {Kind::Mirror, 1}};
        case 6:
            return {{Kind::Rotation, 3}};
        case 7:
            return {{Kind::Rotation, 3}, {Kind::Mirror, 0}};
        case 8:
            return {{Kind::Rotation, 1}};
        default:
            return {};
    }
}

int orientationForTransformSteps(const std::vector<TransformStep>& steps) {
    Symmetry combined = kIdentity;
    for (const TransformStep& step : steps)
        combined = Symmetry::then(combined, symmetryForStep(step));
    return orientationForSymmetry(combined);
}

ImageRef applySymmetry(const ImageRef& image, const Symmetry& symmetry) {
    if (!image || symmetry == kIdentity) return image;
    const int width = image->width(), height = image->height();
    const int outWidth = symmetry.swapsAxes() ? height : width;
    const int outHeight = symmetry.swapsAxes() ? width : height;
    const size_t pixelBytes = image->bytesPerPixel();
    const size_t outRowBytes = pixelBytes * static_cast<size_t>(outWidth);
    std::vector<uint8_t> pixels;
    try {
        pixels.resize(outRowBytes * static_cast<size_t>(outHeight));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    // Pixel centres in doubled coordinates from the picture's centre stay whole numbers, so the
    // source of each output pixel is found exactly; along a row it moves by a fixed step.
    const Symmetry back = symmetry.inverse();
    const long stepX = back.xx, stepY = back.yx;
    for (int y = 0; y < outHeight; ++y) {
        const long cx = 1 - outWidth;
        const long cy = 2L * y + 1 - outHeight;
        long sx = (back.xx * cx + back.xy * cy + width - 1) / 2;
        long sy = (back.yx * cx + back.yy * cy + height - 1) / 2;
        uint8_t* out = pixels.data() + outRowBytes * static_cast<size_t>(y);
        for (int x = 0; x < outWidth; ++x, sx += stepX, sy += stepY, out += pixelBytes)
            std::memcpy(out, image->row(static_cast<int>(sy)) + pixelBytes * sx, pixelBytes);
    }
    return Image::adopt(image->pixelFormat(), outWidth, outHeight, std::move(pixels));
}

}  // namespace hx::image::heif

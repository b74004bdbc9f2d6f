#pragma once
// How an Exif orientation (1..8) maps onto the transformative properties of a HEIF image item:
// 'irot' (quarter turns anticlockwise) and 'imir' (a mirror), applied in the order the item lists
// them, and back. Pure arithmetic on the eight symmetries of a rectangle.

#include <vector>

#include "platform/image/Image.h"

namespace hx::image::heif {

struct TransformStep {
    enum class Kind { Rotation, Mirror };
    Kind kind = Kind::Rotation;
    // Rotation: quarter turns anticlockwise, 0..3 ('irot' angle). Mirror: 0 exchanges top and
    // bottom, 1 exchanges left and right ('imir' axis as the amended HEIF standard, libheif and
    // phones read it).
    int value = 0;

    friend bool operator==(const TransformStep&, const TransformStep&) = default;
};

// One of the eight symmetries as an integer matrix acting on pixel coordinates measured from the
// picture's centre, x to the right and y down: (x, y) -> (xx*x + xy*y, yx*x + yy*y).
struct Symmetry {
    int xx = 1, xy = 0, yx = 0, yy = 1;

    // `first` applied, then `second`.
    static Symmetry then(const Symmetry& first, const Symmetry& second);
    Symmetry inverse() const;
    // Width and height trade places.
    bool swapsAxes() const { return xx == 0; }

    friend bool operator==(const Symmetry&, const Symmetry&) = default;
};

bool isValidOrientation(int orientation);

// The map from the pixels as stored to the picture as shown for an Exif orientation; identity for
// values outside 1..8.
Symmetry displaySymmetry(int orientation);

// The Exif orientation whose display map is `symmetry`.
int orientationForSymmetry(const Symmetry& symmetry);

// The properties a writer lists for an orientation: a rotation first, then a mirror (the order
// libheif and phones use); empty for 1 and for values outside 1..8.
std::vector<TransformStep> transformStepsForOrientation(int orientation);

// The orientation that a reader applying `steps` in order shows. Any sequence maps to one of
// the eight values, so files that mirror before rotating read correctly too.
int orientationForTransformSteps(const std::vector<TransformStep>& steps);

// `image` (any format) with `symmetry` applied exactly, pixel for pixel, tightly packed; the image
// itself for the identity. Null when memory runs out.
ImageRef applySymmetry(const ImageRef& image, const Symmetry& symmetry);

}  // namespace hx::image::heif

// The indoor scene of the front camera (see BuiltInScenes.h for what it holds).

#include <cmath>

#include "platform/capture/scene/BuiltInScenes.h"
#include "platform/capture/scene/Shapes.h"

namespace hx::capture::scene {

namespace {

// Striped wallpaper, lit from the window on the left.
class WallBackdrop : public Shape {
  public:
    Box bounds(double) const override { return {-1e9, -1e9, 1e9, 1e9}; }

    void paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const override {
        constexpr Rgb kPaper{204, 184, 158};
        constexpr double kStripePeriod = 0.024;
        const float stripes = 0.07f * detailContrast(kStripePeriod / 3, span.footprint);
        for (int i = range.first; i <= range.last; ++i) {
            const double x = span.x + i * span.stepX, y = span.y + i * span.stepY;
            float light = static_cast<float>(1.12 - 0.3 * (x + 0.4) - 0.1 * (y + 0.5));
            const double phase = x / kStripePeriod - floorToInt(x / kStripePeriod);
            if (phase < 1.0 / 3) light *= 1 + stripes;
            put(bgra + 4 * i, scaled(kPaper, light));
        }
    }
};

}  // namespace

std::shared_ptr<const Scene> makeIndoorScene() {
    constexpr Rgb kWhite{238, 236, 230}, kSkin{226, 178, 146}, kSkinShade{198, 146, 116};
    constexpr Rgb kHair{62, 40, 28}, kWood{72, 46, 30};
    const Sway sway{0.008, 4.0};  // the person moves a little, as people do
    ShapeList s;
    // The window: frame, sky, roofs across the street, glazing bars.
    s.push_back(std::make_unique<FilledRect>(Box{-0.44, -0.52, -0.16, -0.11}, kWhite));
    s.push_back(std::make_unique<FilledRect>(Box{-0.428, -0.508, -0.172, -0.122},
                                             Rgb{120, 168, 222}, Rgb{214, 228, 242}));
    s.push_back(std::make_unique<FilledRect>(Box{-0.428, -0.2, -0.172, -0.122}, Rgb{92, 88, 96},
                                             Rgb{70, 66, 72}));
    s.push_back(std::make_unique<FilledRect>(Box{-0.305, -0.508, -0.295, -0.122}, kWhite));
    s.push_back(std::make_unique<FilledRect>(Box{-0.428, -0.32, -0.172, -0.31}, kWhite));

    // A framed colour checker and a clock on the wall.
    s.push_back(std::make_unique<FilledRect>(Box{0.13, -0.47, 0.37, -0.27}, kWood));
    std::vector<Rgb> checker = colourCheckerPatches();
    s.push_back(
        std::make_unique<ColourChart>(0.149, -0.451, 6, 4, 0.0355, 0.03, checker, Rgb{24, 24, 26}));
    s.push_back(std::make_unique<WallClock>(0.285, -0.08, 0.06));

    // The person: hair, ears, neck, a striped shirt, face and features, swaying together.
    const EllipseStyle hair = EllipseStyle::shaded(0.25f).swaying(sway);
    s.push_back(std::make_unique<Ellipse>(0.0, -0.05, 0.2, 0.25, kHair, hair));
    const EllipseStyle skin = EllipseStyle::shaded(0.18f).swaying(sway);
    s.push_back(std::make_unique<Ellipse>(0.0, 0.23, 0.07, 0.1, kSkinShade, skin));
    const EllipseStyle shirt =
        EllipseStyle::shaded(0.15f).striped(0.012, Rgb{228, 232, 236}).swaying(sway);
    s.push_back(std::make_unique<Ellipse>(0.0, 0.56, 0.42, 0.27, Rgb{46, 82, 150}, shirt));
    for (double side : {-1.0, 1.0})
        s.push_back(std::make_unique<Ellipse>(side * 0.152, 0.0, 0.024, 0.042, kSkinShade, skin));
    const EllipseStyle face = EllipseStyle::shaded(0.2f).swaying(sway);
    s.push_back(std::make_unique<Ellipse>(0.0, 0.0, 0.15, 0.2, kSkin, face));
    s.push_back(std::make_unique<Ellipse>(0.0, -0.17, 0.16, 0.07, kHair, hair));
    auto feature = [&](double x, double y, double rx, double ry, Rgb colour, float alpha = 1) {
        s.push_back(std::make_unique<Ellipse>(x, y, rx, ry, colour,
                                              EllipseStyle::shaded(0, alpha).swaying(sway)));
    };
    for (double side : {-1.0, 1.0}) {
        const double x = side * 0.055;
        feature(x, -0.056, 0.032, 0.0065, kHair);
        feature(x, -0.02, 0.027, 0.013, Rgb{244, 242, 238});
        feature(x, -0.02, 0.0115, 0.0115, Rgb{92, 112, 70});
        feature(x, -0.02, 0.0052, 0.0052, Rgb{14, 12, 12});
        feature(x - 0.004, -0.024, 0.0022, 0.0022, Rgb{255, 255, 255});
        feature(side * 0.085, 0.065, 0.032, 0.026, Rgb{232, 128, 118}, 0.22f);
    }
    feature(0.0, 0.042, 0.015, 0.032, kSkinShade, 0.5f);
    feature(0.0, 0.102, 0.046, 0.013, Rgb{176, 80, 86});
    return std::make_shared<LayeredScene>(std::make_unique<WallBackdrop>(), std::move(s), 0.25);
}

}  // namespace hx::capture::scene

// The outdoor scene of the back cameras (see BuiltInScenes.h for what it holds).

#include <array>
#include <cmath>

#include "platform/capture/scene/BuiltInScenes.h"
#include "platform/capture/scene/Shapes.h"

namespace hx::capture::scene {

namespace {

constexpr double kHorizon = -0.19;  // where the hills meet the grass
constexpr double kCheckerLeft = -0.345, kCheckerTop = -0.19;
constexpr double kCheckerPitch = 0.058, kCheckerPatch = 0.05;

// Sky over a line of hills, grass below. Painted per pixel from two small tables.
class OutdoorBackdrop : public Shape {
  public:
    OutdoorBackdrop() {
        for (size_t i = 0; i < skyline_.size(); ++i) {
            const double x = kSkylineLeft + kSkylineWidth * static_cast<double>(i) /
                                                static_cast<double>(skyline_.size() - 1);
            skyline_[i] =
                static_cast<float>(-0.235 + 0.022 * std::sin(9 * x + 0.5) +
                                   0.012 * std::sin(23 * x + 1.7) + 0.006 * std::sin(51 * x));
        }
        constexpr Rgb kZenith{44, 92, 172}, kHorizonSky{188, 212, 234};
        for (size_t i = 0; i < sky_.size(); ++i) {
            const double t = static_cast<double>(i) / static_cast<double>(sky_.size() - 1);
            sky_[i] = mix(kZenith, kHorizonSky, static_cast<float>(std::pow(t, 1.8)));
        }
        // Grass is yellower far off and deeper green close by.
        constexpr Rgb kFarGrass{92, 128, 58}, kNearGrass{70, 118, 38};
        for (size_t i = 0; i < grass_.size(); ++i)
            grass_[i] = mix(kFarGrass, kNearGrass,
                            static_cast<float>(i) / static_cast<float>(grass_.size() - 1));
    }

    Box bounds(double) const override { return {-1e9, -1e9, 1e9, 1e9}; }

    void paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const override {
        constexpr Rgb kHaze{112, 140, 134}, kHill{74, 104, 82};
        constexpr double kBladeWidth = 0.0022, kBladeHeight = 0.008;
        constexpr double kBladesPerUnitAcross = 1 / kBladeWidth,
                         kBladesPerUnitDown = 1 / kBladeHeight;
        const int grain = to256(0.34f * detailContrast(2 * kBladeWidth, span.footprint));
        for (int i = range.first; i <= range.last; ++i) {
            const double x = span.x + i * span.stepX, y = span.y + i * span.stepY;
            uint8_t* pixel = bgra + 4 * i;
            const float skyline = skylineAt(x);
            if (y < skyline) {
                put(pixel, skyAt(y));
            } else if (y < kHorizon) {
                put(pixel, mix256(kHaze, kHill,
                                  static_cast<int>(256 * (y - skyline) / (kHorizon - skyline))));
            } else {
                const uint32_t h =
                    hash2(floorToInt(x * kBladesPerUnitAcross), floorToInt(y * kBladesPerUnitDown));
                const int light = 256 + ((grain * (static_cast<int>(h & 255) - 128)) >> 8);
                put(pixel, scaled256(grassAt(y), light));
            }
        }
    }

  private:
    static constexpr double kSkylineLeft = -1.6, kSkylineWidth = 3.2;
    static constexpr double kSkyTop = -1.2;

    float skylineAt(double x) const {
        const double t = std::clamp((x - kSkylineLeft) / kSkylineWidth, 0.0, 1.0);
        return skyline_[static_cast<size_t>(t * static_cast<double>(skyline_.size() - 1))];
    }
    Rgb skyAt(double y) const {
        const double t = std::clamp((y - kSkyTop) / (kHorizon - kSkyTop), 0.0, 1.0);
        return sky_[static_cast<size_t>(t * static_cast<double>(sky_.size() - 1))];
    }

    Rgb grassAt(double y) const {
        const double t = std::clamp(y - kHorizon, 0.0, 1.0);
        return grass_[static_cast<size_t>(t * static_cast<double>(grass_.size() - 1))];
    }

    std::array<float, 4096> skyline_{};
    std::array<Rgb, 1024> sky_{};
    std::array<Rgb, 256> grass_{};
};

// The 24 patches of the usual colour checker in sRGB, in its four rows of six.
const std::vector<Rgb>& checkerColours() {
    static const std::vector<Rgb> colours = {
        {115, 82, 68},   {194, 150, 130}, {98, 122, 157}, {87, 108, 67},   {133, 128, 177},
        {103, 189, 170}, {214, 126, 44},  {80, 91, 166},  {193, 90, 99},   {94, 60, 108},
        {157, 188, 64},  {224, 163, 46},  {56, 61, 150},  {70, 148, 73},   {175, 54, 60},
        {231, 199, 31},  {187, 86, 149},  {8, 133, 161},  {243, 243, 242}, {200, 200, 200},
        {160, 160, 160}, {122, 122, 121}, {85, 85, 85},   {52, 52, 52},
    };
    return colours;
}

// The checker turned a quarter: its rows become columns, so it stands upright on the board.
std::vector<Rgb> checkerStandingUp() {
    const std::vector<Rgb>& flat = checkerColours();
    std::vector<Rgb> turned(24);
    for (int row = 0; row < 6; ++row)
        for (int column = 0; column < 4; ++column)
            turned[static_cast<size_t>(row * 4 + column)] =
                flat[static_cast<size_t>(column * 6 + row)];
    return turned;
}

}  // namespace

const std::vector<Rgb>& colourCheckerPatches() {
    return checkerColours();
}

ScenePoint colourCheckerPatchCentre(int index) {
    // Standing up, the checker's row becomes the column on the board and its column the row.
    const int column = index / 6, row = index % 6;
    return {kCheckerLeft + column * kCheckerPitch + kCheckerPatch / 2,
            kCheckerTop + row * kCheckerPitch + kCheckerPatch / 2};
}

std::shared_ptr<const Scene> makeOutdoorScene() {
    constexpr Rgb kBoard{232, 229, 220}, kBoardLow{222, 219, 210}, kFrame{62, 60, 58};
    constexpr Rgb kInk{30, 30, 36}, kCloud{246, 246, 250};
    constexpr Rgb kSkin{224, 172, 140}, kSkinShade{196, 140, 112}, kHair{56, 38, 28};
    ShapeList s;
    // Far away: sun, clouds, a tree and a barn that only the wider lenses see whole.
    s.push_back(std::make_unique<Glow>(0.24, -0.41, 0.11, Rgb{255, 244, 214}, 0.75f));
    s.push_back(std::make_unique<Ellipse>(0.24, -0.41, 0.032, 0.032, Rgb{255, 252, 240}));
    const EllipseStyle cloud = EllipseStyle::shaded(0.08f, 0.85f);
    s.push_back(std::make_unique<Ellipse>(-0.2, -0.36, 0.12, 0.03, kCloud, cloud));
    s.push_back(std::make_unique<Ellipse>(-0.12, -0.375, 0.07, 0.028, kCloud, cloud));
    s.push_back(std::make_unique<Ellipse>(0.06, -0.3, 0.09, 0.022, kCloud, cloud));
    s.push_back(std::make_unique<Ellipse>(-0.55, -0.58, 0.16, 0.04, kCloud, cloud));
    s.push_back(std::make_unique<Ellipse>(0.52, -0.66, 0.14, 0.035, kCloud, cloud));
    s.push_back(std::make_unique<FilledRect>(Box{0.47, -0.31, 0.72, -0.15}, Rgb{156, 48, 36},
                                             Rgb{128, 38, 30}));
    s.push_back(std::make_unique<FilledRect>(Box{0.45, -0.35, 0.74, -0.31}, Rgb{70, 62, 60}));
    s.push_back(std::make_unique<FilledRect>(Box{0.56, -0.25, 0.62, -0.15}, Rgb{60, 40, 30}));
    s.push_back(std::make_unique<FilledRect>(Box{-0.625, -0.36, -0.595, 0.08}, Rgb{84, 60, 42}));
    const EllipseStyle leaves = EllipseStyle::shaded(0.25f).grained(0.5f, 0.006);
    s.push_back(std::make_unique<Ellipse>(-0.61, -0.44, 0.13, 0.15, Rgb{58, 102, 48}, leaves));

    // The board and its legs.
    s.push_back(std::make_unique<FilledRect>(Box{-0.305, 0.47, -0.285, 0.66}, kFrame));
    s.push_back(std::make_unique<FilledRect>(Box{0.285, 0.47, 0.305, 0.66}, kFrame));
    s.push_back(std::make_unique<FilledRect>(Box{-0.362, -0.207, 0.362, 0.477}, kFrame));
    s.push_back(std::make_unique<FilledRect>(Box{-0.355, -0.2, 0.355, 0.47}, kBoard, kBoardLow));

    // Left: the colour checker. Middle: the resolution star over fine print. Right: a portrait
    // over skin swatches.
    s.push_back(std::make_unique<ColourChart>(kCheckerLeft, kCheckerTop, 4, 6, kCheckerPitch,
                                              kCheckerPatch, checkerStandingUp(), Rgb{22, 22, 24}));
    s.push_back(std::make_unique<SiemensStar>(0.0, -0.03, 0.095, 24, 0.25));
    s.push_back(std::make_unique<TextBlock>(
        Box{-0.098, 0.082, 0.1, 0.175},
        std::vector<TextBlock::Line>{{0.0135, "THE QUICK BROWN"},
                                     {0.0105, "FOX JUMPS OVER THE"},
                                     {0.0082, "LAZY DOG. 0123456789"},
                                     {0.0064, "PACK MY BOX WITH FIVE DOZEN"},
                                     {0.005, "LIQUOR JUGS - F/1.6 1/120 S ISO 32"},
                                     {0.0039, "SPHINX OF BLACK QUARTZ, JUDGE MY VOW."},
                                     {0.003, "SILVER GRAIN REMEMBERS EVERY PHOTON THAT FELL"},
                                     {0.0023, "FINE DETAIL ENDS WHERE THE LENS CAN NO LONGER SEE"}},
        kInk));
    s.push_back(
        std::make_unique<Ellipse>(0.235, 0.05, 0.1, 0.055, Rgb{40, 110, 122},
                                  EllipseStyle::shaded(0.2f).striped(0.008, Rgb{220, 226, 222})));
    s.push_back(std::make_unique<FilledRect>(Box{0.216, -0.03, 0.254, 0.0}, kSkinShade));
    s.push_back(
        std::make_unique<Ellipse>(0.235, -0.098, 0.066, 0.074, kHair, EllipseStyle::shaded(0.3f)));
    s.push_back(
        std::make_unique<Ellipse>(0.235, -0.07, 0.05, 0.064, kSkin, EllipseStyle::shaded(0.22f)));
    s.push_back(
        std::make_unique<Ellipse>(0.235, -0.128, 0.054, 0.024, kHair, EllipseStyle::shaded(0.2f)));
    for (double side : {-1.0, 1.0}) {
        const double ex = 0.235 + side * 0.019;
        s.push_back(std::make_unique<Ellipse>(ex, -0.089, 0.011, 0.0024, kHair));
        s.push_back(std::make_unique<Ellipse>(ex, -0.076, 0.0088, 0.0052, Rgb{242, 240, 234}));
        s.push_back(std::make_unique<Ellipse>(ex, -0.076, 0.0043, 0.0043, Rgb{82, 58, 40}));
        s.push_back(std::make_unique<Ellipse>(ex, -0.076, 0.0019, 0.0019, Rgb{14, 12, 12}));
    }
    s.push_back(std::make_unique<Ellipse>(0.235, -0.058, 0.0055, 0.011, kSkinShade,
                                          EllipseStyle::shaded(0, 0.55f)));
    s.push_back(std::make_unique<Ellipse>(0.235, -0.037, 0.016, 0.0052, Rgb{172, 72, 78}));
    const Rgb swatches[] = {{255, 224, 196}, {241, 194, 160}, {224, 172, 140},
                            {198, 134, 96},  {141, 85, 54},   {90, 56, 38}};
    for (int k = 0; k < 6; ++k) {
        const double x = 0.122 + (k % 3) * 0.077, y = 0.085 + (k / 3) * 0.044;
        s.push_back(std::make_unique<FilledRect>(Box{x, y, x + 0.07, y + 0.036}, swatches[k]));
    }

    // Across the lower board: grey steps, bar targets, hues, and a ball rolling on its ledge.
    s.push_back(std::make_unique<StepWedge>(Box{-0.345, 0.19, 0.345, 0.24}, 11, Rgb{18, 18, 18},
                                            Rgb{246, 246, 246}));
    const std::vector<double> bars = {0.006, 0.0042, 0.003, 0.0021, 0.0015, 0.001, 0.0007, 0.0005};
    s.push_back(std::make_unique<BarTarget>(-0.345, 0.258, 0.05, bars, 0.018, true, kInk));
    s.push_back(std::make_unique<BarTarget>(-0.1, 0.262, 0.0, bars, 0.012, false, kInk));
    s.push_back(std::make_unique<HueStrip>(Box{-0.345, 0.33, 0.345, 0.37}));
    s.push_back(std::make_unique<FilledRect>(Box{-0.355, 0.455, 0.355, 0.47}, Rgb{150, 120, 90},
                                             Rgb{120, 94, 70}));
    s.push_back(std::make_unique<BouncingBall>(-0.34, 0.34, 0.455, 0.028, Rgb{206, 46, 36}));
    return std::make_shared<LayeredScene>(std::make_unique<OutdoorBackdrop>(), std::move(s), 1.0);
}

}  // namespace hx::capture::scene

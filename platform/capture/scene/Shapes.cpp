#include "platform/capture/scene/Shapes.h"

#include <array>
#include <cmath>
#include <numbers>

#include "platform/capture/scene/Font5x7.h"

namespace hx::capture::scene {

namespace {

constexpr double kPi = std::numbers::pi;

struct Cursor {
    double x, y;
};

inline Cursor at(const SceneSpan& span, int i) {
    return {span.x + i * span.stepX, span.y + i * span.stepY};
}

inline double fraction(double value) {
    return value - floorToInt(value);
}

}  // namespace

void LayeredScene::renderSpan(const SceneSpan& span, uint8_t* bgra) const {
    if (span.count <= 0) return;
    // Where each shape falls on the span, and which of those ranges opaque boxes cover.
    constexpr size_t kMaxShapes = 128;
    const size_t count = std::min(shapes_.size(), kMaxShapes);
    std::array<PixelRange, kMaxShapes> ranges;
    std::array<bool, kMaxShapes> opaque;
    for (size_t i = 0; i < count; ++i) {
        ranges[i] = rangeInside(span, shapes_[i]->bounds(span.time));
        opaque[i] = !ranges[i].empty() && shapes_[i]->isOpaqueBox();
    }
    // Paints `range` of a layer minus whatever opaque boxes above it (from `above` on) cover.
    auto paintVisible = [&](auto& self, const Shape& shape, PixelRange range,
                            size_t above) -> void {
        for (size_t j = above; j < count && !range.empty(); ++j) {
            if (!opaque[j] || ranges[j].last < range.first || ranges[j].first > range.last)
                continue;
            if (ranges[j].first > range.first)
                self(self, shape, {range.first, ranges[j].first - 1}, j + 1);
            range.first = ranges[j].last + 1;
        }
        if (!range.empty()) shape.paint(span, range, bgra);
    };
    paintVisible(paintVisible, *backdrop_, {0, span.count - 1}, 0);
    for (size_t i = 0; i < shapes_.size(); ++i) {
        if (i >= count) {
            PixelRange range = rangeInside(span, shapes_[i]->bounds(span.time));
            if (!range.empty()) shapes_[i]->paint(span, range, bgra);
        } else if (!ranges[i].empty()) {
            paintVisible(paintVisible, *shapes_[i], ranges[i], i + 1);
        }
    }
}

double Sway::at(double time) const {
    return amplitude == 0 ? 0 : amplitude * std::sin(2 * kPi * time / period);
}

void FilledRect::paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const {
    // The gradient runs along y, in 1/65536ths of the box's height.
    const double scale = 65536.0 / (box_.y1 - box_.y0);
    const int64_t start = static_cast<int64_t>((at(span, range.first).y - box_.y0) * scale);
    const int64_t step = static_cast<int64_t>(span.stepY * scale);
    const int dr = bottom_.r - top_.r, dg = bottom_.g - top_.g, db = bottom_.b - top_.b;
    for (int i = range.first; i <= range.last; ++i) {
        const int64_t t = std::clamp<int64_t>(start + (i - range.first) * step, 0, 65536);
        uint8_t* p = bgra + 4 * i;
        p[0] = static_cast<uint8_t>(top_.b + ((db * t) >> 16));
        p[1] = static_cast<uint8_t>(top_.g + ((dg * t) >> 16));
        p[2] = static_cast<uint8_t>(top_.r + ((dr * t) >> 16));
        p[3] = 255;
    }
}

Box Ellipse::bounds(double time) const {
    const double dx = style_.sway.at(time);
    return {cx_ + dx - rx_, cy_ - ry_, cx_ + dx + rx_, cy_ + ry_};
}

void Ellipse::paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const {
    const double cx = cx_ + style_.sway.at(span.time);
    const float footprint = static_cast<float>(span.footprint);
    const float minRadius = static_cast<float>(std::min(rx_, ry_));
    // Closer to the centre than this the pixel is wholly inside: no square root needed.
    const float inner = std::max(0.0f, 1 - 0.5f * footprint / minRadius);
    const float innerSquared = inner * inner;
    const int alpha = to256(style_.alpha);
    const int shading = to256(style_.shading);
    const float stripeContrast =
        style_.stripePeriod > 0 ? detailContrast(style_.stripePeriod, span.footprint) : 0;
    const Rgb striped = mix(colour_, style_.stripe, stripeContrast);
    const int grain =
        to256(style_.texture * detailContrast(2 * style_.textureCell, span.footprint));
    const double cellsPerUnit = 1 / style_.textureCell;
    for (int i = range.first; i <= range.last; ++i) {
        const Cursor p = at(span, i);
        const float dx = static_cast<float>((p.x - cx) / rx_);
        const float dy = static_cast<float>((p.y - cy_) / ry_);
        const float q = dx * dx + dy * dy;
        if (q > 1.1f) continue;
        const float coverage =
            q < innerSquared ? 1.0f : edgeCoverage((std::sqrt(q) - 1) * minRadius, footprint);
        if (coverage <= 0) continue;
        Rgb colour = colour_;
        if (stripeContrast > 0 && fraction(p.y / style_.stripePeriod) < 1.0 / 3) colour = striped;
        int light = 256 - ((shading * to256(q)) >> 8);
        if (grain > 0) {
            const uint32_t h =
                hash2(floorToInt(p.x * cellsPerUnit), floorToInt(p.y * cellsPerUnit));
            light = (light * (256 + ((grain * (static_cast<int>(h & 255) - 128)) >> 8))) >> 8;
        }
        if (light != 256) colour = scaled256(colour, light);
        blend(bgra + 4 * i, colour, (alphaOf(coverage) * alpha) >> 8);
    }
}

Box Glow::bounds(double) const {
    return {cx_ - radius_, cy_ - radius_, cx_ + radius_, cy_ + radius_};
}

void Glow::paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const {
    const double r2 = radius_ * radius_;
    for (int i = range.first; i <= range.last; ++i) {
        const Cursor p = at(span, i);
        const double d2 = ((p.x - cx_) * (p.x - cx_) + (p.y - cy_) * (p.y - cy_)) / r2;
        if (d2 >= 1) continue;
        const float falloff = static_cast<float>(1 - std::sqrt(d2));
        blend(bgra + 4 * i, colour_, alphaOf(strength_ * falloff * falloff));
    }
}

ColourChart::ColourChart(double x0, double y0, int columns, int rows, double pitch, double patch,
                         std::vector<Rgb> colours, Rgb card)
    : x0_(x0),
      y0_(y0),
      pitch_(pitch),
      patch_(patch),
      columns_(columns),
      rows_(rows),
      colours_(std::move(colours)),
      card_(card) {
    const double margin = pitch - patch;
    box_ = {x0 - margin, y0 - margin, x0 + columns * pitch, y0 + rows * pitch};
    colours_.resize(static_cast<size_t>(columns * rows));
}

void ColourChart::paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const {
    const double inside = patch_ / pitch_, perPitch = 1 / pitch_;
    for (int i = range.first; i <= range.last; ++i) {
        const Cursor p = at(span, i);
        const double u = (p.x - x0_) * perPitch, v = (p.y - y0_) * perPitch;
        const int column = floorToInt(u), row = floorToInt(v);
        const bool onPatch = column >= 0 && column < columns_ && row >= 0 && row < rows_ &&
                             u - column < inside && v - row < inside;
        put(bgra + 4 * i, onPatch ? colours_[static_cast<size_t>(row * columns_ + column)] : card_);
    }
}

void StepWedge::paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const {
    const double width = box_.x1 - box_.x0;
    for (int i = range.first; i <= range.last; ++i) {
        const int step =
            std::clamp(static_cast<int>((at(span, i).x - box_.x0) / width * steps_), 0, steps_ - 1);
        put(bgra + 4 * i, mix(from_, to_, static_cast<float>(step) / (steps_ - 1)));
    }
}

Box SiemensStar::bounds(double) const {
    return {cx_ - radius_, cy_ - radius_, cx_ + radius_, cy_ + radius_};
}

void SiemensStar::paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const {
    constexpr Rgb kBlack{28, 28, 30}, kWhite{236, 234, 228}, kGrey{132, 131, 129};
    const float turn = static_cast<float>(std::fmod(span.time * speed_, 2 * kPi));
    const float sectorsPerRadian = static_cast<float>(spokes_ / kPi);
    const float footprint = static_cast<float>(span.footprint);
    const float radius = static_cast<float>(radius_);
    // A pair of sectors spans 2 pi r / spokes; closer to the centre than this only grey shows.
    const float periodPerRadius = static_cast<float>(2 * kPi / spokes_);
    for (int i = range.first; i <= range.last; ++i) {
        const Cursor p = at(span, i);
        const float dx = static_cast<float>(p.x - cx_), dy = static_cast<float>(p.y - cy_);
        const float r = std::sqrt(dx * dx + dy * dy);
        const float coverage = edgeCoverage(r - radius, footprint);
        if (coverage <= 0) continue;
        const float sector = (fastAtan2(dy, dx) + turn) * sectorsPerRadian;
        const bool dark = (floorToInt(sector) & 1) != 0;
        const float contrast = detailContrast(periodPerRadius * r, footprint);
        const Rgb colour = mix(kGrey, dark ? kBlack : kWhite, contrast);
        blend(bgra + 4 * i, colour, alphaOf(coverage));
    }
}

TextBlock::TextBlock(Box box, std::vector<Line> lines, Rgb ink) : box_(box), ink_(ink) {
    double top = box.y0;
    for (Line& line : lines) {
        lines_.push_back({top, line.height / 7, std::move(line.text)});
        top += line.height * 1.45;
    }
}

void TextBlock::paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const {
    // About a third of a line of text is ink; that is what fine print averages to.
    constexpr float kInkShare = 0.3f;
    for (int i = range.first; i <= range.last; ++i) {
        const Cursor p = at(span, i);
        for (const PlacedLine& line : lines_) {
            const double v = (p.y - line.top) / line.cell;
            if (v < 0 || v >= 7) continue;
            const double u = (p.x - box_.x0) / line.cell;
            const int column = static_cast<int>(u), character = column / 6, dot = column % 6;
            if (u < 0 || character >= static_cast<int>(line.text.size())) break;
            const float contrast = detailContrast(2 * line.cell, span.footprint);
            bool inked = false;
            if (dot < 5) {
                const Glyph& glyph = glyphFor(line.text[static_cast<size_t>(character)]);
                inked = (glyph[static_cast<size_t>(v)] >> (4 - dot)) & 1;
            }
            const float ink = contrast * (inked ? 1.0f : 0.0f) + (1 - contrast) * kInkShare;
            blend(bgra + 4 * i, ink_, alphaOf(ink));
            break;
        }
    }
}

BarTarget::BarTarget(double x0, double y0, double length, std::vector<double> barWidths, double gap,
                     bool vertical, Rgb ink)
    : y0_(y0), length_(length), vertical_(vertical), ink_(ink) {
    double start = x0, bottom = y0 + (vertical ? length : 0);
    for (double width : barWidths) {
        groups_.push_back({start, width});
        start += (vertical ? 5 : 10) * width + gap;
        if (!vertical) bottom = std::max(bottom, y0 + 5 * width);
    }
    box_ = {x0, y0, start - gap, bottom};
}

void BarTarget::paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const {
    for (int i = range.first; i <= range.last; ++i) {
        const Cursor p = at(span, i);
        for (const Group& group : groups_) {
            const double across = (p.x - group.start) / group.width;
            if (across < 0 || across >= (vertical_ ? 5 : 10)) continue;
            const double k = vertical_ ? across : (p.y - y0_) / group.width;
            if (k < 0 || k >= 5 || (vertical_ && p.y > y0_ + length_)) break;
            // Three bars and the two gaps between them: their average is 60 % ink.
            const float contrast = detailContrast(2 * group.width, span.footprint);
            const float ink =
                contrast * ((static_cast<int>(k) & 1) == 0 ? 1.0f : 0.0f) + (1 - contrast) * 0.6f;
            blend(bgra + 4 * i, ink_, alphaOf(ink));
            break;
        }
    }
}

void HueStrip::paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const {
    const double width = box_.x1 - box_.x0, middle = (box_.y0 + box_.y1) / 2;
    for (int i = range.first; i <= range.last; ++i) {
        const Cursor p = at(span, i);
        const float hue = static_cast<float>(std::clamp((p.x - box_.x0) / width, 0.0, 1.0) * 6);
        const int sextant = std::min(static_cast<int>(hue), 5);
        const float f = hue - sextant;
        float r = 0, g = 0, b = 0;
        switch (sextant) {
            case 0:
                r = 1, g = f;
                break;
            case 1:
                r = 1 - f, g = 1;
                break;
            case 2:
                g = 1, b = f;
                break;
            case 3:
                g = 1 - f, b = 1;
                break;
            case 4:
                r = f, b = 1;
                break;
            default:
                r = 1, b = 1 - f;
                break;
        }
        const float pale = p.y < middle ? 0.0f : 0.55f;
        auto channel = [&](float c) { return clampByte((c + (1 - c) * pale) * 230 + 12); };
        put(bgra + 4 * i, {channel(r), channel(g), channel(b)});
    }
}

void BouncingBall::position(double time, double& cx, double& cy, double& lift) const {
    constexpr double kRollPeriod = 6.0, kBouncePeriod = 0.9, kBounceHeight = 1.6;
    const double along = 1 - std::fabs(2 * fraction(time / kRollPeriod) - 1);
    cx = left_ + radius_ + (right_ - left_ - 2 * radius_) * along;
    lift = std::fabs(std::sin(kPi * time / kBouncePeriod));
    cy = floorY_ - radius_ - kBounceHeight * radius_ * lift;
}

Box BouncingBall::bounds(double time) const {
    double cx, cy, lift;
    position(time, cx, cy, lift);
    return {cx - radius_ * 1.2, cy - radius_, cx + radius_ * 1.2, floorY_ + radius_ * 0.3};
}

void BouncingBall::paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const {
    constexpr Rgb kShadow{40, 38, 36}, kHighlight{255, 250, 240};
    double cx, cy, lift;
    position(span.time, cx, cy, lift);
    const float footprint = static_cast<float>(span.footprint);
    const double shadowRx = radius_ * (1.1 - 0.4 * lift), shadowRy = radius_ * 0.22;
    const float shadowAlpha = static_cast<float>(0.45 * (1 - 0.6 * lift));
    const double hx = cx - 0.35 * radius_, hy = cy - 0.4 * radius_;
    for (int i = range.first; i <= range.last; ++i) {
        const Cursor p = at(span, i);
        uint8_t* pixel = bgra + 4 * i;
        const double sx = (p.x - cx) / shadowRx, sy = (p.y - floorY_) / shadowRy;
        const double s2 = sx * sx + sy * sy;
        if (s2 < 1) blend(pixel, kShadow, alphaOf(shadowAlpha * static_cast<float>(1 - s2)));

        const double dx = p.x - cx, dy = p.y - cy;
        const float r = static_cast<float>(std::sqrt(dx * dx + dy * dy));
        const float coverage = edgeCoverage(r - static_cast<float>(radius_), footprint);
        if (coverage <= 0) continue;
        const double h2 = ((p.x - hx) * (p.x - hx) + (p.y - hy) * (p.y - hy)) / (radius_ * radius_);
        Rgb colour = scaled(colour_, static_cast<float>(1.25 - 0.55 * h2));
        if (h2 < 0.04) colour = mix(colour, kHighlight, static_cast<float>(1 - h2 / 0.04) * 0.8f);
        blend(pixel, colour, alphaOf(coverage));
    }
}

Box WallClock::bounds(double) const {
    return {cx_ - radius_, cy_ - radius_, cx_ + radius_, cy_ + radius_};
}

void WallClock::paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const {
    constexpr Rgb kFace{246, 244, 238}, kRim{45, 42, 40}, kHand{30, 30, 32}, kSecond{200, 40, 35};
    struct Hand {
        double sin, cos, length, halfWidth;
        Rgb colour;
    };
    // Ten past ten plus the run loop's time, so the second hand visibly moves.
    const double seconds = 36600 + span.time;
    auto hand = [&](double turns, double length, double halfWidth, Rgb colour) {
        const double angle = 2 * kPi * fraction(turns);
        return Hand{std::sin(angle), std::cos(angle), length * radius_, halfWidth * radius_,
                    colour};
    };
    const Hand hands[] = {hand(seconds / 43200, 0.5, 0.045, kHand),
                          hand(seconds / 3600, 0.75, 0.03, kHand),
                          hand(seconds / 60, 0.82, 0.012, kSecond)};
    const float footprint = static_cast<float>(span.footprint);
    for (int i = range.first; i <= range.last; ++i) {
        const Cursor p = at(span, i);
        const double dx = p.x - cx_, dy = p.y - cy_;
        const double r = std::sqrt(dx * dx + dy * dy);
        const float coverage = edgeCoverage(static_cast<float>(r - radius_), footprint);
        if (coverage <= 0) continue;
        Rgb colour = r > radius_ * 0.92 ? kRim : kFace;
        if (r > radius_ * 0.74 && r < radius_ * 0.86) {
            // Hour marks: thin radial bars every 30 degrees.
            const double hour =
                (fastAtan2(static_cast<float>(dx), static_cast<float>(-dy)) + kPi) * 6 / kPi;
            if (std::fabs(hour - std::round(hour)) * r * kPi / 6 < radius_ * 0.025) colour = kRim;
        }
        for (const Hand& h : hands) {
            const double along = dx * h.sin - dy * h.cos;
            const double across = std::fabs(dx * h.cos + dy * h.sin);
            if (along > -0.12 * radius_ && along < h.length && across < h.halfWidth)
                colour = h.colour;
        }
        blend(bgra + 4 * i, colour, alphaOf(coverage));
    }
}

}  // namespace hx::capture::scene

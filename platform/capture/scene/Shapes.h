#pragma once

// The things the built-in scenes are made of. Each shape says where it may paint at a given
// time and paints only the pixels of a span inside that box, so a span costs in proportion to
// what it crosses. Edges are softened over one pixel and patterns finer than a pixel fade to
// their average, so the scene looks the same at preview size and in a full-resolution still.

#include <memory>
#include <string>
#include <vector>

#include "platform/capture/scene/Paint.h"
#include "platform/capture/scene/Scene.h"

namespace hx::capture::scene {

class Shape {
  public:
    virtual ~Shape() = default;
    virtual Box bounds(double time) const = 0;
    // Paints the pixels of `range`, which lie inside bounds(span.time).
    virtual void paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const = 0;
    // Whether the shape paints every pixel of its box opaquely, hiding what lies beneath.
    virtual bool isOpaqueBox() const { return false; }
};
using ShapeList = std::vector<std::unique_ptr<Shape>>;

// A backdrop that covers everything, with shapes painted over it in order. Pixels that a later
// opaque box will cover are not painted at all.
class LayeredScene : public Scene {
  public:
    LayeredScene(std::unique_ptr<Shape> backdrop, ShapeList shapes, double illuminance)
        : backdrop_(std::move(backdrop)), shapes_(std::move(shapes)), illuminance_(illuminance) {}
    void renderSpan(const SceneSpan& span, uint8_t* bgra) const override;
    double illuminance() const override { return illuminance_; }

  private:
    std::unique_ptr<Shape> backdrop_;
    ShapeList shapes_;
    double illuminance_;
};

// Side-to-side movement: x shifts by amplitude * sin(2 pi t / period).
struct Sway {
    double amplitude = 0;
    double period = 1;
    double at(double time) const;
};

// A rectangle filled with a vertical gradient.
class FilledRect : public Shape {
  public:
    FilledRect(Box box, Rgb top, Rgb bottom) : box_(box), top_(top), bottom_(bottom) {}
    FilledRect(Box box, Rgb colour) : FilledRect(box, colour, colour) {}
    Box bounds(double) const override { return box_; }
    void paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const override;
    bool isOpaqueBox() const override { return true; }

  private:
    Box box_;
    Rgb top_, bottom_;
};

struct EllipseStyle {
    float alpha = 1;
    float shading = 0;  // darkening towards the rim, 0 to 1
    // Horizontal stripes of another colour, a third of each period wide.
    double stripePeriod = 0;
    Rgb stripe;
    // Grain: brightness varies by up to `texture` over cells of `textureCell` scene units.
    float texture = 0;
    double textureCell = 0.004;
    Sway sway;

    static EllipseStyle shaded(float shading, float alpha = 1) {
        EllipseStyle style;
        style.shading = shading;
        style.alpha = alpha;
        return style;
    }
    EllipseStyle striped(double period, Rgb colour) const {
        EllipseStyle style = *this;
        style.stripePeriod = period;
        style.stripe = colour;
        return style;
    }
    EllipseStyle grained(float amount, double cell) const {
        EllipseStyle style = *this;
        style.texture = amount;
        style.textureCell = cell;
        return style;
    }
    EllipseStyle swaying(Sway motion) const {
        EllipseStyle style = *this;
        style.sway = motion;
        return style;
    }
};

class Ellipse : public Shape {
  public:
    Ellipse(double cx, double cy, double rx, double ry, Rgb colour, EllipseStyle style = {})
        : cx_(cx), cy_(cy), rx_(rx), ry_(ry), colour_(colour), style_(style) {}
    Box bounds(double time) const override;
    void paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const override;

  private:
    double cx_, cy_, rx_, ry_;
    Rgb colour_;
    EllipseStyle style_;
};

// A soft light around a point, strongest at the centre.
class Glow : public Shape {
  public:
    Glow(double cx, double cy, double radius, Rgb colour, float strength)
        : cx_(cx), cy_(cy), radius_(radius), colour_(colour), strength_(strength) {}
    Box bounds(double) const override;
    void paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const override;

  private:
    double cx_, cy_, radius_;
    Rgb colour_;
    float strength_;
};

// Patches of colour on a card, row by row.
class ColourChart : public Shape {
  public:
    ColourChart(double x0, double y0, int columns, int rows, double pitch, double patch,
                std::vector<Rgb> colours, Rgb card);
    Box bounds(double) const override { return box_; }
    void paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const override;
    bool isOpaqueBox() const override { return true; }

  private:
    double x0_, y0_, pitch_, patch_;
    int columns_, rows_;
    std::vector<Rgb> colours_;
    Rgb card_;
    Box box_;
};

// Equal steps from one colour to another, left to right.
class StepWedge : public Shape {
  public:
    StepWedge(Box box, int steps, Rgb from, Rgb to)
        : box_(box), steps_(steps), from_(from), to_(to) {}
    Box bounds(double) const override { return box_; }
    void paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const override;
    bool isOpaqueBox() const override { return true; }

  private:
    Box box_;
    int steps_;
    Rgb from_, to_;
};

// Black and white sectors meeting at a point, turning slowly: every focus error and every
// lack of resolution shows as grey near its centre.
class SiemensStar : public Shape {
  public:
    SiemensStar(double cx, double cy, double radius, int spokes, double radiansPerSecond)
        : cx_(cx), cy_(cy), radius_(radius), spokes_(spokes), speed_(radiansPerSecond) {}
    Box bounds(double) const override;
    void paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const override;

  private:
    double cx_, cy_, radius_;
    int spokes_;
    double speed_;
};

// Lines of printed capitals, each smaller than the one before.
class TextBlock : public Shape {
  public:
    struct Line {
        double height;  // of a capital letter, scene units
        std::string text;
    };
    TextBlock(Box box, std::vector<Line> lines, Rgb ink);
    Box bounds(double) const override { return box_; }
    void paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const override;

  private:
    struct PlacedLine {
        double top, cell;  // a glyph is 5 x 7 cells
        std::string text;
    };
    Box box_;
    std::vector<PlacedLine> lines_;
    Rgb ink_;
};

// Groups of three bars side by side, each group finer than the one before: vertical bars
// `length` tall, or horizontal bars in blocks twice as wide as they are tall.
class BarTarget : public Shape {
  public:
    BarTarget(double x0, double y0, double length, std::vector<double> barWidths, double gap,
              bool vertical, Rgb ink);
    Box bounds(double) const override { return box_; }
    void paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const override;

  private:
    struct Group {
        double start, width;  // left edge and bar width
    };
    double y0_, length_;
    bool vertical_;
    Rgb ink_;
    std::vector<Group> groups_;
    Box box_;
};

// Every hue from left to right, saturated above and pale below.
class HueStrip : public Shape {
  public:
    explicit HueStrip(Box box) : box_(box) {}
    Box bounds(double) const override { return box_; }
    void paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const override;
    bool isOpaqueBox() const override { return true; }

  private:
    Box box_;
};

// A ball rolling to and fro along a floor, bouncing, with its shadow.
class BouncingBall : public Shape {
  public:
    BouncingBall(double left, double right, double floorY, double radius, Rgb colour)
        : left_(left), right_(right), floorY_(floorY), radius_(radius), colour_(colour) {}
    Box bounds(double time) const override;
    void paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const override;

    // Where the ball's centre is at `time`, and how high it is above the floor (0 to 1).
    void position(double time, double& cx, double& cy, double& lift) const;

  private:
    double left_, right_, floorY_, radius_;
    Rgb colour_;
};

// A round clock whose hands follow the run loop's clock.
class WallClock : public Shape {
  public:
    WallClock(double cx, double cy, double radius) : cx_(cx), cy_(cy), radius_(radius) {}
    Box bounds(double) const override;
    void paint(const SceneSpan& span, PixelRange range, uint8_t* bgra) const override;

  private:
    double cx_, cy_, radius_;
};

}  // namespace hx::capture::scene

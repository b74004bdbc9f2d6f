#pragma once
// A colour with straight (not premultiplied) alpha, components from 0 to 1. A value type:
// copies are independent.

namespace hx {

class UIColor {
  public:
    constexpr UIColor() = default;  // clear
    static UIColor colorWithRed(double red, double green, double blue, double alpha);
    static UIColor colorWithWhite(double white, double alpha);

    static UIColor clearColor() { return {}; }
    static UIColor blackColor() { return colorWithWhite(0, 1); }
    static UIColor whiteColor() { return colorWithWhite(1, 1); }
    static UIColor darkGrayColor() { return colorWithWhite(1.0 / 3, 1); }
    static UIColor grayColor() { return colorWithWhite(0.5, 1); }
    static UIColor lightGrayColor() { return colorWithWhite(2.0 / 3, 1); }
    static UIColor redColor() { return colorWithRed(1, 0, 0, 1); }
    static UIColor greenColor() { return colorWithRed(0, 1, 0, 1); }
    static UIColor blueColor() { return colorWithRed(0, 0, 1, 1); }
    static UIColor yellowColor() { return colorWithRed(1, 1, 0, 1); }
    static UIColor orangeColor() { return colorWithRed(1, 0.5, 0, 1); }
    // The default tint of controls.
    static UIColor systemBlueColor() { return colorWithRed(0, 122.0 / 255, 1, 1); }

    UIColor colorWithAlphaComponent(double alpha) const;

    double red() const { return red_; }
    double green() const { return green_; }
    double blue() const { return blue_; }
    double alpha() const { return alpha_; }
    bool isClear() const { return alpha_ <= 0; }

    friend bool operator==(const UIColor&, const UIColor&) = default;

  private:
    constexpr UIColor(double r, double g, double b, double a)
        : red_(r), green_(g), blue_(b), alpha_(a) {}
    double red_ = 0;
    double green_ = 0;
    double blue_ = 0;
    double alpha_ = 0;
};

}  // namespace hx

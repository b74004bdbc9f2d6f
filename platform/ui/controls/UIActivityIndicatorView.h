#pragma once
// A spinning busy indicator: twelve spokes turning once a second on the run loop's clock.
// Hidden while stopped when hidesWhenStopped is on (the default).
//
// Threads: main thread only.

#include <memory>

#include "platform/ui/view/UIView.h"

namespace hx {

class Timer;

enum class UIActivityIndicatorViewStyle {
    WhiteLarge = 0,
    White = 1,
    Gray = 2,
    Medium = 100,
    Large = 101,
};

class UIActivityIndicatorView : public UIView {
  public:
    explicit UIActivityIndicatorView(
        UIActivityIndicatorViewStyle style = UIActivityIndicatorViewStyle::Medium);
    ~UIActivityIndicatorView() override;

    UIActivityIndicatorViewStyle activityIndicatorViewStyle() const { return style_; }
    void setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style);
    UIColor color() const { return color_; }
    void setColor(const UIColor& color);
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool hides);

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }

    CGSize sizeThatFits(const CGSize& size) const override;

  protected:
    void drawContent(CGContext& context) override;

  private:
    UIActivityIndicatorViewStyle style_;
    UIColor color_;
    bool hidesWhenStopped_ = true;
    bool animating_ = false;
    double startedAt_ = 0;
    std::shared_ptr<Timer> timer_;
};

}  // namespace hx

#pragma once
// What the navigation bar and the toolbar share: the bar style and translucency, and a
// background that reaches past the bar's own bounds into the safe area above a navigation bar
// or below a toolbar, with a hairline on the edge that faces the content.
//
// Threads: main thread only.

#include <memory>
#include <optional>

#include "platform/ui/view/UIView.h"

namespace hx {

enum class UIBarStyle { Default = 0, Black = 1, BlackTranslucent = 2 };

namespace ui {

class BarBase : public UIView {
  public:
    enum class Edge { Top, Bottom };
    // `hairline` is the edge that faces the content.
    BarBase(const CGRect& frame, Edge hairline);

    UIBarStyle barStyle() const { return barStyle_; }
    void setBarStyle(UIBarStyle style);
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool translucent);
    // Replaces the style's background colour (opaque unless it says otherwise).
    std::optional<UIColor> barTintColor() const { return barTint_; }
    void setBarTintColor(std::optional<UIColor> color);
    // Whether the style is a dark one (light text and glyphs suit it).
    bool isDark() const { return barStyle_ != UIBarStyle::Default; }

    // How far the background reaches beyond the bar, away from the content.
    double backgroundExtension() const { return extension_; }
    void setBackgroundExtension(double points);

    // Places the background; subclasses call it first.
    void layoutSubviews() override;

  protected:
    // Called when the style changes, for the bar's own colours.
    virtual void styleDidChange() {}

  private:
    void updateBackground();

    Edge hairlineEdge_;
    UIBarStyle barStyle_ = UIBarStyle::Default;
    bool translucent_ = true;
    std::optional<UIColor> barTint_;
    double extension_ = 0;
    std::shared_ptr<UIView> background_;
    std::shared_ptr<UIView> hairline_;
};

}  // namespace ui
}  // namespace hx

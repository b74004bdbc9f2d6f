#pragma once
// The drawing attributes of a view's layer: corner radius, border, masking and contents scale.
// Every view has exactly one, reached by UIView::layer().
//
// Threads: main thread only.

#include "platform/ui/drawing/UIColor.h"

namespace hx {

class UIView;

class CALayer {
  public:
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double radius);
    double borderWidth() const { return borderWidth_; }
    void setBorderWidth(double width);
    UIColor borderColor() const { return borderColor_; }
    void setBorderColor(const UIColor& color);
    // Same as the view's clipsToBounds.
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool masks);
    double contentsScale() const { return contentsScale_; }
    void setContentsScale(double scale);
    double opacity() const;
    void setOpacity(double opacity);

    explicit CALayer(UIView& owner) : owner_(owner) {}
    CALayer(const CALayer&) = delete;
    CALayer& operator=(const CALayer&) = delete;

  private:
    UIView& owner_;
    double cornerRadius_ = 0;
    double borderWidth_ = 0;
    UIColor borderColor_ = UIColor::blackColor();
    bool masksToBounds_ = false;
    double contentsScale_ = 1;
};

}  // namespace hx

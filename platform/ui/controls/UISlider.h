#pragma once
// A horizontal slider along the bounds' width: a track and a thumb for a value between a
// minimum and a maximum. A touch that begins on the thumb drags it; the value follows the
// finger. Continuous sliders send value-changed on every change while dragging, others once
// when the finger lifts.
//
// Threads: main thread only.

#include <map>

#include "platform/ui/controls/UIControl.h"
#include "platform/ui/drawing/UIImage.h"

namespace hx {

class UISlider : public UIControl {
  public:
    explicit UISlider(const CGRect& frame = CGRectZero);
    static std::shared_ptr<UISlider> make(const CGRect& frame = CGRectZero) {
        return std::make_shared<UISlider>(frame);
    }

    float value() const { return value_; }
    // Clamped to [minimumValue, maximumValue]; sends no action.
    void setValue(float value, bool animated = false);
    float minimumValue() const { return minimumValue_; }
    // The value is clamped into the new range.
    void setMinimumValue(float value);
    float maximumValue() const { return maximumValue_; }
    void setMaximumValue(float value);
    bool isContinuous() const { return continuous_; }
    void setContinuous(bool continuous) { continuous_ = continuous; }

    void setThumbImage(UIImageRef image, UIControlState state);
    UIImageRef thumbImageForState(UIControlState state) const;
    void setMinimumTrackImage(UIImageRef image, UIControlState state);
    UIImageRef minimumTrackImageForState(UIControlState state) const;
    void setMaximumTrackImage(UIImageRef image, UIControlState state);
    UIImageRef maximumTrackImageForState(UIControlState state) const;
    std::optional<UIColor> minimumTrackTintColor() const { return minimumTrackTint_; }
    void setMinimumTrackTintColor(std::optional<UIColor> color);
    std::optional<UIColor> maximumTrackTintColor() const { return maximumTrackTint_; }
    void setMaximumTrackTintColor(std::optional<UIColor> color);
    std::optional<UIColor> thumbTintColor() const { return thumbTint_; }
    void setThumbTintColor(std::optional<UIColor> color);

    // Layout in bounds coordinates, as drawn and hit.
    CGRect trackRectForBounds(const CGRect& bounds) const;
    CGRect thumbRectForBounds(const CGRect& bounds, const CGRect& trackRect, float value) const;

    bool beginTrackingWithTouch(UITouch& touch, UIEvent* event) override;
    bool continueTrackingWithTouch(UITouch& touch, UIEvent* event) override;
    void endTrackingWithTouch(UITouch* touch, UIEvent* event) override;
    void cancelTrackingWithEvent(UIEvent* event) override;

  protected:
    void drawContent(CGContext& context) override;

  private:
    CGSize thumbSize() const;
    float valueForTouchX(double x) const;
    static UIImageRef imageFor(const std::map<UIControlState, UIImageRef>& table,
                               UIControlState state);

    float value_ = 0;
    float minimumValue_ = 0;
    float maximumValue_ = 1;
    bool continuous_ = true;
    bool changedWhileTracking_ = false;
    double grabOffset_ = 0;  // finger x minus thumb centre when the drag began
    std::map<UIControlState, UIImageRef> thumbImages_;
    std::map<UIControlState, UIImageRef> minimumTrackImages_;
    std::map<UIControlState, UIImageRef> maximumTrackImages_;
    std::optional<UIColor> minimumTrackTint_;
    std::optional<UIColor> maximumTrackTint_;
    std::optional<UIColor> thumbTint_;
};

}  // namespace hx

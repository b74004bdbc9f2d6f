#include "platform/ui/navigation/BarBase.h"

namespace hx::ui {

namespace {

constexpr double kHairline = 0.5;

}  // namespace

BarBase::BarBase(const CGRect& frame, Edge hairline) : UIView(frame), hairlineEdge_(hairline) {
    background_ = UIView::make();
    background_->setUserInteractionEnabled(false);
    hairline_ = UIView::make();
    hairline_->setUserInteractionEnabled(false);
    updateBackground();
}

void BarBase::setBarStyle(UIBarStyle style) {
    barStyle_ = style;
    if (style == UIBarStyle::BlackTranslucent) translucent_ = true;
    updateBackground();
    styleDidChange();
}

void BarBase::setTranslucent(bool translucent) {
    translucent_ = translucent;
    updateBackground();
}

void BarBase::setBarTintColor(std::optional<UIColor> color) {
    barTint_ = color;
    updateBackground();
}

void BarBase::setBackgroundExtension(double points) {
    extension_ = points;
    setNeedsLayout();
}

void BarBase::updateBackground() {
    UIColor base = isDark() ? UIColor::colorWithWhite(0.07, 1) : UIColor::colorWithWhite(0.97, 1);
    if (barTint_) base = *barTint_;
    if (translucent_) base = base.colorWithAlphaComponent(base.alpha() * (isDark() ? 0.75 : 0.92));
    background_->setBackgroundColor(base);
    hairline_->setBackgroundColor(isDark() ? UIColor::colorWithWhite(1, 0.15)
                                           : UIColor::colorWithWhite(0, 0.3));
}

void BarBase::layoutSubviews() {
    // Views take subviews only once they are shared, so the background joins here.
    if (!background_->superview()) {
        insertSubview(background_, 0);
        insertSubview(hairline_, 1);
    }
    CGRect b = bounds();
    if (hairlineEdge_ == Edge::Bottom) {
        background_->setFrame(
            CGRectMake(b.minX(), b.minY() - extension_, b.width(), b.height() + extension_));
        hairline_->setFrame(CGRectMake(b.minX(), b.maxY() - kHairline, b.width(), kHairline));
    } else {
        background_->setFrame(CGRectMake(b.minX(), b.minY(), b.width(), b.height() + extension_));
        hairline_->setFrame(CGRectMake(b.minX(), b.minY(), b.width(), kHairline));
    }
    sendSubviewToBack(hairline_);
    sendSubviewToBack(background_);
}

}  // namespace hx::ui

#include "platform/ui/view/CALayer.h"

#include <algorithm>

#include "platform/ui/view/UIView.h"

namespace hx {

void CALayer::setCornerRadius(double radius) {
    cornerRadius_ = std::max(0.0, radius);
    owner_.setNeedsDisplay();
}

void CALayer::setBorderWidth(double width) {
    borderWidth_ = std::max(0.0, width);
    owner_.setNeedsDisplay();
}

void CALayer::setBorderColor(const UIColor& color) {
    borderColor_ = color;
    owner_.setNeedsDisplay();
}

void CALayer::setMasksToBounds(bool masks) {
    masksToBounds_ = masks;
}

void CALayer::setContentsScale(double scale) {
    if (scale > 0) contentsScale_ = scale;
    owner_.setNeedsDisplay();
}

double CALayer::opacity() const {
    return owner_.alpha();
}

void CALayer::setOpacity(double opacity) {
    owner_.setAlpha(opacity);
}

}  // namespace hx

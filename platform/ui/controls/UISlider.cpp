#include "platform/ui/controls/UISlider.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPainterPath>

#include "platform/ui/drawing/CGContext.h"

namespace hx {

namespace {

constexpr double kDefaultThumbSide = 28;
constexpr double kTrackHeight = 2;
// How far outside the thumb a finger may land and still take it.
constexpr double kThumbTouchMargin = 12;

QColor toQColor(const UIColor& c) {
    return QColor::fromRgbF(static_cast<float>(c.red()), static_cast<float>(c.green()),
                            static_cast<float>(c.blue()), static_cast<float>(c.alpha()));
}

}  // namespace

UISlider::UISlider(const CGRect& frame) : UIControl(frame) {}

void UISlider::setValue(float value, bool) {
    float clamped = std::clamp(value, minimumValue_, std::max(minimumValue_, maximumValue_));
    if (clamped == value_) return;
    value_ = clamped;
    setNeedsDisplay();
}

void UISlider::setMinimumValue(float value) {
    minimumValue_ = value;
    if (maximumValue_ < minimumValue_) maximumValue_ = minimumValue_;
    value_ = std::clamp(value_, minimumValue_, maximumValue_);
    setNeedsDisplay();
}

void UISlider::setMaximumValue(float value) {
    maximumValue_ = value;
    if (minimumValue_ > maximumValue_) minimumValue_ = maximumValue_;
    value_ = std::clamp(value_, minimumValue_, maximumValue_);
    setNeedsDisplay();
}

UIImageRef UISlider::imageFor(const std::map<UIControlState, UIImageRef>& table,
                              UIControlState state) {
    if (auto it = table.find(state); it != table.end()) return it->second;
    if (auto it = table.find(UIControlStateNormal); it != table.end()) return it->second;
    return nullptr;
}

void UISlider::setThumbImage(UIImageRef image, UIControlState state) {
    thumbImages_[state] = std::move(image);
    setNeedsDisplay();
}

UIImageRef UISlider::thumbImageForState(UIControlState state) const {
    return imageFor(thumbImages_, state);
}

void UISlider::setMinimumTrackImage(UIImageRef image, UIControlState state) {
    minimumTrackImages_[state] = std::move(image);
    setNeedsDisplay();
}

UIImageRef UISlider::minimumTrackImageForState(UIControlState state) const {
    return imageFor(minimumTrackImages_, state);
}

void UISlider::setMaximumTrackImage(UIImageRef image, UIControlState state) {
    maximumTrackImages_[state] = std::move(image);
    setNeedsDisplay();
}

UIImageRef UISlider::maximumTrackImageForState(UIControlState state) const {
    return imageFor(maximumTrackImages_, state);
}

void UISlider::setMinimumTrackTintColor(std::optional<UIColor> color) {
    minimumTrackTint_ = color;
    setNeedsDisplay();
}

void UISlider::setMaximumTrackTintColor(std::optional<UIColor> color) {
    maximumTrackTint_ = color;
    setNeedsDisplay();
}

void UISlider::setThumbTintColor(std::optional<UIColor> color) {
    thumbTint_ = color;
    setNeedsDisplay();
}

CGSize UISlider::thumbSize() const {
    if (UIImageRef image = thumbImageForState(state())) return image->size();
    double side = std::min(kDefaultThumbSide, bounds().height());
    return {side, side};
}

CGRect UISlider::trackRectForBounds(const CGRect& b) const {
    double height = kTrackHeight;
    if (UIImageRef image = minimumTrackImageForState(state())) height = image->size().height;
    return {{b.minX(), b.midY() - height / 2}, {b.width(), height}};
}

CGRect UISlider::thumbRectForBounds(const CGRect&, const CGRect& track, float value) const {
    CGSize size = thumbSize();
    double range = maximumValue_ - minimumValue_;
    double fraction = range > 0 ? (value - minimumValue_) / range : 0;
    double travel = std::max(0.0, track.width() - size.width);
    double x = track.minX() + travel * fraction;
    return {{x, track.midY() - size.height / 2}, size};
}

float UISlider::valueForTouchX(double x) const {
    CGRect track = trackRectForBounds(bounds());
    double travel = track.width() - thumbSize().width;
    if (travel <= 0) return value_;
    double fraction = std::clamp((x - track.minX() - thumbSize().width / 2) / travel, 0.0, 1.0);
    return static_cast<float>(minimumValue_ + fraction * (maximumValue_ - minimumValue_));
}

bool UISlider::beginTrackingWithTouch(UITouch& touch, UIEvent*) {
    CGPoint point = touch.locationInView(this);
    CGRect thumb = thumbRectForBounds(bounds(), trackRectForBounds(bounds()), value_);
    changedWhileTracking_ = false;
    if (!thumb.insetBy(-kThumbTouchMargin, -kThumbTouchMargin).contains(point)) return false;
    grabOffset_ = point.x - thumb.midX();
    return true;
}

bool UISlider::continueTrackingWithTouch(UITouch& touch, UIEvent*) {
    float value = valueForTouchX(touch.locationInView(this).x - grabOffset_);
    if (value != value_) {
        value_ = value;
        setNeedsDisplay();
        if (continuous_) {
            sendActionsForControlEvents(UIControlEventValueChanged);
        } else {
            changedWhileTracking_ = true;
        }
    }
    return true;
}

void UISlider::endTrackingWithTouch(UITouch*, UIEvent*) {
    if (changedWhileTracking_) sendActionsForControlEvents(UIControlEventValueChanged);
    changedWhileTracking_ = false;
}

void UISlider::cancelTrackingWithEvent(UIEvent*) {
    if (changedWhileTracking_) sendActionsForControlEvents(UIControlEventValueChanged);
    changedWhileTracking_ = false;
}

void UISlider::drawContent(CGContext& context) {
    QPainter& painter = context.painter();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    CGRect b = bounds();
    CGRect track = trackRectForBounds(b);
    CGRect thumb = thumbRectForBounds(b, track, value_);
    double split = thumb.midX();
    QRectF minPart(track.minX(), track.minY(), split - track.minX(), track.height());
    QRectF maxPart(split, track.minY(), track.maxX() - split, track.height());
    UIImageRef minImage = minimumTrackImageForState(state());
    UIImageRef maxImage = maximumTrackImageForState(state());
    if (minImage) {
        painter.drawImage(minPart, minImage->qimage());
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(minimumTrackTint_.value_or(tintColor())));
        painter.drawRoundedRect(minPart, track.height() / 2, track.height() / 2);
    }
    if (maxImage) {
        painter.drawImage(maxPart, maxImage->qimage());
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(maximumTrackTint_.value_or(UIColor::colorWithWhite(0.72, 1))));
        painter.drawRoundedRect(maxPart, track.height() / 2, track.height() / 2);
    }
    QRectF thumbRect(thumb.minX(), thumb.minY(), thumb.width(), thumb.height());
    if (UIImageRef image = thumbImageForState(state())) {
        painter.drawImage(thumbRect, image->qimage());
    } else {
        painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
        painter.setBrush(toQColor(thumbTint_.value_or(UIColor::whiteColor())));
        painter.drawEllipse(thumbRect.adjusted(0.5, 0.5, -0.5, -0.5));
    }
    painter.restore();
}

}  // namespace hx

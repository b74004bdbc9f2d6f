#include "platform/ui/controls/UIActivityIndicatorView.h"

#include <cmath>
#include <numbers>

#include <QPainter>

#include "platform/runloop/Clock.h"
#include "platform/runloop/Timer.h"
#include "platform/ui/drawing/CGContext.h"

namespace hx {

namespace {

constexpr int kSpokes = 12;

bool isLarge(UIActivityIndicatorViewStyle style) {
    return style == UIActivityIndicatorViewStyle::WhiteLarge ||
           style == UIActivityIndicatorViewStyle::Large;
}

UIColor defaultColor(UIActivityIndicatorViewStyle style) {
    switch (style) {
        case UIActivityIndicatorViewStyle::Gray:
        case UIActivityIndicatorViewStyle::Medium:
            return UIColor::grayColor();
        default:
            return UIColor::whiteColor();
    }
}

}  // namespace

UIActivityIndicatorView::UIActivityIndicatorView(UIActivityIndicatorViewStyle style)
    : UIView(CGRectZero), style_(style), color_(defaultColor(style)) {
    CGSize size = sizeThatFits(CGSizeZero);
    setBounds({CGPointZero, size});
    setUserInteractionEnabled(false);
    setHidden(true);
}

UIActivityIndicatorView::~UIActivityIndicatorView() {
    if (timer_) timer_->invalidate();
}

void UIActivityIndicatorView::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style) {
    style_ = style;
    color_ = defaultColor(style);
    setNeedsDisplay();
}

void UIActivityIndicatorView::setColor(const UIColor& color) {
    color_ = color;
    setNeedsDisplay();
}

void UIActivityIndicatorView::setHidesWhenStopped(bool hides) {
    hidesWhenStopped_ = hides;
    if (!animating_) setHidden(hides);
}

void UIActivityIndicatorView::startAnimating() {
    setHidden(false);
    if (animating_) return;
    animating_ = true;
    startedAt_ = Clock::now();
    // Each spoke step is a redraw; the timer keeps the host drawing while it spins.
    std::weak_ptr<UIView> weak = weak_from_this();
    timer_ = Timer::scheduled(1.0 / kSpokes, true, [weak](Timer&) {
        if (auto self = weak.lock()) self->setNeedsDisplay();
    });
    setNeedsDisplay();
}

void UIActivityIndicatorView::stopAnimating() {
    if (timer_) timer_->invalidate();
    timer_.reset();
    animating_ = false;
    if (hidesWhenStopped_) setHidden(true);
    setNeedsDisplay();
}

CGSize UIActivityIndicatorView::sizeThatFits(const CGSize&) const {
    return isLarge(style_) ? CGSize{37, 37} : CGSize{20, 20};
}

void UIActivityIndicatorView::drawContent(CGContext& context) {
    QPainter& painter = context.painter();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    CGRect b = bounds();
    double side = std::min(b.width(), b.height());
    double radius = side / 2;
    double thickness = side * (isLarge(style_) ? 0.085 : 0.1);
    int step = animating_
                   ? static_cast<int>(std::floor((Clock::now() - startedAt_) * kSpokes)) % kSpokes
                   : 0;
    painter.translate(b.midX(), b.midY());
    for (int i = 0; i < kSpokes; ++i) {
        // The leading spoke is brightest; the ones behind it fade.
        int age = ((step - i) % kSpokes + kSpokes) % kSpokes;
        double alpha = color_.alpha() * (1.0 - 0.7 * age / (kSpokes - 1));
        QColor color =
            QColor::fromRgbF(static_cast<float>(color_.red()), static_cast<float>(color_.green()),
                             static_cast<float>(color_.blue()), static_cast<float>(alpha));
        QPen pen(color, thickness, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        double angle = 2 * std::numbers::pi * i / kSpokes - std::numbers::pi / 2;
        QPointF inner(std::cos(angle) * radius * 0.5, std::sin(angle) * radius * 0.5);
        QPointF outer(std::cos(angle) * (radius - thickness / 2),
                      std::sin(angle) * (radius - thickness / 2));
        painter.drawLine(inner, outer);
    }
    painter.restore();
}

}  // namespace hx

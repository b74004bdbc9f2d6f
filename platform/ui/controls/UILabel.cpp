#include "platform/ui/controls/UILabel.h"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QPainter>

#include "platform/ui/drawing/CGContext.h"

namespace hx {

UILabel::UILabel(const CGRect& frame) : UIView(frame) {
    setUserInteractionEnabled(false);
    setOpaque(false);
}

void UILabel::setText(std::string text) {
    text_ = std::move(text);
    setNeedsDisplay();
}

void UILabel::setFont(const UIFont& font) {
    font_ = font;
    setNeedsDisplay();
}

void UILabel::setTextColor(const UIColor& color) {
    textColor_ = color;
    setNeedsDisplay();
}

void UILabel::setTextAlignment(NSTextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
}

void UILabel::setNumberOfLines(int lines) {
    numberOfLines_ = std::max(0, lines);
    setNeedsDisplay();
}

void UILabel::setLineBreakMode(NSLineBreakMode mode) {
    lineBreakMode_ = mode;
    setNeedsDisplay();
}

void UILabel::setAdjustsFontSizeToFitWidth(bool adjusts) {
    adjustsFontSize_ = adjusts;
    setNeedsDisplay();
}

void UILabel::setMinimumScaleFactor(double factor) {
    minimumScaleFactor_ = factor;
    setNeedsDisplay();
}

void UILabel::setEnabled(bool enabled) {
    enabled_ = enabled;
    setNeedsDisplay();
}

UIFont UILabel::fittedFont() const {
    if (!adjustsFontSize_ || numberOfLines_ != 1 || text_.empty()) return font_;
    if (minimumScaleFactor_ <= 0 || minimumScaleFactor_ >= 1) return font_;
    double width = font_.sizeOfText(text_).width;
    double available = bounds().width();
    if (width <= available || width <= 0) return font_;
    double scale = std::max(minimumScaleFactor_, available / width);
    // Shrink a little more while rounding keeps it too wide.
    UIFont fitted = font_.fontWithSize(font_.pointSize() * scale);
    for (int i = 0; i < 20 && fitted.sizeOfText(text_).width > available &&
                    fitted.pointSize() > font_.pointSize() * minimumScaleFactor_;
         ++i) {
        fitted = font_.fontWithSize(
            std::max(font_.pointSize() * minimumScaleFactor_, fitted.pointSize() * 0.98));
    }
    return fitted;
}

CGSize UILabel::sizeThatFits(const CGSize& size) const {
    if (text_.empty()) return CGSizeZero;
    if (numberOfLines_ == 1) {
        CGSize s = font_.sizeOfText(text_);
        return {std::ceil(s.width), std::ceil(s.height)};
    }
    QFontMetricsF metrics(font_.qfont(8));
    double maxWidth = size.width > 0 ? size.width * 8 : 1e6;
    QRectF box = metrics.boundingRect(QRectF(0, 0, maxWidth, 1e6), Qt::TextWordWrap,
                                      QString::fromStdString(text_));
    double lineHeight = font_.lineHeight();
    double height = box.height() / 8;
    if (numberOfLines_ > 0) height = std::min(height, lineHeight * numberOfLines_);
    return {std::ceil(box.width() / 8), std::ceil(height)};
}

void UILabel::drawContent(CGContext& context) {
    if (text_.empty()) return;
    const double scale = std::max(1.0, context.backingScale());
    UIFont font = fittedFont();
    QFont qfont = font.qfont(scale);
    QPainter& painter = context.painter();
    painter.save();
    // Text is laid out in device pixels so that glyphs are drawn at their true size.
    painter.scale(1 / scale, 1 / scale);
    painter.setFont(qfont);
    UIColor color =
        enabled_ ? textColor_ : textColor_.colorWithAlphaComponent(textColor_.alpha() * 0.45);
    painter.setPen(
        QColor::fromRgbF(static_cast<float>(color.red()), static_cast<float>(color.green()),
                         static_cast<float>(color.blue()), static_cast<float>(color.alpha())));
    CGRect b = bounds();
    QRectF rect(b.minX() * scale, b.minY() * scale, b.width() * scale, b.height() * scale);
    int flags = Qt::AlignVCenter;
    switch (alignment_) {
        case NSTextAlignment::Center:
            flags |= Qt::AlignHCenter;
            break;
        case NSTextAlignment::Right:
            flags |= Qt::AlignRight;
            break;
        case NSTextAlignment::Justified:
            flags |= Qt::AlignJustify;
            break;
        default:
            flags |= Qt::AlignLeft;
            break;
    }
    QString text = QString::fromStdString(text_);
    QFontMetricsF metrics(qfont);
    if (numberOfLines_ == 1) {
        if (lineBreakMode_ != NSLineBreakMode::ByClipping &&
            lineBreakMode_ != NSLineBreakMode::ByWordWrapping &&
            lineBreakMode_ != NSLineBreakMode::ByCharWrapping) {
            Qt::TextElideMode mode =
                lineBreakMode_ == NSLineBreakMode::ByTruncatingHead     ? Qt::ElideLeft
                : lineBreakMode_ == NSLineBreakMode::ByTruncatingMiddle ? Qt::ElideMiddle
                                                                        : Qt::ElideRight;
            text = metrics.elidedText(text, mode, rect.width());
        }
        painter.setClipRect(rect, Qt::IntersectClip);
        painter.drawText(rect, flags | Qt::TextSingleLine, text);
    } else {
        flags |= lineBreakMode_ == NSLineBreakMode::ByCharWrapping ? Qt::TextWrapAnywhere
                                                                   : Qt::TextWordWrap;
        if (numberOfLines_ > 0) {
            double maxHeight = metrics.height() * numberOfLines_;
            if (maxHeight < rect.height()) {
                rect = QRectF(rect.x(), rect.center().y() - maxHeight / 2, rect.width(), maxHeight);
            }
        }
        painter.setClipRect(rect, Qt::IntersectClip);
        painter.drawText(rect, flags, text);
    }
    painter.restore();
}

}  // namespace hx

#include "platform/ui/controls/UIImageView.h"

#include <algorithm>

#include <QPainter>

#include "platform/ui/drawing/CGContext.h"

namespace hx {

UIImageView::UIImageView(const CGRect& frame) : UIView(frame) {
    setUserInteractionEnabled(false);
}

UIImageView::UIImageView(UIImageRef image)
    : UIImageView(CGRect{CGPointZero, image ? image->size() : CGSizeZero}) {
    image_ = std::move(image);
}

void UIImageView::setImage(UIImageRef image) {
    image_ = std::move(image);
    setNeedsDisplay();
}

void UIImageView::setHighlightedImage(UIImageRef image) {
    highlightedImage_ = std::move(image);
    setNeedsDisplay();
}

void UIImageView::setHighlighted(bool highlighted) {
    highlighted_ = highlighted;
    setNeedsDisplay();
}

void UIImageView::setDimmed(bool dimmed) {
    dimmed_ = dimmed;
    setNeedsDisplay();
}

CGSize UIImageView::sizeThatFits(const CGSize&) const {
    return image_ ? image_->size() : CGSizeZero;
}

CGRect UIImageView::imageRectForContentMode(UIViewContentMode mode, const CGSize& imageSize,
                                            const CGRect& bounds) {
    const double iw = imageSize.width, ih = imageSize.height;
    const double bw = bounds.width(), bh = bounds.height();
    if (iw <= 0 || ih <= 0) return bounds;
    auto centred = [&](double w, double h) {
        return CGRect{{bounds.minX() + (bw - w) / 2, bounds.minY() + (bh - h) / 2}, {w, h}};
    };
    switch (mode) {
        case UIViewContentMode::ScaleToFill:
        case UIViewContentMode::Redraw:
            return bounds.standardized();
        case UIViewContentMode::ScaleAspectFit: {
            double s = std::min(bw / iw, bh / ih);
            return centred(iw * s, ih * s);
        }
        case UIViewContentMode::ScaleAspectFill: {
            double s = std::max(bw / iw, bh / ih);
            return centred(iw * s, ih * s);
        }
        case UIViewContentMode::Center:
            return centred(iw, ih);
        default:
            break;
    }
    // The edge placements: the image at its own size against that edge or corner.
    double x = bounds.minX() + (bw - iw) / 2;
    double y = bounds.minY() + (bh - ih) / 2;
    switch (mode) {
        case UIViewContentMode::Top:
        case UIViewContentMode::TopLeft:
        case UIViewContentMode::TopRight:
            y = bounds.minY();
            break;
        case UIViewContentMode::Bottom:
        case UIViewContentMode::BottomLeft:
        case UIViewContentMode::BottomRight:
            y = bounds.maxY() - ih;
            break;
        default:
            break;
    }
    switch (mode) {
        case UIViewContentMode::Left:
        case UIViewContentMode::TopLeft:
        case UIViewContentMode::BottomLeft:
            x = bounds.minX();
            break;
        case UIViewContentMode::Right:
        case UIViewContentMode::TopRight:
        case UIViewContentMode::BottomRight:
            x = bounds.maxX() - iw;
            break;
        default:
            break;
    }
    return {{x, y}, {iw, ih}};
}

void UIImageView::drawContent(CGContext& context) {
    const UIImageRef& shown = highlighted_ && highlightedImage_ ? highlightedImage_ : image_;
    if (!shown) return;
    const QImage& pixels = shown->qimage();
    if (pixels.isNull()) return;
    CGRect rect = imageRectForContentMode(contentMode(), shown->size(), bounds());
    QRectF target(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
    QPainter& painter = context.painter();
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!dimmed_) {
        painter.drawImage(target, pixels);
    } else {
        QImage dark = pixels.copy();
        QPainter shade(&dark);
        shade.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        shade.fillRect(dark.rect(), QColor(0, 0, 0, 100));
        shade.end();
        painter.drawImage(target, dark);
    }
    painter.restore();
}

}  // namespace hx

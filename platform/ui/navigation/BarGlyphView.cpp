#include "platform/ui/navigation/BarGlyphView.h"

#include <numbers>

#include "platform/ui/drawing/CGContext.h"

namespace hx::ui {

namespace {

constexpr double kGlyphSide = 22;

void line(CGContextRef c, double x0, double y0, double x1, double y1) {
    CGContextMoveToPoint(c, x0, y0);
    CGContextAddLineToPoint(c, x1, y1);
}

void triangle(CGContextRef c, double x0, double y0, double x1, double y1, double x2, double y2) {
    CGContextMoveToPoint(c, x0, y0);
    CGContextAddLineToPoint(c, x1, y1);
    CGContextAddLineToPoint(c, x2, y2);
    CGContextClosePath(c);
}

}  // namespace

BarGlyphView::BarGlyphView(UIBarButtonSystemItem item, const UIColor& color)
    : UIView(CGRectMake(0, 0, kGlyphSide, kGlyphSide)), item_(item), color_(color) {
    setUserInteractionEnabled(false);
    setOpaque(false);
}

void BarGlyphView::setColor(const UIColor& color) {
    if (color == color_) return;
    color_ = color;
    setNeedsDisplay();
}

bool BarGlyphView::drawsIcon(UIBarButtonSystemItem item) {
    return word(item)[0] == '\0' && item != UIBarButtonSystemItem::FlexibleSpace &&
           item != UIBarButtonSystemItem::FixedSpace;
}

const char* BarGlyphView::word(UIBarButtonSystemItem item) {
    switch (item) {
        case UIBarButtonSystemItem::Done:
            return "Done";
        case UIBarButtonSystemItem::Cancel:
            return "Cancel";
        case UIBarButtonSystemItem::Edit:
            return "Edit";
        case UIBarButtonSystemItem::Save:
            return "Save";
        case UIBarButtonSystemItem::Undo:
            return "Undo";
        case UIBarButtonSystemItem::Redo:
            return "Redo";
        default:
            return "";
    }
}

void BarGlyphView::drawRect(const CGRect&) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (!c) return;
    const CGRect b = bounds();
    // A 22-point design box centred in the bounds.
    const double s = std::min(b.width(), b.height()) / kGlyphSide;
    CGContextTranslateCTM(c, b.midX() - kGlyphSide / 2 * s, b.midY() - kGlyphSide / 2 * s);
    CGContextScaleCTM(c, s, s);
    CGContextSetStrokeColorWithColor(c, color_);
    CGContextSetFillColorWithColor(c, color_);
    CGContextSetLineWidth(c, 1.8);
    CGContextSetLineCap(c, CGLineCap::Round);
    CGContextSetLineJoin(c, CGLineJoin::Round);
    CGContextBeginPath(c);
    bool fill = false;
    switch (item_) {
        case UIBarButtonSystemItem::Action:  // a box open at the top with an arrow out of it
            line(c, 8, 8, 5, 8);
            CGContextAddLineToPoint(c, 5, 21);
            CGContextAddLineToPoint(c, 17, 21);
            CGContextAddLineToPoint(c, 17, 8);
            CGContextAddLineToPoint(c, 14, 8);
            line(c, 11, 14, 11, 1);
            line(c, 7, 5, 11, 1);
            CGContextAddLineToPoint(c, 15, 5);
            break;
        case UIBarButtonSystemItem::Add:
            line(c, 11, 3, 11, 19);
            line(c, 3, 11, 19, 11);
            break;
        case UIBarButtonSystemItem::Stop:
            line(c, 4, 4, 18, 18);
            line(c, 18, 4, 4, 18);
            break;
        case UIBarButtonSystemItem::Play:
            triangle(c, 5, 3, 19, 11, 5, 19);
            fill = true;
            break;
        case UIBarButtonSystemItem::Pause:
            CGContextAddRect(c, CGRectMake(5, 3, 4, 16));
            CGContextAddRect(c, CGRectMake(13, 3, 4, 16));
            fill = true;
            break;
        case UIBarButtonSystemItem::Rewind:
            triangle(c, 11, 4, 1, 11, 11, 18);
            triangle(c, 21, 4, 11, 11, 21, 18);
            fill = true;
            break;
        case UIBarButtonSystemItem::FastForward:
            triangle(c, 1, 4, 11, 11, 1, 18);
            triangle(c, 11, 4, 21, 11, 11, 18);
            fill = true;
            break;
        case UIBarButtonSystemItem::Search:
            CGContextAddEllipseInRect(c, CGRectMake(2, 2, 13, 13));
            line(c, 13.5, 13.5, 20, 20);
            break;
        case UIBarButtonSystemItem::Refresh:
            CGContextAddArc(c, 11, 12, 8, -std::numbers::pi / 3, 1.5 * std::numbers::pi, false);
            line(c, 15, 1, 15.5, 5.5);
            CGContextAddLineToPoint(c, 11, 6.5);
            break;
        case UIBarButtonSystemItem::Trash:
            line(c, 3, 5, 19, 5);
            line(c, 8, 5, 8, 2);
            CGContextAddLineToPoint(c, 14, 2);
            CGContextAddLineToPoint(c, 14, 5);
            line(c, 5, 5, 6, 20);
            CGContextAddLineToPoint(c, 16, 20);
            CGContextAddLineToPoint(c, 17, 5);
            break;
        case UIBarButtonSystemItem::Camera:
            CGContextAddRect(c, CGRectMake(2, 6, 18, 13));
            CGContextAddEllipseInRect(c, CGRectMake(7, 8.5, 8, 8));
            line(c, 7, 6, 9, 3);
            CGContextAddLineToPoint(c, 13, 3);
            CGContextAddLineToPoint(c, 15, 6);
            break;
        case UIBarButtonSystemItem::Compose:
            line(c, 12, 3, 3, 3);
            CGContextAddLineToPoint(c, 3, 19);
            CGContextAddLineToPoint(c, 19, 19);
            CGContextAddLineToPoint(c, 19, 10);
            line(c, 9, 13, 19, 3);
            break;
        case UIBarButtonSystemItem::Reply:
            line(c, 9, 4, 2, 11);
            CGContextAddLineToPoint(c, 9, 18);
            line(c, 2, 11, 14, 11);
            CGContextAddArc(c, 14, 16, 5, -std::numbers::pi / 2, 0, false);
            break;
        case UIBarButtonSystemItem::Organize:  // a folder
            line(c, 2, 5, 8, 5);
            CGContextAddLineToPoint(c, 10, 7);
            CGContextAddLineToPoint(c, 20, 7);
            CGContextAddLineToPoint(c, 20, 19);
            CGContextAddLineToPoint(c, 2, 19);
            CGContextClosePath(c);
            break;
        case UIBarButtonSystemItem::Bookmarks:  // an open book
            line(c, 11, 5, 2, 3);
            CGContextAddLineToPoint(c, 2, 18);
            CGContextAddLineToPoint(c, 11, 20);
            CGContextAddLineToPoint(c, 20, 18);
            CGContextAddLineToPoint(c, 20, 3);
            CGContextAddLineToPoint(c, 11, 5);
            CGContextAddLineToPoint(c, 11, 20);
            break;
        default:
            break;
    }
    if (fill)
        CGContextFillPath(c);
    else
        CGContextStrokePath(c);
}

}  // namespace hx::ui

#include "examples/halidex-ui-demo/DemoDrawingView.h"

#include "platform/ui/drawing/CGContext.h"

namespace demo {

using namespace hx;

void DemoDrawingView::drawRect(const CGRect&) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context) return;
    const CGRect b = bounds();
    CGContextSetTextMatrix(context, CGAffineTransformMakeScale(1, -1));
    CGContextSetRGBFillColor(context, 1, 0.69, 0.13, 0.55);
    CGContextFillRect(context,
                      CGRectMake(b.minX() + 8, b.minY() + 8, b.width() / 2, b.height() / 2));
    CGContextSetRGBStrokeColor(context, 1, 1, 1, 0.9);
    CGContextSetLineWidth(context, 2);
    CGContextStrokeEllipseInRect(context, b.insetBy(12, 12));
    CGContextSetRGBStrokeColor(context, 0, 0, 0.3, 0.8);
    CGContextSetLineWidth(context, 1);
    CGContextBeginPath(context);
    for (int i = 1; i < 3; ++i) {
        double x = b.minX() + b.width() * i / 3;
        double y = b.minY() + b.height() * i / 3;
        CGContextMoveToPoint(context, x, b.minY());
        CGContextAddLineToPoint(context, x, b.maxY());
        CGContextMoveToPoint(context, b.minX(), y);
        CGContextAddLineToPoint(context, b.maxX(), y);
    }
    CGContextStrokePath(context);
}

}  // namespace demo

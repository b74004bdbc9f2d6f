// The viewfinder overlay: bands over what falls outside the picture format, and the grid.

#include "app/camera/hxOverlayView.h"

#include "platform/ui/drawing/CGContext.h"

namespace hx::app {

hxOverlayView::hxOverlayView(const CGRect& frame) : UIView(frame) {}

void hxOverlayView::drawRect(const CGRect&) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context) return;
    const float W = float(bounds().size.width);
    const float H = float(bounds().size.height);

    // The visible picture and the two bands beside it. Any format other than 2:3 and square
    // has no bands and the grid spans the whole view.
    bool bands = false;
    CGRect band1 = CGRectZero, band2 = CGRectZero;
    CGRect gridArea = CGRectMake(0, 0, W, H);
    if (aspect_ == 1) {
        // A centred 2:3 portrait picture: its width is two thirds of the height.
        const float n = (W - 2 * H / 3) / 2;
        band1 = CGRectMake(0, 0, n, H);
        band2 = CGRectMake(W - n, 0, n, H);
        gridArea = CGRectMake(n, 0, 2 * H / 3, H);
        bands = true;
    } else if (aspect_ == 2) {
        // A centred square of the view's width.
        const float m = (H - W) / 2;
        band1 = CGRectMake(0, 0, W, m);
        band2 = CGRectMake(0, W + m, W, m);
        gridArea = CGRectMake(0, m, W, W);
        bands = true;
    }

    CGContextSetTextMatrix(context, CGAffineTransformMakeScale(1, -1));

    if (bands) {
        CGContextSetLineWidth(context, 1);
        CGContextSetRGBFillColor(context, 0, 0, 0, maskTranslucent_ ? 0.85 : 1.0);
        CGContextFillRect(context, band1);
        CGContextFillRect(context, band2);
    }

    if (grid_ == 1) {
        CGContextSetRGBStrokeColor(context, 0, 0, 0.3, 0.8);
        CGContextSetLineWidth(context, 1);
        const float gx = float(gridArea.origin.x), gy = float(gridArea.origin.y);
        const float gw = float(gridArea.size.width), gh = float(gridArea.size.height);
        const float sx = gw / 3, sy = gh / 3;
        CGContextBeginPath(context);
        for (int i = 1; i <= 2; ++i) {
            CGContextMoveToPoint(context, gx + sx * float(i), gy);
            CGContextAddLineToPoint(context, gx + sx * float(i), gy + gh);
            CGContextMoveToPoint(context, gx, gy + sy * float(i));
            CGContextAddLineToPoint(context, gx + gw, gy + sy * float(i));
        }
        CGContextStrokePath(context);
    }
}

}  // namespace hx::app

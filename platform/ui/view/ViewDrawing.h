#pragma once
// The cached result of a view's drawRect(), kept until setNeedsDisplay() or a size or scale
// change.

#include <QImage>

#include "platform/ui/view/UIView.h"

namespace hx {

struct UIView::DrawingCache {
    QImage image;
    double scale = 0;
    CGSize size;
    bool valid = false;
    // drawRect() is not overridden: nothing to cache, ever.
    bool drawsNothing = false;
};

namespace drawing {
// Set by UIView::drawRect() (the default, which draws nothing), so the cache can tell views
// with custom drawing from those without.
void noteDefaultDrawRect();
bool takeDefaultDrawRectNote();
}  // namespace drawing

}  // namespace hx

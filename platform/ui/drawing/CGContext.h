#pragma once
// The 2D drawing context that a view's drawRect() draws into, with the system's function names.
// The context is QPainter-backed; coordinates are the view's bounds in points, y down.
//
// Threads: main thread only, during drawing.

#include <memory>

#include "platform/geometry/AffineTransform.h"
#include "platform/geometry/Geometry.h"
#include "platform/ui/drawing/UIColor.h"

class QPainter;

namespace hx {

class UIImage;
class CGContext;
using CGContextRef = CGContext*;

enum class CGLineCap { Butt = 0, Round = 1, Square = 2 };
enum class CGLineJoin { Miter = 0, Round = 1, Bevel = 2 };
enum class CGPathDrawingMode { Fill = 0, EOFill = 1, Stroke = 2, FillStroke = 3, EOFillStroke = 4 };

// The context of the drawRect() call in progress; null outside drawing.
CGContextRef UIGraphicsGetCurrentContext();

void CGContextSaveGState(CGContextRef context);
void CGContextRestoreGState(CGContextRef context);

void CGContextSetRGBFillColor(CGContextRef context, double red, double green, double blue,
                              double alpha);
void CGContextSetRGBStrokeColor(CGContextRef context, double red, double green, double blue,
                                double alpha);
void CGContextSetGrayFillColor(CGContextRef context, double gray, double alpha);
void CGContextSetGrayStrokeColor(CGContextRef context, double gray, double alpha);
void CGContextSetFillColorWithColor(CGContextRef context, const UIColor& color);
void CGContextSetStrokeColorWithColor(CGContextRef context, const UIColor& color);
void CGContextSetAlpha(CGContextRef context, double alpha);
void CGContextSetLineWidth(CGContextRef context, double width);
void CGContextSetLineCap(CGContextRef context, CGLineCap cap);
void CGContextSetLineJoin(CGContextRef context, CGLineJoin join);
void CGContextSetShouldAntialias(CGContextRef context, bool antialias);

// The text matrix only affects text drawn through the context; it is kept so that callers can
// set and read it back.
void CGContextSetTextMatrix(CGContextRef context, const CGAffineTransform& transform);
CGAffineTransform CGContextGetTextMatrix(CGContextRef context);

// Changes to the current transform, applied before what is there.
void CGContextTranslateCTM(CGContextRef context, double tx, double ty);
void CGContextScaleCTM(CGContextRef context, double sx, double sy);
void CGContextRotateCTM(CGContextRef context, double angle);
void CGContextConcatCTM(CGContextRef context, const CGAffineTransform& transform);

// The current path. Drawing it (fill or stroke) empties it.
void CGContextBeginPath(CGContextRef context);
void CGContextMoveToPoint(CGContextRef context, double x, double y);
void CGContextAddLineToPoint(CGContextRef context, double x, double y);
void CGContextAddRect(CGContextRef context, const CGRect& rect);
void CGContextAddEllipseInRect(CGContextRef context, const CGRect& rect);
void CGContextAddArc(CGContextRef context, double x, double y, double radius, double startAngle,
                     double endAngle, bool clockwise);
void CGContextClosePath(CGContextRef context);
bool CGContextIsPathEmpty(CGContextRef context);
void CGContextFillPath(CGContextRef context);
void CGContextEOFillPath(CGContextRef context);
void CGContextStrokePath(CGContextRef context);
void CGContextDrawPath(CGContextRef context, CGPathDrawingMode mode);
void CGContextClip(CGContextRef context);

void CGContextFillRect(CGContextRef context, const CGRect& rect);
void CGContextStrokeRect(CGContextRef context, const CGRect& rect);
void CGContextStrokeRectWithWidth(CGContextRef context, const CGRect& rect, double width);
void CGContextFillEllipseInRect(CGContextRef context, const CGRect& rect);
void CGContextStrokeEllipseInRect(CGContextRef context, const CGRect& rect);
// Makes the rectangle transparent.
void CGContextClearRect(CGContextRef context, const CGRect& rect);
void CGContextClipToRect(CGContextRef context, const CGRect& rect);
// Draws the image upright into the rectangle (the orientation of a UIImage is honoured).
void CGContextDrawImage(CGContextRef context, const CGRect& rect, const UIImage& image);

// The drawing state behind a CGContextRef. Made by the renderer around a QPainter; views only
// see it through the functions above.
class CGContext {
  public:
    explicit CGContext(QPainter& painter);
    ~CGContext();
    CGContext(const CGContext&) = delete;
    CGContext& operator=(const CGContext&) = delete;

    QPainter& painter() { return painter_; }
    // Device pixels per point of the surface being drawn (for caches and hairlines).
    double backingScale() const { return backingScale_; }
    void setBackingScale(double scale) { backingScale_ = scale; }

    // Makes this the current context until the returned scope ends (contexts nest).
    class CurrentScope {
      public:
        explicit CurrentScope(CGContext& context);
        ~CurrentScope();
        CurrentScope(const CurrentScope&) = delete;
        CurrentScope& operator=(const CurrentScope&) = delete;

      private:
        CGContext* previous_;
    };

    // The graphics state and current path, complete only where the drawing functions are.
    struct Impl;
    Impl& impl() { return *impl_; }

  private:
    QPainter& painter_;
    double backingScale_ = 1;
    std::unique_ptr<Impl> impl_;
};

}  // namespace hx

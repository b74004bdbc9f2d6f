#pragma once
// Draws a window and its views into an image with QPainter at the screen's scale: backgrounds,
// borders with corner radii, clipping, alpha, transforms, drawRect() content, controls and the
// GPU view's last presented drawable, in back-to-front order.
//
// Threads: main thread only.

#include <QImage>

#include "platform/ui/view/UIView.h"

namespace hx {

class DrawableComposition;
class UIWindow;

class UIRenderer {
  public:
    // The window at `scale` pixels per point (the main screen's scale when 0), in premultiplied
    // ARGB, opaque black where nothing is drawn. Runs pending layout first. With a composition,
    // the GPU views it can show are left as transparent holes and listed in it instead.
    static QImage renderWindow(UIWindow& window, double scale = 0,
                               DrawableComposition* composition = nullptr);
    // One view and its subviews in its own bounds (its transform, centre and alpha ignored),
    // transparent where nothing is drawn.
    static QImage renderView(UIView& view, double scale);
    // Draws the view (with its transform, alpha and subviews) into a painter whose transform
    // maps the view's superview coordinates, in points.
    static void drawView(UIView& view, QPainter& painter, double scale);
    // Lays out every view in the tree that needs it.
    static void layoutTree(UIView& root);
};

}  // namespace hx

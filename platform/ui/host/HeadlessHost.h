#pragma once
// Runs a window without a display: tests and screenshots synthesize touches by finger and read
// the rendered image. Touches go through the window's hit-testing, recognisers and views exactly
// as the Qt window's mouse does.
//
// Threads: main thread only.

#include <memory>
#include <string>

#include <QImage>

#include "platform/geometry/Geometry.h"

namespace hx {

class UIWindow;

class HeadlessHost {
  public:
    // Ensures the Qt application (offscreen) exists.
    explicit HeadlessHost(std::shared_ptr<UIWindow> window);
    // A host with a new window of the main screen's bounds.
    HeadlessHost();

    const std::shared_ptr<UIWindow>& window() const { return window_; }

    // Window coordinates, in points. A finger already down is moved instead by touchDown.
    void touchDown(CGPoint point, int finger = 0);
    void touchMove(CGPoint point, int finger = 0);
    void touchUp(CGPoint point, int finger = 0);
    void touchUp(int finger = 0);
    // Cancels every finger (as when the system takes over the screen).
    void cancelTouches();

    // Down and up at the point, `fingers` fingers side by side 20 points apart.
    void tap(CGPoint point, int fingers = 1);
    // A one-finger drag from `from` to `to` in `steps` moves, `seconds` apart on the clock.
    void drag(CGPoint from, CGPoint to, int steps = 5, double secondsPerStep = 0.016);
    // Two fingers on a horizontal line through `center` moving from `startSpread` to
    // `endSpread` apart, then lifted.
    void pinch(CGPoint center, double startSpread, double endSpread, int steps = 5);

    // Moves the run loop's clock (manual clock) and runs what falls due.
    void advance(double seconds);

    // The window at the screen's scale (or the given one).
    QImage renderImage(double scale = 0);
    // Writes renderImage() as PNG; false when it could not be written.
    bool writePNG(const std::string& path, double scale = 0);

  private:
    std::shared_ptr<UIWindow> window_;
};

}  // namespace hx

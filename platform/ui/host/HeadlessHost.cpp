#include "platform/ui/host/HeadlessHost.h"

#include <algorithm>

#include "platform/runloop/RunLoop.h"
#include "platform/ui/events/TouchDispatcher.h"
#include "platform/ui/host/PictureFile.h"
#include "platform/ui/host/QtApplication.h"
#include "platform/ui/host/UIRenderer.h"
#include "platform/ui/window/UIWindow.h"

namespace hx {

HeadlessHost::HeadlessHost(std::shared_ptr<UIWindow> window) : window_(std::move(window)) {
    ui::ensureQtApplication();
    if (!window_) window_ = UIWindow::make();
}

HeadlessHost::HeadlessHost() : HeadlessHost(nullptr) {}

void HeadlessHost::touchDown(CGPoint point, int finger) {
    window_->touchDispatcher().fingerDown(finger, point);
}

void HeadlessHost::touchMove(CGPoint point, int finger) {
    window_->touchDispatcher().fingerMoved(finger, point);
}

void HeadlessHost::touchUp(CGPoint point, int finger) {
    window_->touchDispatcher().fingerUp(finger, point);
}

void HeadlessHost::touchUp(int finger) {
    window_->touchDispatcher().fingerUp(finger);
}

void HeadlessHost::cancelTouches() {
    window_->touchDispatcher().cancelAll();
}

void HeadlessHost::tap(CGPoint point, int fingers) {
    for (int f = 0; f < fingers; ++f) touchDown({point.x + 20 * f, point.y}, f);
    for (int f = 0; f < fingers; ++f) touchUp({point.x + 20 * f, point.y}, f);
}

void HeadlessHost::drag(CGPoint from, CGPoint to, int steps, double secondsPerStep) {
    touchDown(from);
    steps = std::max(1, steps);
    for (int i = 1; i <= steps; ++i) {
        advance(secondsPerStep);
        double t = static_cast<double>(i) / steps;
        touchMove({from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t});
    }
    touchUp(to);
}

void HeadlessHost::pinch(CGPoint center, double startSpread, double endSpread, int steps) {
    touchDown({center.x - startSpread / 2, center.y}, 0);
    touchDown({center.x + startSpread / 2, center.y}, 1);
    steps = std::max(1, steps);
    double spread = startSpread;
    for (int i = 1; i <= steps; ++i) {
        advance(0.016);
        spread = startSpread + (endSpread - startSpread) * i / steps;
        touchMove({center.x - spread / 2, center.y}, 0);
        touchMove({center.x + spread / 2, center.y}, 1);
    }
    touchUp({center.x - spread / 2, center.y}, 0);
    touchUp({center.x + spread / 2, center.y}, 1);
}

void HeadlessHost::advance(double seconds) {
    RunLoop::main().advance(seconds);
}

QImage HeadlessHost::renderImage(double scale) {
    return UIRenderer::renderWindow(*window_, scale);
}

bool HeadlessHost::writePNG(const std::string& path, double scale) {
    return ui::writePngFile(renderImage(scale), path);
}

}  // namespace hx

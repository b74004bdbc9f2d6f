#include "platform/ui/host/QtWindowHost.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>

#include "platform/log/Log.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/animation/ViewAnimation.h"
#include "platform/ui/events/TouchDispatcher.h"
#include "platform/ui/host/DesktopPresence.h"
#include "platform/ui/host/GlWindowSurface.h"
#include "platform/ui/host/QtApplication.h"
#include "platform/ui/host/UIRenderer.h"
#include "platform/ui/window/UIApplication.h"
#include "platform/ui/window/UIWindow.h"

namespace hx {

namespace {
// Fingers the host makes: the mouse, its mirrored partner, and the wheel's pinch pair.
constexpr int kMouseFinger = 0;
constexpr int kMirrorFinger = 1;
constexpr int kWheelFingerA = 10;
constexpr int kWheelFingerB = 11;
constexpr double kTiltStep = 1.0;  // g along an axis for a full tilt
}  // namespace

class QtWindowHost::Widget : public QWidget {
  public:
    explicit Widget(std::shared_ptr<UIWindow> window) : window_(std::move(window)) {
        setFocusPolicy(Qt::StrongFocus);
        setWindowTitle("Halidex Camera");
        pumpTimer_.setSingleShot(true);
        QObject::connect(&pumpTimer_, &QTimer::timeout, this, [this] { pump(); });
        QPointer<Widget> self(this);
        RunLoop::main().setWakeUpHandler([self, queued = queued_] {
            if (queued->exchange(true)) return;
            QMetaObject::invokeMethod(
                qApp,
                [self, queued] {
                    queued->store(false);
                    if (self) self->pump();
                },
                Qt::QueuedConnection);
        });
        if (GlWindowSurface::available()) {
            surface_ = new GlWindowSurface(
                window_, [this] { return zoom_; }, [this] { painted(); }, this);
            hxLog("window: drawn with GL, GPU views shown from their textures");
        }
        fitToScreen();
        QObject::connect(qApp, &QGuiApplication::applicationStateChanged, this,
                         [this](Qt::ApplicationState) { presenceChanged(); });
    }

    ~Widget() override { RunLoop::main().setWakeUpHandler(nullptr); }

    void setZoom(double zoom) {
        zoom_ = std::clamp(zoom, 0.1, 8.0);
        CGRect frame = window_->frame();
        setFixedSize(static_cast<int>(std::lround(frame.width() * zoom_)),
                     static_cast<int>(std::lround(frame.height() * zoom_)));
        if (surface_) surface_->setGeometry(rect());
        redraw();
    }
    double zoom() const { return zoom_; }
    GlWindowSurface* surface() const { return surface_; }

    std::function<void(bool)> captureHandler;
    std::function<void(QtWindowHost::HardwareKey, bool)> hardwareKeyHandler;

    // A hardware key pressed or released: the key-aware handler when there is one, else the
    // capture button's.
    void hardwareKey(int qtKey, bool pressed) {
        if (hardwareKeyHandler) {
            hardwareKeyHandler(qtKey == Qt::Key_VolumeUp     ? QtWindowHost::HardwareKey::VolumeUp
                               : qtKey == Qt::Key_VolumeDown ? QtWindowHost::HardwareKey::VolumeDown
                                                             : QtWindowHost::HardwareKey::Capture,
                               pressed);
        } else if (captureHandler) {
            captureHandler(pressed);
        }
    }
    std::function<void(double, double)> tiltHandler;
    std::function<bool(char)> keyHandler;

    void pump() {
        // Run what is due, then draw; come back when the next thing falls due, or next frame
        // while animations run.
        for (int i = 0; i < 100 && RunLoop::main().runOnce(0); ++i) {
        }
        redraw();
        double next = RunLoop::main().nextDueIn();
        if (animation::hasRunningAnimations()) next = std::min(next, 1.0 / 60);
        if (std::isfinite(next)) {
            pumpTimer_.start(static_cast<int>(std::ceil(std::max(0.0, next) * 1000)));
        }
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        if (surface_) return;  // the GL surface covers the whole window
        double ratio = devicePixelRatioF();
        QImage image = UIRenderer::renderWindow(*window_, zoom_ * ratio);
        image.setDevicePixelRatio(ratio);
        QPainter painter(this);
        painter.drawImage(QPointF(0, 0), image);
        painted();
    }

    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (surface_) surface_->setGeometry(rect());
    }

    void mousePressEvent(QMouseEvent* event) override {
        CGPoint p = toPoints(event->position());
        auto& touches = window_->touchDispatcher();
        touches.fingerDown(kMouseFinger, p);
        if (event->modifiers() & Qt::ControlModifier)
            touches.fingerDown(kMirrorFinger, mirrored(p));
        pump();
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        auto& touches = window_->touchDispatcher();
        if (!touches.isFingerDown(kMouseFinger)) return;
        CGPoint p = toPoints(event->position());
        touches.fingerMoved(kMouseFinger, p);
        if (touches.isFingerDown(kMirrorFinger)) touches.fingerMoved(kMirrorFinger, mirrored(p));
        pump();
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        auto& touches = window_->touchDispatcher();
        CGPoint p = toPoints(event->position());
        if (touches.isFingerDown(kMirrorFinger)) touches.fingerUp(kMirrorFinger, mirrored(p));
        touches.fingerUp(kMouseFinger, p);
        pump();
    }

    void wheelEvent(QWheelEvent* event) override {
        // Each notch is a short pinch about the pointer: out when rolling away, in when back.
        double notches = event->angleDelta().y() / 120.0;
        if (notches == 0) return;
        CGPoint c = toPoints(event->position());
        double start = 100;
        double end = start * std::pow(1.1, notches);
        auto& touches = window_->touchDispatcher();
        touches.fingerDown(kWheelFingerA, {c.x - start / 2, c.y});
        touches.fingerDown(kWheelFingerB, {c.x + start / 2, c.y});
        touches.fingerMoved(kWheelFingerA, {c.x - end / 2, c.y});
        touches.fingerMoved(kWheelFingerB, {c.x + end / 2, c.y});
        touches.fingerUp(kWheelFingerA, {c.x - end / 2, c.y});
        touches.fingerUp(kWheelFingerB, {c.x + end / 2, c.y});
        pump();
    }

    void keyPressEvent(QKeyEvent* event) override {
        if (event->isAutoRepeat()) return;
        switch (event->key()) {
            case Qt::Key_VolumeUp:
            case Qt::Key_VolumeDown:
            case Qt::Key_Space:
                hardwareKey(event->key(), true);
                break;
            case Qt::Key_Up:
                tilt(0, -kTiltStep);
                break;
            case Qt::Key_Down:
                tilt(0, kTiltStep);
                break;
            case Qt::Key_Left:
                tilt(-kTiltStep, 0);
                break;
            case Qt::Key_Right:
                tilt(kTiltStep, 0);
                break;
            case Qt::Key_B: {
                auto& application = UIApplication::sharedApplication();
                if (application.applicationState() == UIApplicationState::Background)
                    application.becomeActive();
                else
                    application.enterBackground();
                break;
            }
            default: {
                // Other printable keys belong to the application.
                const QString text = event->text();
                const bool taken = keyHandler && text.size() == 1 && text[0].unicode() > 0x20 &&
                                   text[0].unicode() < 0x7f &&
                                   keyHandler(static_cast<char>(text[0].unicode()));
                if (!taken) {
                    QWidget::keyPressEvent(event);
                    return;
                }
                break;
            }
        }
        pump();
    }

    void keyReleaseEvent(QKeyEvent* event) override {
        if (event->isAutoRepeat()) return;
        switch (event->key()) {
            case Qt::Key_VolumeUp:
            case Qt::Key_VolumeDown:
            case Qt::Key_Space:
                hardwareKey(event->key(), false);
                pump();
                break;
            default:
                QWidget::keyReleaseEvent(event);
        }
    }

    bool event(QEvent* event) override {
        bool handled = QWidget::event(event);
        switch (event->type()) {
            case QEvent::WindowStateChange:
            case QEvent::Show:
            case QEvent::Hide:
                presenceChanged();
                break;
            default:
                break;
        }
        return handled;
    }

    void closeEvent(QCloseEvent* event) override {
        closing_ = true;
        UIApplication::sharedApplication().terminate();
        event->accept();
        QCoreApplication::quit();
    }

  private:
    void redraw() {
        update();
        if (surface_) surface_->update();
    }

    // After every frame: keep drawing while animations run.
    void painted() {
        if (animation::hasRunningAnimations() && !pumpTimer_.isActive()) pumpTimer_.start(16);
    }

    CGPoint toPoints(const QPointF& p) const {
        CGRect frame = window_->frame();
        return {p.x() / zoom_ + frame.minX(), p.y() / zoom_ + frame.minY()};
    }

    CGPoint mirrored(const CGPoint& p) const {
        CGRect b = window_->bounds();
        return {2 * b.midX() - p.x, 2 * b.midY() - p.y};
    }

    // The window's presence on the desktop now.
    ui::WindowPresence presence() const {
        ui::WindowPresence now;
        now.visible = isVisible();
        now.minimized = isMinimized();
        now.focused = isActiveWindow();
        switch (QGuiApplication::applicationState()) {
            case Qt::ApplicationSuspended:
                now.session = ui::DesktopSessionState::Suspended;
                break;
            case Qt::ApplicationHidden:
                now.session = ui::DesktopSessionState::Hidden;
                break;
            case Qt::ApplicationInactive:
                now.session = ui::DesktopSessionState::Inactive;
                break;
            case Qt::ApplicationActive:
                now.session = ui::DesktopSessionState::Active;
                break;
        }
        return now;
    }

    // Minimising, hiding or the session going away sends the application to the background;
    // coming back activates it. Focus alone changes nothing.
    void presenceChanged() {
        if (closing_) return;
        ui::WindowPresence now = presence();
        auto transitions = ui::transitionsFor(presence_, now);
        presence_ = now;
        auto& application = UIApplication::sharedApplication();
        for (ui::LifecycleTransition transition : transitions) {
            switch (transition) {
                case ui::LifecycleTransition::ResignActive:
                    application.resignActive();
                    break;
                case ui::LifecycleTransition::EnterBackground:
                    application.enterBackground();
                    break;
                case ui::LifecycleTransition::EnterForeground:
                    application.enterForeground();
                    break;
                case ui::LifecycleTransition::BecomeActive:
                    application.becomeActive();
                    break;
            }
        }
        if (!transitions.empty()) pump();
    }

    void tilt(double x, double y) {
        if (tiltHandler) tiltHandler(x, y);
    }

    void fitToScreen() {
        CGRect frame = window_->frame();
        double zoom = 1;
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect available = screen->availableGeometry();
            if (available.width() > 0 && available.height() > 0 && frame.width() > 0 &&
                frame.height() > 0) {
                zoom = std::min(available.width() * 0.9 / frame.width(),
                                available.height() * 0.9 / frame.height());
                zoom = std::floor(zoom * 20) / 20;  // in steps of 5 %
            }
        }
        setZoom(std::clamp(zoom, 0.25, 3.0));
    }

    std::shared_ptr<UIWindow> window_;
    // Draws the window when it can be drawn with GL (a child covering the widget); owned by it.
    GlWindowSurface* surface_ = nullptr;
    double zoom_ = 1;
    // The presence last acted on. A window not yet shown counts as present, so that showing it
    // leaves activation to the application's launch.
    ui::WindowPresence presence_;
    bool closing_ = false;
    QTimer pumpTimer_;
    std::shared_ptr<std::atomic<bool>> queued_ = std::make_shared<std::atomic<bool>>(false);
};

QtWindowHost::QtWindowHost(std::shared_ptr<UIWindow> window) {
    ui::ensureQtApplication();
    if (!window) window = UIWindow::make();
    widget_ = std::make_unique<Widget>(std::move(window));
}

QtWindowHost::~QtWindowHost() = default;

void QtWindowHost::setCaptureButtonHandler(std::function<void(bool)> handler) {
    widget_->captureHandler = std::move(handler);
}

void QtWindowHost::setHardwareKeyHandler(std::function<void(HardwareKey, bool)> handler) {
    widget_->hardwareKeyHandler = std::move(handler);
}

void QtWindowHost::setTiltHandler(std::function<void(double, double)> handler) {
    widget_->tiltHandler = std::move(handler);
}

void QtWindowHost::setKeyHandler(std::function<bool(char key)> handler) {
    widget_->keyHandler = std::move(handler);
}

void QtWindowHost::setZoom(double zoom) {
    widget_->setZoom(zoom);
}

double QtWindowHost::zoom() const {
    return widget_->zoom();
}

QOpenGLWidget* QtWindowHost::glSurface() const {
    return widget_->surface();
}

void QtWindowHost::show() {
    widget_->show();
    widget_->pump();
}

int QtWindowHost::exec() {
    if (!widget_->isVisible()) show();
    return QApplication::exec();
}

void QtWindowHost::quit() {
    QCoreApplication::quit();
}

}  // namespace hx

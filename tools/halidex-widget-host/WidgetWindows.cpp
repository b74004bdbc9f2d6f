#include "tools/halidex-widget-host/WidgetWindows.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <cmath>

#include "platform/defaults/UserDefaults.h"
#include "platform/runloop/RunLoop.h"

namespace hx::widget_host {

namespace {

// The host's own settings: where each widget was left.
UserDefaults& places() {
    static UserDefaults defaults("halidex-widget-host");
    return defaults;
}

}  // namespace

class WidgetWindows::Window : public QWidget {
  public:
    explicit Window(std::string key) : key_(std::move(key)) {
        // A widget, not an application window: no frame, no taskbar entry, below other windows.
        setWindowFlags(Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnBottomHint);
        setAttribute(Qt::WA_TranslucentBackground);
        setWindowTitle("Halidex widget");
    }

    void setPicture(const QImage& picture, double scale) {
        picture_ = picture;
        picture_.setDevicePixelRatio(scale);
        setFixedSize(static_cast<int>(std::lround(picture.width() / scale)),
                     static_cast<int>(std::lround(picture.height() / scale)));
        update();
    }

    const std::string& key() const { return key_; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(rect(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(QPointF(0, 0), picture_);
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        grab_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        dragging_ = true;
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (dragging_) move(event->globalPosition().toPoint() - grab_);
    }
    void mouseReleaseEvent(QMouseEvent*) override {
        if (!dragging_) return;
        dragging_ = false;
        places().setInteger(pos().x(), key_ + ".x");
        places().setInteger(pos().y(), key_ + ".y");
        places().synchronize();
    }

  private:
    std::string key_;
    QImage picture_;
    QPoint grab_;
    bool dragging_ = false;
};

struct WidgetWindows::Pump {
    QTimer timer;
    std::shared_ptr<std::atomic<bool>> queued = std::make_shared<std::atomic<bool>>(false);
};

WidgetWindows::WidgetWindows(WidgetHost& host) : host_(host), pump_(std::make_unique<Pump>()) {
    pump_->timer.setSingleShot(true);
    QObject::connect(&pump_->timer, &QTimer::timeout, [this] { pump(); });
    RunLoop::main().setWakeUpHandler([this, queued = pump_->queued] {
        if (queued->exchange(true)) return;
        QMetaObject::invokeMethod(
            qApp,
            [this, queued] {
                queued->store(false);
                pump();
            },
            Qt::QueuedConnection);
    });
    host_.onPicture = [this](WidgetInstance& instance) { show(instance); };
}

WidgetWindows::~WidgetWindows() {
    RunLoop::main().setWakeUpHandler(nullptr);
    host_.onPicture = nullptr;
}

std::string WidgetWindows::placeKey(const WidgetInstance& instance) {
    return std::string("place.") + instance.configuration().kind() + "." +
           widgetFamilyName(instance.family());
}

double WidgetWindows::screenScale() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

QWidget* WidgetWindows::windowOf(const WidgetInstance& instance) const {
    auto it = windows_.find(&instance);
    return it == windows_.end() ? nullptr : it->second.get();
}

void WidgetWindows::show(WidgetInstance& instance) {
    auto& window = windows_[&instance];
    const bool fresh = !window;
    if (fresh) window = std::make_unique<Window>(placeKey(instance));
    window->setPicture(instance.picture(), host_.options().scale);
    if (!fresh) return;
    const std::string key = window->key();
    if (places().objectExists(key + ".x") && places().objectExists(key + ".y")) {
        window->move(static_cast<int>(places().integerForKey(key + ".x")),
                     static_cast<int>(places().integerForKey(key + ".y")));
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        // First time: down the right edge of the screen, one below the other.
        const QRect area = screen->availableGeometry();
        const int margin = 24;
        int y = area.top() + margin;
        for (const auto& [other, shown] : windows_)
            if (shown.get() != window.get() && shown->x() > area.center().x())
                y = std::max(y, shown->geometry().bottom() + margin);
        window->move(area.right() - margin - window->width(), y);
    }
    window->show();
    ++placed_;
}

void WidgetWindows::pump() {
    for (int i = 0; i < 100 && RunLoop::main().runOnce(0); ++i) {
    }
    const double next = RunLoop::main().nextDueIn();
    if (std::isfinite(next)) {
        // Timers of Qt take milliseconds as an int: far-off work is checked again within a day.
        pump_->timer.start(static_cast<int>(std::ceil(std::clamp(next, 0.0, 86400.0) * 1000)));
    }
}

int WidgetWindows::exec() {
    pump();
    return QApplication::exec();
}

void WidgetWindows::quit() {
    QApplication::quit();
}

}  // namespace hx::widget_host

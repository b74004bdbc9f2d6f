// The host's desktop windows, on a real display (Xvfb in the test run): one frameless window
// per widget at its family's size, and the place a person drags it to kept for the next start.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include "platform/ui/host/QtApplication.h"
#include "tests/widget/WidgetTestSupport.h"
#include "tools/halidex-widget-host/WidgetWindows.h"

extern "C" hx::WidgetBundle* hxWidgetExtensionMain();

namespace hx {
namespace {

using namespace widget_host;

class WidgetWindowsTest : public widget_testing::WidgetLibraryTest {
  protected:
    void SetUp() override {
        const char* wanted = std::getenv("HX_UI_WINDOW_TESTS");
        const char* display = std::getenv("DISPLAY");
        if (!wanted || !display || !*display)
            GTEST_SKIP() << "needs a display: run under xvfb-run with HX_UI_WINDOW_TESTS=1";
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ASSERT_TRUE(ui::ensureQtApplication());
        WidgetLibraryTest::SetUp();
        albumWith({"2026:01:01 10:00:00"});
        RunLoop::main().bindToCurrentThread();
    }

    std::unique_ptr<WidgetHost> makeHost() {
        WidgetHost::Options options;
        options.scale = 1;
        auto host = std::make_unique<WidgetHost>(options);
        host->addBundle(std::shared_ptr<WidgetBundle>(hxWidgetExtensionMain()), {});
        return host;
    }
    static void settle() {
        for (int i = 0; i < 20; ++i) QApplication::processEvents();
    }
    static void drag(QWidget& window, QPoint by) {
        const QPointF inside(20, 20);
        const QPointF start = window.mapToGlobal(inside);
        QMouseEvent press(QEvent::MouseButtonPress, inside, start, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&window, &press);
        QMouseEvent move(QEvent::MouseMove, inside + by, start + by, Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&window, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, inside + by, start + by, Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &release);
    }
};

TEST_F(WidgetWindowsTest, OneFramelessWindowPerWidgetWhoseDraggedPlaceIsKept) {
    QPoint placed;
    {
        auto host = makeHost();
        WidgetWindows windows(*host);
        host->start();
        settle();
        ASSERT_EQ(host->instances().size(), 2u);
        QWidget* small = windows.windowOf(*host->instances()[0]);
        QWidget* circular = windows.windowOf(*host->instances()[1]);
        ASSERT_TRUE(small && circular);
        EXPECT_TRUE(small->isVisible());
        EXPECT_EQ(small->size(), QSize(170, 170));
        EXPECT_EQ(circular->size(), QSize(76, 76));
        EXPECT_TRUE(small->windowFlags() & Qt::FramelessWindowHint);
        EXPECT_NE(small->pos(), circular->pos()) << "the widgets are placed apart";

        const QPoint before = small->pos();
        drag(*small, QPoint(-100, 50));
        settle();
        placed = small->pos();
        EXPECT_EQ(placed, before + QPoint(-100, 50));
    }
    // Started again, the widget comes back where it was left.
    auto host = makeHost();
    WidgetWindows windows(*host);
    host->start();
    settle();
    QWidget* small = windows.windowOf(*host->instances()[0]);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->pos(), placed);
}

}  // namespace
}  // namespace hx

// Hit-testing and the delivery of touches to views, with and without recognisers.

#include <numbers>
#include <string>
#include <vector>

#include "platform/ui/controls/UIButton.h"
#include "platform/ui/events/GestureRecognizers.h"
#include "platform/ui/host/HeadlessHost.h"
#include "platform/ui/window/UIWindow.h"
#include "tests/platform/ui/views/UITestSupport.h"

namespace hx {
namespace {

using testing::UITest;

// Records every touch call with the touch's location in the view.
struct RecordingView : UIView {
    using UIView::UIView;
    std::vector<std::string> calls;
    std::vector<CGPoint> locations;
    bool forward = false;

    void record(const char* name, const UITouchSet& touches, UIEvent* event, bool began = false) {
        calls.push_back(name);
        locations.push_back(touches.anyObject()->locationInView(this));
        if (forward) {
            if (began) UIView::touchesBegan(touches, event);
        }
    }
    void touchesBegan(const UITouchSet& t, UIEvent* e) override { record("began", t, e, true); }
    void touchesMoved(const UITouchSet& t, UIEvent* e) override { record("moved", t, e); }
    void touchesEnded(const UITouchSet& t, UIEvent* e) override { record("ended", t, e); }
    void touchesCancelled(const UITouchSet& t, UIEvent* e) override { record("cancelled", t, e); }
};

class HitTestTest : public UITest {
  protected:
    void SetUp() override {
        UITest::SetUp();
        window = UIWindow::make(CGRectMake(0, 0, 300, 300));
        parent = UIView::make(CGRectMake(0, 0, 200, 200));
        child = UIView::make(CGRectMake(50, 50, 50, 50));
        window->addSubview(parent);
        parent->addSubview(child);
    }
    UIViewRef hit(double x, double y) { return window->hitTest({x, y}, nullptr); }

    std::shared_ptr<UIWindow> window;
    UIViewRef parent;
    UIViewRef child;
};

TEST_F(HitTestTest, DeepestFrontmostViewWins) {
    EXPECT_EQ(hit(60, 60), child);
    EXPECT_EQ(hit(10, 10), parent);
    EXPECT_EQ(hit(250, 250), window);
    auto cover = UIView::make(CGRectMake(40, 40, 30, 30));
    parent->addSubview(cover);
    EXPECT_EQ(hit(60, 60), cover);
    EXPECT_EQ(hit(80, 80), child);
}

TEST_F(HitTestTest, HiddenTransparentAndNonInteractiveViewsTakeNoTouches) {
    child->setHidden(true);
    EXPECT_EQ(hit(60, 60), parent);
    child->setHidden(false);
    child->setAlpha(0.009);
    EXPECT_EQ(hit(60, 60), parent);
    child->setAlpha(0.01);
    EXPECT_EQ(hit(60, 60), child);
    // Without interaction neither the view nor its subviews take the touch.
    parent->setUserInteractionEnabled(false);
    EXPECT_EQ(hit(60, 60), window);
}

TEST_F(HitTestTest, SubviewsOutsideTheirSuperviewAreNotHit) {
    auto outside = UIView::make(CGRectMake(190, 190, 50, 50));
    parent->addSubview(outside);
    EXPECT_EQ(hit(195, 195), outside);
    EXPECT_EQ(hit(210, 210), window);
}

TEST_F(HitTestTest, TransformsMoveTheHitArea) {
    // 50 x 50 at (50, 50) turned 90 degrees stays in place; a wide view turns across.
    auto wide = UIView::make(CGRectMake(0, 90, 200, 20));  // centre (100, 100)
    parent->addSubview(wide);
    EXPECT_EQ(hit(10, 100), wide);
    wide->setTransform(CGAffineTransformMakeRotation(std::numbers::pi / 2));
    EXPECT_EQ(hit(10, 100), parent);
    EXPECT_EQ(hit(100, 10), wide);
    wide->setTransform(CGAffineTransformMakeScale(0.5, 1));
    EXPECT_EQ(hit(20, 100), parent);
    EXPECT_EQ(hit(60, 100), wide);
}

class TouchDeliveryTest : public UITest {
  protected:
    void SetUp() override {
        UITest::SetUp();
        host = std::make_unique<HeadlessHost>(UIWindow::make(CGRectMake(0, 0, 300, 300)));
        view = std::make_shared<RecordingView>(CGRectMake(100, 100, 100, 100));
        host->window()->addSubview(view);
    }
    std::unique_ptr<HeadlessHost> host;
    std::shared_ptr<RecordingView> view;
};

TEST_F(TouchDeliveryTest, TouchGoesToViewWhereItBeganUntilItEnds) {
    host->touchDown({110, 120});
    host->touchMove({250, 250});  // leaving the view does not change where the touch goes
    host->touchUp({260, 260});
    EXPECT_EQ(view->calls, (std::vector<std::string>{"began", "moved", "ended"}));
    EXPECT_EQ(view->locations[0], (CGPoint{10, 20}));
    EXPECT_EQ(view->locations[2], (CGPoint{160, 160}));
}

TEST_F(TouchDeliveryTest, UnhandledTouchesPassUpTheResponderChain) {
    auto inner = std::make_shared<UIView>(CGRectMake(10, 10, 20, 20));
    view->addSubview(inner);
    host->touchDown({115, 115});
    host->touchUp({115, 115});
    EXPECT_EQ(view->calls, (std::vector<std::string>{"began", "ended"}));
    EXPECT_EQ(view->locations[0], (CGPoint{15, 15}));
}

TEST_F(TouchDeliveryTest, SecondFingerIsWithheldWithoutMultipleTouch) {
    host->touchDown({110, 110}, 0);
    host->touchDown({150, 150}, 1);
    host->touchUp({150, 150}, 1);
    host->touchUp({110, 110}, 0);
    EXPECT_EQ(view->calls, (std::vector<std::string>{"began", "ended"}));

    view->calls.clear();
    view->setMultipleTouchEnabled(true);
    host->touchDown({110, 110}, 0);
    host->touchDown({150, 150}, 1);
    host->touchUp({150, 150}, 1);
    host->touchUp({110, 110}, 0);
    EXPECT_EQ(view->calls, (std::vector<std::string>{"began", "began", "ended", "ended"}));
}

TEST_F(TouchDeliveryTest, RecogniserThatRecognisesCancelsTheViewsTouch) {
    auto pan = std::make_shared<UIPanGestureRecognizer>();
    view->addGestureRecognizer(pan);
    host->touchDown({110, 110});
    host->touchMove({112, 110});
    host->touchMove({140, 110});  // far enough to begin the pan
    host->touchMove({150, 110});
    host->touchUp({150, 110});
    EXPECT_EQ(view->calls, (std::vector<std::string>{"began", "moved", "cancelled"}));

    view->calls.clear();
    pan->setCancelsTouchesInView(false);
    host->touchDown({110, 110});
    host->touchMove({140, 110});
    host->touchUp({140, 110});
    EXPECT_EQ(view->calls, (std::vector<std::string>{"began", "moved", "ended"}));
}

TEST_F(TouchDeliveryTest, TapCountGrowsForQuickTapsInOnePlace) {
    std::vector<int> counts;
    struct Counter : UIView {
        std::vector<int>* counts;
        void touchesBegan(const UITouchSet& t, UIEvent*) override {
            counts->push_back(t.anyObject()->tapCount());
        }
    };
    auto counter = std::make_shared<Counter>();
    counter->counts = &counts;
    counter->setFrame(CGRectMake(0, 0, 50, 50));
    host->window()->addSubview(counter);
    host->tap({10, 10});
    advance(0.1);
    host->tap({12, 10});
    advance(1);
    host->tap({12, 10});
    EXPECT_EQ(counts, (std::vector<int>{1, 2, 1}));
}

TEST_F(TouchDeliveryTest, CancelTouchesEndsEveryFinger) {
    view->setMultipleTouchEnabled(true);
    host->touchDown({110, 110}, 0);
    host->touchDown({120, 120}, 1);
    host->cancelTouches();
    EXPECT_EQ(view->calls, (std::vector<std::string>{"began", "began", "cancelled", "cancelled"}));
    host->touchUp({110, 110}, 0);  // nothing left to end
    EXPECT_EQ(view->calls.size(), 4u);
}

}  // namespace
}  // namespace hx

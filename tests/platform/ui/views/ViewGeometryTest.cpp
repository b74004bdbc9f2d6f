// Frames, bounds, centres and transforms; point conversion; the view tree; safe areas.

#include <numbers>
#include <string>
#include <vector>

#include "platform/log/Log.h"
#include "platform/ui/controls/UISlider.h"
#include "platform/ui/window/UIScreen.h"
#include "platform/ui/window/UIWindow.h"
#include "tests/platform/geometry/ExpectGeometry.h"
#include "tests/platform/ui/views/UITestSupport.h"

namespace hx {
namespace {

using testing::expectRect;
using testing::UITest;

constexpr double kQuarterTurn = std::numbers::pi / 2;

class ViewGeometryTest : public UITest {};

TEST_F(ViewGeometryTest, FrameSetsCentreAndBounds) {
    auto view = UIView::make(CGRectMake(10, 20, 100, 50));
    expectRect(view->bounds(), 0, 0, 100, 50);
    EXPECT_EQ(view->center(), (CGPoint{60, 45}));
    view->setCenter({0, 0});
    expectRect(view->frame(), -50, -25, 100, 50);
    view->setBounds(CGRectMake(5, 5, 20, 10));
    expectRect(view->frame(), -10, -5, 20, 10);
}

TEST_F(ViewGeometryTest, QuarterTurnKeepsCentreAndSwapsFrameSides) {
    // A slider laid out 54 x 29 at (238, 14), then turned upright.
    auto slider = std::make_shared<UISlider>(CGRectMake(238, 14, 54, 29));
    slider->setTransform(CGAffineTransformMakeRotation(kQuarterTurn));
    expectRect(slider->frame(), 250.5, 1.5, 29, 54);
    expectRect(slider->bounds(), 0, 0, 54, 29);
    EXPECT_EQ(slider->center(), (CGPoint{265, 28.5}));

    // Setting the frame of a turned view sizes the bounds so that the turn gives that frame.
    slider->setFrame(CGRectMake(0, 100, 72, 300));
    expectRect(slider->frame(), 0, 100, 72, 300);
    expectRect(slider->bounds(), 0, 0, 300, 72);

    slider->setTransform(CGAffineTransformIdentity);
    expectRect(slider->frame(), -114, 214, 300, 72);
}

TEST_F(ViewGeometryTest, ScaleAndTranslationTransformsAffectTheFrame) {
    auto view = UIView::make(CGRectMake(0, 0, 100, 100));
    view->setTransform(CGAffineTransformMakeScale(2, 0.5));
    expectRect(view->frame(), -50, 25, 200, 50);
    view->setTransform(CGAffineTransformMakeTranslation(10, -10));
    expectRect(view->frame(), 10, -10, 100, 100);
    view->setFrame(CGRectMake(0, 0, 40, 40));
    EXPECT_EQ(view->center(), (CGPoint{10, 30}));
    expectRect(view->frame(), 0, 0, 40, 40);
}

TEST_F(ViewGeometryTest, ConvertsPointsThroughOffsetsAndTurns) {
    auto window = UIWindow::make(CGRectMake(0, 0, 400, 800));
    auto outer = UIView::make(CGRectMake(100, 200, 200, 100));
    auto inner = UIView::make(CGRectMake(10, 10, 50, 20));
    window->addSubview(outer);
    outer->addSubview(inner);

    EXPECT_EQ(inner->convertPointToView({0, 0}, nullptr), (CGPoint{110, 210}));
    EXPECT_EQ(inner->convertPointToView({0, 0}, outer.get()), (CGPoint{10, 10}));
    EXPECT_EQ(outer->convertPointFromView({115, 215}, window.get()), (CGPoint{15, 15}));

    // Scrolled bounds move the content.
    outer->setBounds(CGRectMake(0, 50, 200, 100));
    EXPECT_EQ(inner->convertPointToView({0, 0}, nullptr), (CGPoint{110, 160}));
    outer->setBounds(CGRectMake(0, 0, 200, 100));

    // Turned +90 degrees about its centre (200, 250): its top-left corner lands top-right.
    outer->setTransform(CGAffineTransformMakeRotation(kQuarterTurn));
    CGPoint corner = outer->convertPointToView({0, 0}, nullptr);
    EXPECT_NEAR(corner.x, 250, 1e-9);
    EXPECT_NEAR(corner.y, 150, 1e-9);
    CGPoint back = outer->convertPointFromView(corner, nullptr);
    EXPECT_NEAR(back.x, 0, 1e-9);
    EXPECT_NEAR(back.y, 0, 1e-9);
    CGRect r = inner->convertRectToView(inner->bounds(), nullptr);
    expectRect(r, 220, 160, 20, 50);
}

TEST_F(ViewGeometryTest, SubviewOrderAndMoves) {
    auto root = UIView::make(CGRectMake(0, 0, 10, 10));
    auto a = UIView::make();
    auto b = UIView::make();
    auto c = UIView::make();
    root->addSubview(a);
    root->addSubview(b);
    root->addSubview(c);
    root->bringSubviewToFront(a);
    EXPECT_EQ(root->subviews(), (std::vector<UIViewRef>{b, c, a}));
    root->sendSubviewToBack(c);
    EXPECT_EQ(root->subviews(), (std::vector<UIViewRef>{c, b, a}));
    root->addSubview(c);  // adding again moves it to the front
    EXPECT_EQ(root->subviews(), (std::vector<UIViewRef>{b, a, c}));

    auto other = UIView::make();
    other->addSubview(b);
    EXPECT_EQ(root->subviews(), (std::vector<UIViewRef>{a, c}));
    EXPECT_EQ(b->superview(), other);
    b->removeFromSuperview();
    EXPECT_EQ(b->superview(), nullptr);
    EXPECT_TRUE(other->subviews().empty());

    // A view cannot become its own descendant; the refusal is logged.
    std::vector<std::string> messages;
    log::setSink([&](std::string_view m) { messages.emplace_back(m); });
    a->addSubview(b);
    b->addSubview(root);
    log::resetSink();
    EXPECT_EQ(root->superview(), nullptr);
    EXPECT_EQ(messages.size(), 1u);

    c->setTag(7);
    EXPECT_EQ(root->viewWithTag(7), c);
    EXPECT_EQ(root->viewWithTag(8), nullptr);
}

TEST_F(ViewGeometryTest, WindowAndSuperviewAreWeak) {
    auto window = UIWindow::make(CGRectMake(0, 0, 100, 100));
    std::weak_ptr<UIView> child;
    {
        auto view = UIView::make();
        child = view;
        window->addSubview(view);
        EXPECT_EQ(view->window(), window);
    }
    ASSERT_FALSE(child.expired());  // the window holds its subviews
    std::weak_ptr<UIWindow> weakWindow = window;
    window.reset();
    EXPECT_TRUE(weakWindow.expired());
    EXPECT_TRUE(child.expired());
}

struct MoveRecorder : UIView {
    int windowMoves = 0;
    void didMoveToWindow() override { ++windowMoves; }
};

TEST_F(ViewGeometryTest, DidMoveToWindowReachesDescendants) {
    auto window = UIWindow::make(CGRectMake(0, 0, 100, 100));
    auto parent = UIView::make();
    auto child = std::make_shared<MoveRecorder>();
    parent->addSubview(child);
    EXPECT_EQ(child->windowMoves, 0);
    window->addSubview(parent);
    EXPECT_EQ(child->windowMoves, 1);
    EXPECT_EQ(child->window(), window);
    parent->removeFromSuperview();
    EXPECT_EQ(child->windowMoves, 2);
    EXPECT_EQ(child->window(), nullptr);
}

TEST_F(ViewGeometryTest, SafeAreaFollowsProfileAndOrientation) {
    EXPECT_EQ(UIScreen::mainScreen().bounds(), CGRectMake(0, 0, 390, 844));
    EXPECT_EQ(UIScreen::mainScreen().scale(), 3);
    auto window = UIWindow::make();
    EXPECT_EQ(window->safeAreaInsets(), (UIEdgeInsets{47, 0, 34, 0}));
    auto bar = UIView::make(CGRectMake(0, 800, 390, 44));
    window->addSubview(bar);
    EXPECT_EQ(bar->safeAreaInsets(), (UIEdgeInsets{0, 0, 34, 0}));

    UIWindowScene::mainScene().setInterfaceOrientation(UIInterfaceOrientation::LandscapeRight);
    EXPECT_EQ(UIScreen::mainScreen().bounds(), CGRectMake(0, 0, 844, 390));
    EXPECT_EQ(window->windowSafeAreaInsets(), (UIEdgeInsets{0, 47, 0, 34}));
}

TEST_F(ViewGeometryTest, KeyWindowAndScene) {
    auto first = UIWindow::make();
    auto second = UIWindow::make();
    first->makeKeyAndVisible();
    EXPECT_TRUE(first->isKeyWindow());
    second->makeKeyAndVisible();
    EXPECT_FALSE(first->isKeyWindow());
    EXPECT_EQ(UIApplication::sharedApplication().keyWindow(), second);
    auto windows = UIWindowScene::mainScene().windows();
    EXPECT_NE(std::find(windows.begin(), windows.end(), first), windows.end());

    std::vector<UIInterfaceOrientation> seen;
    int token = UIWindowScene::mainScene().addOrientationObserver(
        [&](UIInterfaceOrientation, UIInterfaceOrientation to) { seen.push_back(to); });
    UIWindowScene::mainScene().setInterfaceOrientation(UIInterfaceOrientation::LandscapeLeft);
    UIWindowScene::mainScene().setInterfaceOrientation(UIInterfaceOrientation::LandscapeLeft);
    UIWindowScene::mainScene().removeOrientationObserver(token);
    UIWindowScene::mainScene().setInterfaceOrientation(UIInterfaceOrientation::Portrait);
    EXPECT_EQ(seen, (std::vector<UIInterfaceOrientation>{UIInterfaceOrientation::LandscapeLeft}));
}

}  // namespace
}  // namespace hx

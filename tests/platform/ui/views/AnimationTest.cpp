// View animations stepped by the run loop's clock.

#include <numbers>
#include <vector>

#include "platform/ui/animation/TimingCurve.h"
#include "platform/ui/view/UIView.h"
#include "tests/platform/ui/views/UITestSupport.h"

namespace hx {
namespace {

using testing::UITest;

class AnimationTest : public UITest {};

TEST(TimingCurveTest, CurvesRunFromZeroToOneWithTheirShapes) {
    for (auto curve : {TimingCurve::linear(), TimingCurve::easeIn(), TimingCurve::easeOut(),
                       TimingCurve::easeInOut()}) {
        EXPECT_EQ(curve.valueAt(0), 0);
        EXPECT_EQ(curve.valueAt(1), 1);
        double previous = 0;
        for (double t = 0.05; t < 1; t += 0.05) {
            double v = curve.valueAt(t);
            EXPECT_GE(v, previous);  // never goes back
            previous = v;
        }
    }
    EXPECT_NEAR(TimingCurve::linear().valueAt(0.3), 0.3, 1e-9);
    EXPECT_GT(TimingCurve::easeOut().valueAt(0.5), 0.5);
    EXPECT_LT(TimingCurve::easeIn().valueAt(0.5), 0.5);
    EXPECT_NEAR(TimingCurve::easeInOut().valueAt(0.5), 0.5, 1e-9);
    // The ease-out curve (0, 0, 0.58, 1) at a quarter of the time: x(s) = 0.25 at s = 0.418,
    // where y(s) = 3s^2 - 2s^3 = 0.3781.
    EXPECT_NEAR(TimingCurve::easeOut().valueAt(0.25), 0.3781, 1e-3);
}

TEST_F(AnimationTest, AlphaMovesOverTheDurationAndTheModelChangesAtOnce) {
    auto view = UIView::make(CGRectMake(0, 0, 10, 10));
    view->setAlpha(0);
    UIView::animateWithDuration(0.4, [&] { view->setAlpha(1); });
    EXPECT_EQ(view->alpha(), 1);
    EXPECT_EQ(view->presentation().alpha, 0);
    EXPECT_TRUE(view->hasRunningAnimations());
    advance(0.1);
    double quarter = view->presentation().alpha;
    EXPECT_NEAR(quarter, TimingCurve::easeInOut().valueAt(0.25), 1e-9);
    advance(0.1);
    EXPECT_NEAR(view->presentation().alpha, 0.5, 1e-9);
    advance(0.2);
    EXPECT_EQ(view->presentation().alpha, 1);
    EXPECT_FALSE(view->hasRunningAnimations());
}

TEST_F(AnimationTest, DelayHoldsTheStartAndEaseOutLeadsLinear) {
    auto view = UIView::make(CGRectMake(0, 0, 10, 10));
    std::vector<bool> finished;
    UIView::animateWithDuration(
        0.2, 0.1, UIViewAnimationOptionCurveEaseOut,
        [&] {
            view->setCenter({100, 0});
        },
        [&](bool done) { finished.push_back(done); });
    advance(0.05);
    EXPECT_EQ(view->presentation().center.x, 5);  // still where it was
    advance(0.1);                                 // a quarter of the way
    EXPECT_NEAR(view->presentation().center.x, 5 + 95 * TimingCurve::easeOut().valueAt(0.25), 1e-9);
    EXPECT_GT(view->presentation().center.x, 5 + 95 * 0.25);
    EXPECT_TRUE(finished.empty());
    advance(0.149);
    EXPECT_TRUE(finished.empty());
    advance(0.002);
    EXPECT_EQ(finished, std::vector<bool>{true});
    EXPECT_EQ(view->presentation().center.x, 100);
}

TEST_F(AnimationTest, FrameAnimatesCentreAndBoundsTogether) {
    auto view = UIView::make(CGRectMake(0, 0, 100, 100));
    UIView::animateWithDuration(
        1, 0, UIViewAnimationOptionCurveLinear,
        [&] { view->setFrame(CGRectMake(100, 100, 200, 50)); }, nullptr);
    EXPECT_EQ(view->frame(), CGRectMake(100, 100, 200, 50));
    advance(0.5);
    auto p = view->presentation();
    EXPECT_EQ(p.center, (CGPoint{125, 87.5}));  // from (50, 50) to (200, 125)
    EXPECT_EQ(p.bounds.size, (CGSize{150, 75}));
}

TEST_F(AnimationTest, TransformTurnsThroughTheShorterWay) {
    auto view = UIView::make(CGRectMake(0, 0, 100, 100));
    UIView::animateWithDuration(
        1, 0, UIViewAnimationOptionCurveLinear,
        [&] { view->setTransform(CGAffineTransformMakeRotation(std::numbers::pi / 2)); }, nullptr);
    advance(0.5);
    CGAffineTransform t = view->presentation().transform;
    EXPECT_NEAR(t.rotationAngle(), std::numbers::pi / 4, 1e-9);
    EXPECT_NEAR(t.scaleX(), 1, 1e-9);  // turning, not shrinking

    UIView::animateWithDuration(
        1, 0, UIViewAnimationOptionCurveLinear,
        [&] { view->setTransform(CGAffineTransformMakeRotation(-std::numbers::pi * 0.9)); },
        nullptr);
    // From 45 degrees to -162 degrees the short way is forward through 180: 153 degrees.
    advance(0.5);
    double angle = view->presentation().transform.rotationAngle();
    EXPECT_NEAR(angle, std::numbers::pi * (0.25 + 0.425), 1e-9);
}

TEST_F(AnimationTest, CompletionRunsOnTheQueueEvenWithNothingToAnimate) {
    auto view = UIView::make();
    int calls = 0;
    bool result = false;
    UIView::animateWithDuration(
        0.4, [&] { view->setAlpha(1); },
        [&](bool f) {
            ++calls;
            result = f;
        });
    EXPECT_EQ(calls, 0);  // not inside the call
    advance(0);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(result);
}

TEST_F(AnimationTest, ReplacedAnimationReportsUnfinishedAndStartsFromWhereItWas) {
    auto view = UIView::make();
    view->setAlpha(0);
    std::vector<bool> first, second;
    UIView::animateWithDuration(
        0.4, 0, UIViewAnimationOptionCurveLinear, [&] { view->setAlpha(1); },
        [&](bool f) { first.push_back(f); });
    advance(0.2);
    UIView::animateWithDuration(
        0.4, 0, UIViewAnimationOptionCurveLinear, [&] { view->setAlpha(0); },
        [&](bool f) { second.push_back(f); });
    EXPECT_NEAR(view->presentation().alpha, 0.5, 1e-9);
    advance(0.2);
    EXPECT_NEAR(view->presentation().alpha, 0.25, 1e-9);
    EXPECT_EQ(first, std::vector<bool>{false});
    advance(0.2);
    EXPECT_EQ(second, std::vector<bool>{true});
    EXPECT_EQ(view->presentation().alpha, 0);
}

TEST_F(AnimationTest, ChangesOutsideABlockOrWithoutAnimationJump) {
    auto view = UIView::make();
    view->setAlpha(0);
    UIView::animateWithDuration(1, [&] {
        view->setAlpha(1);
        UIView::performWithoutAnimation([&] { view->setCenter({50, 50}); });
    });
    EXPECT_EQ(view->presentation().center, (CGPoint{50, 50}));
    advance(0.5);
    view->setAlpha(0.2);  // a plain set stops the running animation
    EXPECT_EQ(view->presentation().alpha, 0.2);
    EXPECT_FALSE(view->hasRunningAnimations());
}

TEST_F(AnimationTest, RemoveAllAnimationsShowsTheModel) {
    auto view = UIView::make();
    bool finished = true;
    UIView::animateWithDuration(
        1,
        [&] {
            view->setCenter({10, 10});
        },
        [&](bool f) { finished = f; });
    view->removeAllAnimations();
    EXPECT_EQ(view->presentation().center, (CGPoint{10, 10}));
    advance(1);
    EXPECT_FALSE(finished);
}

}  // namespace
}  // namespace hx

// Each recogniser's state sequence, with locations, timings and the rules between recognisers.

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
using State = UIGestureRecognizerState;

class GestureTest : public UITest {
  protected:
    void SetUp() override {
        UITest::SetUp();
        host = std::make_unique<HeadlessHost>(UIWindow::make(CGRectMake(0, 0, 400, 400)));
        view = UIView::make(CGRectMake(100, 100, 200, 200));
        view->setMultipleTouchEnabled(true);
        host->window()->addSubview(view);
    }

    // Attaches the recogniser to `on` and records its state at every action.
    template <typename R>
    std::shared_ptr<R> attach(std::vector<State>& states, UIViewRef on = nullptr) {
        auto recognizer = std::make_shared<R>(
            nullptr, [&states](UIGestureRecognizer* r) { states.push_back(r->state()); });
        (on ? on : view)->addGestureRecognizer(recognizer);
        return recognizer;
    }

    std::unique_ptr<HeadlessHost> host;
    UIViewRef view;
};

TEST_F(GestureTest, SingleTapEndsOnLiftWithItsLocation) {
    std::vector<State> states;
    auto tap = attach<UITapGestureRecognizer>(states);
    CGPoint where;
    tap->addTarget(nullptr, [&](UIGestureRecognizer* r) { where = r->locationInView(view.get()); });
    host->tap({150, 170});
    EXPECT_EQ(states, (std::vector<State>{State::Ended}));
    EXPECT_EQ(where, (CGPoint{50, 70}));
    EXPECT_EQ(tap->state(), State::Possible);  // ready for the next tap
    EXPECT_EQ(tap->view(), view.get());
}

TEST_F(GestureTest, TapFailsWhenTheFingerWanders) {
    std::vector<State> states;
    attach<UITapGestureRecognizer>(states);
    host->touchDown({150, 150});
    host->touchMove({180, 150});
    host->touchUp({180, 150});
    EXPECT_TRUE(states.empty());
    host->tap({150, 150});  // and recognises again afterwards
    EXPECT_EQ(states.size(), 1u);
}

TEST_F(GestureTest, DoubleTapNeedsBothTapsInTime) {
    std::vector<State> states;
    auto tap = attach<UITapGestureRecognizer>(states);
    tap->setNumberOfTapsRequired(2);
    host->tap({150, 150});
    advance(0.2);
    EXPECT_TRUE(states.empty());
    host->tap({152, 150});
    EXPECT_EQ(states, (std::vector<State>{State::Ended}));

    states.clear();
    host->tap({150, 150});
    advance(0.5);  // too slow: the first tap fails
    host->tap({150, 150});
    EXPECT_TRUE(states.empty());
    advance(0.2);
    host->tap({150, 150});
    EXPECT_EQ(states, (std::vector<State>{State::Ended}));
}

TEST_F(GestureTest, TwoFingerTapNeedsTwoFingers) {
    std::vector<State> twoFinger, oneFingerDouble;
    auto two = attach<UITapGestureRecognizer>(twoFinger);
    two->setNumberOfTouchesRequired(2);
    auto dbl = attach<UITapGestureRecognizer>(oneFingerDouble);
    dbl->setNumberOfTapsRequired(2);
    host->tap({150, 150}, 1);
    advance(1);
    EXPECT_TRUE(twoFinger.empty());
    CGPoint centre;
    two->addTarget(nullptr, [&](UIGestureRecognizer* r) { centre = r->locationInView(nullptr); });
    host->tap({150, 150}, 2);
    EXPECT_EQ(twoFinger, (std::vector<State>{State::Ended}));
    EXPECT_TRUE(oneFingerDouble.empty());
    EXPECT_EQ(centre, (CGPoint{160, 150}));  // between the two fingers
}

TEST_F(GestureTest, ARecognisedTwoFingerTapTellsWhereEachFingerWas) {
    std::vector<State> states;
    auto two = attach<UITapGestureRecognizer>(states);
    two->setNumberOfTouchesRequired(2);
    std::size_t count = 0;
    std::vector<CGPoint> fingers;
    two->addTarget(nullptr, [&](UIGestureRecognizer* r) {
        count = r->numberOfTouches();
        for (std::size_t i = 0; i < count; ++i)
            fingers.push_back(r->locationOfTouch(i, view.get()));
    });
    host->touchDown({130, 140}, 0);
    host->touchDown({190, 220}, 1);
    host->touchUp({190, 220}, 1);
    host->touchUp({130, 140}, 0);
    ASSERT_EQ(states, (std::vector<State>{State::Ended}));
    ASSERT_EQ(count, 2u);
    // In the view's coordinates, the first finger first.
    EXPECT_EQ(fingers[0], (CGPoint{30, 40}));
    EXPECT_EQ(fingers[1], (CGPoint{90, 120}));
}

TEST_F(GestureTest, PanBeginsAfterTenPointsAndReportsTranslation) {
    std::vector<State> states;
    std::vector<CGPoint> translations;
    auto pan = attach<UIPanGestureRecognizer>(states);
    pan->addTarget(nullptr, [&](UIGestureRecognizer*) {
        translations.push_back(pan->translationInView(view.get()));
    });
    host->touchDown({150, 150});
    host->touchMove({155, 150});
    EXPECT_TRUE(states.empty());
    advance(0.1);
    host->touchMove({170, 150});
    advance(0.1);
    host->touchMove({170, 180});
    host->touchUp({170, 180});
    EXPECT_EQ(states, (std::vector<State>{State::Began, State::Changed, State::Ended}));
    EXPECT_EQ(translations[0], (CGPoint{20, 0}));
    EXPECT_EQ(translations[1], (CGPoint{20, 30}));
    EXPECT_EQ(translations[2], (CGPoint{20, 30}));
}

TEST_F(GestureTest, PanTranslationFollowsTheViewsTurnAndCanBeReset) {
    view->setTransform(CGAffineTransformMakeRotation(std::numbers::pi / 2));
    std::vector<State> states;
    auto pan = attach<UIPanGestureRecognizer>(states);
    CGPoint last;
    pan->addTarget(nullptr, [&](UIGestureRecognizer*) {
        last = pan->translationInView(view.get());
        pan->setTranslation(CGPointZero, view.get());
    });
    host->touchDown({200, 200});
    host->touchMove({200, 230});  // down the screen is +x in the turned view
    EXPECT_NEAR(last.x, 30, 1e-9);
    EXPECT_NEAR(last.y, 0, 1e-9);
    host->touchMove({190, 240});
    EXPECT_NEAR(last.x, 10, 1e-9);
    EXPECT_NEAR(last.y, 10, 1e-9);
    host->touchUp({190, 240});
}

TEST_F(GestureTest, PinchScalesWithTheSpreadOfTwoFingers) {
    std::vector<State> states;
    std::vector<double> scales;
    auto pinch = attach<UIPinchGestureRecognizer>(states);
    pinch->addTarget(nullptr, [&](UIGestureRecognizer*) { scales.push_back(pinch->scale()); });
    // Four steps of two finger moves each: 100 apart to 200 apart.
    host->pinch({200, 200}, 100, 200, 4);
    std::vector<State> expected(9, State::Changed);
    expected.front() = State::Began;
    expected.back() = State::Ended;
    EXPECT_EQ(states, expected);
    EXPECT_NEAR(scales[0], 1.125, 1e-9);  // the first finger moved 12.5 points out
    EXPECT_NEAR(scales[1], 1.25, 1e-9);
    EXPECT_NEAR(scales.back(), 2.0, 1e-9);

    // Resetting the scale in the handler makes each report relative to the last.
    states.clear();
    scales.clear();
    pinch->addTarget(nullptr, [&](UIGestureRecognizer*) { pinch->setScale(1); });
    host->pinch({200, 200}, 100, 50, 2);
    EXPECT_NEAR(scales[0], 87.5 / 100, 1e-9);
    EXPECT_NEAR(scales[1], 75 / 87.5, 1e-9);
}

TEST_F(GestureTest, OneFingerIsNoPinch) {
    std::vector<State> states;
    attach<UIPinchGestureRecognizer>(states);
    host->drag({150, 150}, {250, 150});
    EXPECT_TRUE(states.empty());
}

TEST_F(GestureTest, LongPressBeginsAfterTheMinimumDuration) {
    std::vector<State> states;
    auto press = attach<UILongPressGestureRecognizer>(states);
    press->setMinimumPressDuration(0.5);
    host->touchDown({150, 150});
    advance(0.49);
    EXPECT_TRUE(states.empty());
    advance(0.02);
    EXPECT_EQ(states, (std::vector<State>{State::Began}));
    host->touchMove({151, 150});
    host->touchUp({151, 150});
    EXPECT_EQ(states, (std::vector<State>{State::Began, State::Changed, State::Ended}));

    // Lifting early or moving away fails it.
    states.clear();
    host->touchDown({150, 150});
    advance(0.3);
    host->touchUp({150, 150});
    advance(1);
    host->touchDown({150, 150});
    host->touchMove({180, 150});
    advance(1);
    host->touchUp({180, 150});
    EXPECT_TRUE(states.empty());
}

TEST_F(GestureTest, DisablingARecogniserCancelsItsGesture) {
    std::vector<State> states;
    auto press = attach<UILongPressGestureRecognizer>(states);
    host->touchDown({150, 150});
    advance(1);
    press->setEnabled(false);
    host->touchUp({150, 150});
    EXPECT_EQ(states, (std::vector<State>{State::Began, State::Cancelled}));
}

TEST_F(GestureTest, RecognisingFailsTheOthersOnTheSameTouches) {
    std::vector<State> panStates, pressStates;
    attach<UIPanGestureRecognizer>(panStates);
    attach<UILongPressGestureRecognizer>(pressStates);
    host->touchDown({150, 150});
    host->touchMove({190, 150});
    advance(1);
    host->touchUp({190, 150});
    EXPECT_EQ(panStates, (std::vector<State>{State::Began, State::Ended}));
    EXPECT_TRUE(pressStates.empty());
}

TEST_F(GestureTest, RequiredFailureDelaysSingleTapUntilDoubleTapFails) {
    std::vector<State> single, dbl;
    auto singleTap = attach<UITapGestureRecognizer>(single);
    auto doubleTap = attach<UITapGestureRecognizer>(dbl);
    doubleTap->setNumberOfTapsRequired(2);
    singleTap->requireGestureRecognizerToFail(doubleTap);

    host->tap({150, 150});
    EXPECT_TRUE(single.empty());
    advance(0.5);
    EXPECT_EQ(single, (std::vector<State>{State::Ended}));
    EXPECT_TRUE(dbl.empty());

    single.clear();
    advance(1);
    host->tap({150, 150});
    advance(0.1);
    host->tap({150, 150});
    advance(1);
    EXPECT_EQ(dbl, (std::vector<State>{State::Ended}));
    EXPECT_TRUE(single.empty());
}

TEST_F(GestureTest, ButtonKeepsItsTapFromTheSuperviewsTapRecogniser) {
    std::vector<State> states;
    attach<UITapGestureRecognizer>(states);
    auto button = std::make_shared<UIButton>(CGRectMake(0, 0, 50, 50));
    view->addSubview(button);
    int presses = 0;
    button->addTarget(
        nullptr, [&](UIControl*) { ++presses; }, UIControlEventTouchUpInside);
    host->tap({110, 110});
    EXPECT_EQ(presses, 1);
    EXPECT_TRUE(states.empty());
    host->tap({200, 200});
    EXPECT_EQ(states.size(), 1u);
}

TEST_F(GestureTest, QuickPressesOfAButtonAreNotTheSuperviewsDoubleTap) {
    std::vector<State> states;
    auto doubleTap = attach<UITapGestureRecognizer>(states);
    doubleTap->setNumberOfTapsRequired(2);
    auto button = std::make_shared<UIButton>(CGRectMake(0, 0, 50, 50));
    view->addSubview(button);
    int presses = 0;
    button->addTarget(
        nullptr, [&](UIControl*) { ++presses; }, UIControlEventTouchUpInside);
    // A tap on the view and then on the button in quick succession, then two on the button.
    host->tap({180, 180});
    advance(0.1);
    host->tap({110, 110});
    advance(0.1);
    host->tap({110, 110});
    advance(1);
    EXPECT_EQ(presses, 2);
    EXPECT_TRUE(states.empty());
}

TEST_F(GestureTest, DoubleTapFailsWhenTheSecondTapLandsFarAway) {
    std::vector<State> states;
    auto doubleTap = attach<UITapGestureRecognizer>(states);
    doubleTap->setNumberOfTapsRequired(2);
    host->tap({110, 110});
    advance(0.1);
    host->tap({280, 280});
    advance(1);
    EXPECT_TRUE(states.empty());
    // Close together it still counts.
    host->tap({200, 200});
    advance(0.1);
    host->tap({220, 210});
    EXPECT_EQ(states, (std::vector<State>{State::Ended}));
}

TEST_F(GestureTest, LongPressOnAButtonCancelsItsTouchUpInside) {
    auto button = std::make_shared<UIButton>(CGRectMake(0, 0, 50, 50));
    view->addSubview(button);
    std::vector<std::string> events;
    button->addTarget(
        nullptr, [&](UIControl*) { events.push_back("down"); }, UIControlEventTouchDown);
    button->addTarget(
        nullptr, [&](UIControl*) { events.push_back("up"); }, UIControlEventTouchUpInside);
    button->addTarget(
        nullptr, [&](UIControl*) { events.push_back("cancel"); }, UIControlEventTouchCancel);
    std::vector<State> states;
    attach<UILongPressGestureRecognizer>(states, button);

    host->touchDown({110, 110});
    advance(0.6);
    host->touchUp({110, 110});
    EXPECT_EQ(events, (std::vector<std::string>{"down", "cancel"}));
    EXPECT_EQ(states, (std::vector<State>{State::Began, State::Ended}));

    events.clear();
    host->touchDown({110, 110});
    advance(0.2);
    host->touchUp({110, 110});
    EXPECT_EQ(events, (std::vector<std::string>{"down", "up"}));
}

TEST_F(GestureTest, RecognisersOnHiddenViewsSeeNothing) {
    std::vector<State> states;
    attach<UITapGestureRecognizer>(states);
    view->setHidden(true);
    host->tap({150, 150});
    EXPECT_TRUE(states.empty());
}

TEST_F(GestureTest, WeakTargetIsSkippedOnceGone) {
    struct Handler {
        int calls = 0;
        void handleTap(UITapGestureRecognizer*) { ++calls; }
    };
    auto handler = std::make_shared<Handler>();
    auto tap = std::make_shared<UITapGestureRecognizer>(std::weak_ptr<Handler>(handler),
                                                        &Handler::handleTap);
    view->addGestureRecognizer(tap);
    host->tap({150, 150});
    EXPECT_EQ(handler->calls, 1);
    handler.reset();
    host->tap({150, 150});  // no call, no crash
    view->removeGestureRecognizer(tap.get());
    EXPECT_EQ(tap->view(), nullptr);
}

}  // namespace
}  // namespace hx

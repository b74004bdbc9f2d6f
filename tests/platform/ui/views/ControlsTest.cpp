// Buttons, sliders, labels and the activity indicator, driven by touches.

#include <memory>
#include <string>
#include <vector>

#include "platform/image/Image.h"
#include "platform/ui/controls/UIActivityIndicatorView.h"
#include "platform/ui/controls/UIButton.h"
#include "platform/ui/controls/UISlider.h"
#include "platform/ui/host/HeadlessHost.h"
#include "platform/ui/window/UIWindow.h"
#include "tests/platform/ui/views/UITestSupport.h"

namespace hx {
namespace {

using testing::UITest;

UIImageRef solidImage(int width, int height, uint8_t r, uint8_t g, uint8_t b, double scale = 1) {
    std::vector<uint8_t> pixels(static_cast<std::size_t>(width * height * 4));
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = r;
        pixels[i + 1] = g;
        pixels[i + 2] = b;
        pixels[i + 3] = 255;
    }
    return UIImage::imageWithCGImage(
        image::Image::adopt(image::PixelFormat::RGBA8, width, height, std::move(pixels)), scale);
}

class ControlsTest : public UITest {
  protected:
    void SetUp() override {
        UITest::SetUp();
        host = std::make_unique<HeadlessHost>(UIWindow::make(CGRectMake(0, 0, 400, 400)));
    }

    // Records the named events of a control in order.
    void recordEvents(UIControl& control) {
        const std::pair<UIControlEvents, const char*> names[] = {
            {UIControlEventTouchDown, "down"},
            {UIControlEventTouchDragInside, "drag-in"},
            {UIControlEventTouchDragOutside, "drag-out"},
            {UIControlEventTouchDragExit, "exit"},
            {UIControlEventTouchDragEnter, "enter"},
            {UIControlEventTouchUpInside, "up-in"},
            {UIControlEventTouchUpOutside, "up-out"},
            {UIControlEventTouchCancel, "cancel"},
            {UIControlEventValueChanged, "changed"}};
        for (auto [event, name] : names) {
            control.addTarget(
                this, [this, name = name](UIControl*) { events.push_back(name); }, event);
        }
    }

    std::unique_ptr<HeadlessHost> host;
    std::vector<std::string> events;
};

TEST_F(ControlsTest, ButtonTapSendsDownThenUpInside) {
    auto button = UIButton::buttonWithType(UIButtonType::Custom);
    button->setFrame(CGRectMake(100, 100, 50, 50));
    host->window()->addSubview(button);
    recordEvents(*button);
    std::vector<bool> highlighted;
    button->addTarget(
        nullptr, [&](UIControl* c) { highlighted.push_back(c->isHighlighted()); },
        UIControlEventTouchDown | UIControlEventTouchUpInside);
    host->tap({120, 120});
    EXPECT_EQ(events, (std::vector<std::string>{"down", "up-in"}));
    EXPECT_EQ(highlighted, (std::vector<bool>{true, false}));
}

TEST_F(ControlsTest, DraggingFarAwayEndsOutside) {
    auto button = std::make_shared<UIButton>(CGRectMake(100, 100, 50, 50));
    host->window()->addSubview(button);
    recordEvents(*button);
    host->touchDown({120, 120});
    host->touchMove({130, 120});
    host->touchMove({350, 350});  // beyond the finger-sized margin
    host->touchUp({350, 350});
    EXPECT_EQ(events, (std::vector<std::string>{"down", "drag-in", "drag-out", "exit", "up-out"}));
    EXPECT_FALSE(button->isHighlighted());

    events.clear();
    host->touchDown({120, 120});
    host->touchMove({190, 120});  // a little outside still counts as inside
    host->touchUp({190, 120});
    EXPECT_EQ(events, (std::vector<std::string>{"down", "drag-in", "up-in"}));
}

TEST_F(ControlsTest, DisabledButtonSendsNothing) {
    auto button = std::make_shared<UIButton>(CGRectMake(100, 100, 50, 50));
    host->window()->addSubview(button);
    recordEvents(*button);
    button->setEnabled(false);
    host->tap({120, 120});
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(button->state(), UIControlStateDisabled);
}

TEST_F(ControlsTest, RemovingATargetStopsItsActions) {
    auto button = std::make_shared<UIButton>(CGRectMake(100, 100, 50, 50));
    host->window()->addSubview(button);
    int a = 0, b = 0;
    int keyA = 0, keyB = 0;
    button->addTarget(
        &keyA, [&](UIControl*) { ++a; }, UIControlEventTouchUpInside | UIControlEventTouchDown);
    button->addTarget(
        &keyB, [&](UIControl*) { ++b; }, UIControlEventTouchUpInside);
    button->removeTarget(&keyA, UIControlEventTouchUpInside);
    host->tap({120, 120});
    EXPECT_EQ(a, 1);  // still on touch-down
    EXPECT_EQ(b, 1);
    EXPECT_EQ(button->allControlEvents(), UIControlEventTouchUpInside | UIControlEventTouchDown);
    button->removeTarget(nullptr);
    EXPECT_EQ(button->allControlEvents(), 0u);
}

TEST_F(ControlsTest, MemberActionsWithAWeakTarget) {
    struct Screen {
        std::vector<UIControl*> senders;
        void shutterTap(UIButton* sender) { senders.push_back(sender); }
    };
    auto screen = std::make_shared<Screen>();
    auto button = std::make_shared<UIButton>(CGRectMake(100, 100, 50, 50));
    host->window()->addSubview(button);
    button->addTarget(std::weak_ptr<Screen>(screen), &Screen::shutterTap, UIControlEventTouchDown);
    host->tap({120, 120});
    ASSERT_EQ(screen->senders.size(), 1u);
    EXPECT_EQ(screen->senders[0], button.get());
    screen.reset();
    host->tap({120, 120});  // the action is skipped, nothing breaks
}

TEST_F(ControlsTest, ButtonContentFollowsState) {
    auto normal = solidImage(4, 4, 255, 0, 0);
    auto selected = solidImage(4, 4, 0, 255, 0);
    auto button = std::make_shared<UIButton>(CGRectMake(0, 0, 30, 30));
    button->setImage(normal, UIControlStateNormal);
    button->setImage(selected, UIControlStateSelected);
    button->setTitle("±", UIControlStateNormal);
    EXPECT_EQ(button->currentImage(), normal);
    EXPECT_EQ(button->imageForState(UIControlStateHighlighted), normal);  // falls back
    button->setSelected(true);
    EXPECT_EQ(button->currentImage(), selected);
    EXPECT_EQ(button->imageView()->image(), selected);
    EXPECT_EQ(button->imageForState(UIControlStateSelected | UIControlStateHighlighted), selected);
    EXPECT_EQ(button->currentTitle(), "±");
    EXPECT_EQ(button->titleLabel()->text(), "±");
    button->setTitle("+0.7", UIControlStateNormal);
    EXPECT_EQ(button->titleLabel()->text(), "+0.7");
    EXPECT_EQ(button->currentTitleColor(), UIColor::whiteColor());
    button->setTitleColor(UIColor::redColor(), UIControlStateNormal);
    EXPECT_EQ(button->titleLabel()->textColor(), UIColor::redColor());
}

TEST_F(ControlsTest, FilledImageStretchesOverTheButton) {
    auto button = std::make_shared<UIButton>(CGRectMake(0, 0, 60, 30));
    host->window()->addSubview(button);
    button->setImage(solidImage(10, 10, 0, 0, 255), UIControlStateNormal);
    button->layoutIfNeeded();
    EXPECT_EQ(button->imageView()->frame(), CGRectMake(25, 10, 10, 10));  // centred at its size
    button->setContentHorizontalAlignment(UIControlContentHorizontalAlignment::Fill);
    button->setContentVerticalAlignment(UIControlContentVerticalAlignment::Fill);
    button->layoutIfNeeded();
    EXPECT_EQ(button->imageView()->frame(), CGRectMake(0, 0, 60, 30));
    // Subviews a caller adds stay above the button's own image.
    auto thumbnail = UIView::make(CGRectMake(0, 0, 10, 10));
    button->addSubview(thumbnail);
    button->setImage(solidImage(10, 10, 0, 255, 0), UIControlStateNormal);
    EXPECT_EQ(button->subviews().back(), thumbnail);
}

class SliderTest : public ControlsTest {
  protected:
    void SetUp() override {
        ControlsTest::SetUp();
        // A 228-point track with a 28-point thumb: 200 points of travel from x = 114.
        slider = std::make_shared<UISlider>(CGRectMake(100, 100, 228, 40));
        slider->setMinimumValue(0);
        slider->setMaximumValue(2);
        host->window()->addSubview(slider);
        recordEvents(*slider);
    }
    std::shared_ptr<UISlider> slider;
};

TEST_F(SliderTest, DraggingTheThumbChangesTheValueContinuously) {
    host->touchDown({114, 120});  // on the thumb at value 0
    host->touchMove({164, 120});
    EXPECT_FLOAT_EQ(slider->value(), 0.5f);
    host->touchMove({214, 121});
    EXPECT_FLOAT_EQ(slider->value(), 1.0f);
    host->touchMove({500, 120});  // clamped at the end
    EXPECT_FLOAT_EQ(slider->value(), 2.0f);
    host->touchUp({500, 120});
    // Each move reports the new value, then where the finger is.
    EXPECT_EQ(events, (std::vector<std::string>{"down", "changed", "drag-in", "changed", "drag-in",
                                                "changed", "drag-out", "exit", "up-out"}));
}

TEST_F(SliderTest, HandlerCanSnapTheValueWhileDragging) {
    slider->addTarget(
        nullptr,
        [](UIControl* c) {
            auto* s = static_cast<UISlider*>(c);
            s->setValue(std::round(s->value()));
        },
        UIControlEventValueChanged);
    host->touchDown({114, 120});
    host->touchMove({180, 120});  // 0.66 snaps to 1
    EXPECT_EQ(slider->value(), 1.0f);
    host->touchMove({200, 120});  // the thumb stays under the finger: 0.86, snaps to 1
    EXPECT_EQ(slider->value(), 1.0f);
    host->touchUp({200, 120});
}

TEST_F(SliderTest, NonContinuousSliderReportsOnceOnRelease) {
    slider->setContinuous(false);
    host->touchDown({114, 120});
    host->touchMove({164, 120});
    host->touchMove({214, 120});
    EXPECT_EQ(std::count(events.begin(), events.end(), "changed"), 0);
    host->touchUp({214, 120});
    EXPECT_EQ(std::count(events.begin(), events.end(), "changed"), 1);
    EXPECT_FLOAT_EQ(slider->value(), 1.0f);
}

TEST_F(SliderTest, TouchAwayFromTheThumbDoesNotMoveIt) {
    host->touchDown({300, 120});
    host->touchMove({310, 120});
    host->touchUp({310, 120});
    EXPECT_EQ(slider->value(), 0.0f);
    EXPECT_EQ(std::count(events.begin(), events.end(), "changed"), 0);
}

TEST_F(SliderTest, TurnedSliderFollowsTheFingerAlongItsLength) {
    slider->setTransform(CGAffineTransformMakeRotation(std::numbers::pi / 2));
    // Now upright about its centre (214, 120): the track runs down from y = 6.
    host->touchDown({214, 20});
    host->touchMove({214, 120});
    host->touchUp({214, 120});
    EXPECT_FLOAT_EQ(slider->value(), 1.0f);
}

TEST_F(SliderTest, ValueAndRangeStayConsistent) {
    slider->setValue(5);
    EXPECT_EQ(slider->value(), 2.0f);
    slider->setMaximumValue(1);
    EXPECT_EQ(slider->value(), 1.0f);
    slider->setMinimumValue(-2);
    slider->setValue(-3);
    EXPECT_EQ(slider->value(), -2.0f);
    EXPECT_TRUE(events.empty());  // setting the value sends no action
}

class LabelTest : public UITest {};

TEST_F(LabelTest, ShrinksToFitWidthDownToTheMinimumScale) {
    UILabel label(CGRectMake(0, 0, 200, 40));
    label.setFont(UIFont::boldSystemFontOfSize(20));
    label.setText("10 of 20");
    label.setAdjustsFontSizeToFitWidth(true);
    label.setMinimumScaleFactor(0.5);
    EXPECT_EQ(label.fittedFont().pointSize(), 20);  // fits already

    std::string longText = "a counter text much too long for the label";
    label.setText(longText);
    UIFont fitted = label.fittedFont();
    EXPECT_LT(fitted.pointSize(), 20);
    EXPECT_GE(fitted.pointSize(), 10);
    EXPECT_TRUE(fitted.isBold());
    if (fitted.pointSize() > 10) {
        EXPECT_LE(fitted.sizeOfText(longText).width, 200);
    }

    label.setMinimumScaleFactor(0.9);
    EXPECT_DOUBLE_EQ(label.fittedFont().pointSize(), 18);  // stops at the minimum
    label.setMinimumScaleFactor(8.0);                      // above 1: no shrinking
    EXPECT_EQ(label.fittedFont().pointSize(), 20);
    label.setAdjustsFontSizeToFitWidth(false);
    label.setMinimumScaleFactor(0.5);
    EXPECT_EQ(label.fittedFont().pointSize(), 20);
}

TEST_F(LabelTest, FontsMeasureTextDeterministically) {
    UIFont regular = UIFont::systemFontOfSize(20);
    UIFont bold = UIFont::boldSystemFontOfSize(20);
    EXPECT_EQ(regular.familyName(), "DejaVu Sans");
    CGSize a = regular.sizeOfText("0 of 0");
    EXPECT_GT(a.width, 40);
    EXPECT_LT(a.width, 80);
    EXPECT_GT(bold.sizeOfText("0 of 0").width, a.width);
    EXPECT_NEAR(regular.fontWithSize(40).sizeOfText("0 of 0").width, 2 * a.width, 1);
}

class ActivityIndicatorTest : public UITest {};

TEST_F(ActivityIndicatorTest, LargeIndicatorShowsOnlyWhileAnimating) {
    auto indicator = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyle::Large);
    EXPECT_EQ(indicator->bounds().size, (CGSize{37, 37}));
    EXPECT_TRUE(indicator->isHidden());
    indicator->startAnimating();
    EXPECT_FALSE(indicator->isHidden());
    EXPECT_TRUE(indicator->isAnimating());
    indicator->stopAnimating();
    EXPECT_TRUE(indicator->isHidden());
    indicator->setHidesWhenStopped(false);
    EXPECT_FALSE(indicator->isHidden());
}

}  // namespace
}  // namespace hx

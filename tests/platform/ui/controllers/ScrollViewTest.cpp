// The scroll view driven by a finger through the window: dragging, paging, bouncing and
// springing back, deceleration on the clock with its delegate calls, animated offsets, touches
// on the content that turn into a drag, indicators and scrolling to the top.

#include <gtest/gtest.h>

#include "ControllerTestSupport.h"
#include "platform/ui/controls/UIButton.h"
#include "platform/ui/scroll/UIScrollView.h"

namespace hx::testing {
namespace {

class RecordingScrollDelegate : public UIScrollViewDelegate {
  public:
    void scrollViewDidScroll(UIScrollView& scrollView) override {
        offsets.push_back(scrollView.contentOffset().x);
    }
    void scrollViewWillBeginDragging(UIScrollView&) override { ++beganDragging; }
    void scrollViewDidEndDragging(UIScrollView&, bool decelerate) override {
        ++endedDragging;
        willDecelerate = decelerate;
    }
    void scrollViewDidEndDecelerating(UIScrollView& scrollView) override {
        ++endedDecelerating;
        restedAt = scrollView.contentOffset();
    }
    void scrollViewDidEndScrollingAnimation(UIScrollView&) override { ++endedAnimations; }
    void scrollViewDidScrollToTop(UIScrollView&) override { ++scrolledToTop; }

    std::vector<double> offsets;
    int beganDragging = 0;
    int endedDragging = 0;
    bool willDecelerate = false;
    int endedDecelerating = 0;
    CGPoint restedAt;
    int endedAnimations = 0;
    int scrolledToTop = 0;
};

class ScrollViewTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        // Three pages of 300 points side by side, in a 300 x 200 view at (40, 200).
        scroll = UIScrollView::make(CGRectMake(40, 200, 300, 200));
        scroll->setContentSize(CGSizeMake(900, 200));
        scroll->setDelegate(&delegate);
        window->addSubview(scroll);
    }
    void TearDown() override {
        scroll->setDelegate(nullptr);
        ControllerTest::TearDown();
    }
    // A horizontal drag across the scroll view: `steps` moves of `seconds` each.
    void drag(double fromX, double toX, int steps, double seconds) {
        host->drag(CGPointMake(fromX, 300), CGPointMake(toX, 300), steps, seconds);
    }

    std::shared_ptr<UIScrollView> scroll;
    RecordingScrollDelegate delegate;
};

TEST_F(ScrollViewTest, DraggingMovesTheContentWithTheFinger) {
    host->touchDown(CGPointMake(300, 300));
    for (int x = 290; x >= 200; x -= 10) {
        advance(0.05);
        host->touchMove(CGPointMake(x, 300));
    }
    EXPECT_TRUE(scroll->isDragging());
    EXPECT_EQ(delegate.beganDragging, 1);
    // The content moves by the whole distance from where the finger came down.
    EXPECT_NEAR(scroll->contentOffset().x, 100, 1e-9);
    EXPECT_GE(delegate.offsets.size(), 5u);
    host->touchUp(CGPointMake(200, 300));
    EXPECT_FALSE(scroll->isDragging());
    EXPECT_EQ(delegate.endedDragging, 1);
}

TEST_F(ScrollViewTest, PagingSettlesOnTheNearestPageAndReportsTheEndOnce) {
    scroll->setPagingEnabled(true);
    // Slowly, less than half a page: back to the first page.
    drag(300, 180, 12, 0.1);
    EXPECT_TRUE(delegate.willDecelerate);
    EXPECT_TRUE(scroll->isDecelerating());
    advance(0.5);
    EXPECT_EQ(delegate.endedDecelerating, 1);
    EXPECT_EQ(delegate.restedAt, CGPointMake(0, 0));

    // Slowly, more than half a page: on to the second.
    drag(320, 60, 26, 0.1);
    advance(0.5);
    EXPECT_EQ(delegate.endedDecelerating, 2);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(300, 0));
    EXPECT_FALSE(scroll->isDecelerating());

    // A quick flick turns one page, however short.
    drag(300, 240, 3, 0.016);
    advance(0.5);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(600, 0));

    // Every intermediate offset was reported, and the last was the page.
    EXPECT_EQ(delegate.offsets.back(), 600);
}

TEST_F(ScrollViewTest, WithoutBouncingTheContentStopsAtItsEdges) {
    scroll->setBounces(false);
    drag(100, 300, 10, 0.1);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(0, 0));
    EXPECT_FALSE(delegate.willDecelerate);
    EXPECT_EQ(delegate.endedDecelerating, 0);
}

TEST_F(ScrollViewTest, PulledPastAnEdgeTheContentFollowsHalfWayAndSpringsBack) {
    host->touchDown(CGPointMake(100, 300));
    for (int x = 120; x <= 300; x += 20) {
        advance(0.1);
        host->touchMove(CGPointMake(x, 300));
    }
    EXPECT_NEAR(scroll->contentOffset().x, -100, 1e-9) << "half of the 200 points dragged";
    host->touchUp(CGPointMake(300, 300));
    EXPECT_TRUE(delegate.willDecelerate);
    advance(0.5);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(0, 0));
    EXPECT_EQ(delegate.endedDecelerating, 1);
}

TEST_F(ScrollViewTest, AFlickCarriesTheContentOnAndStopsInsideIt) {
    drag(300, 200, 4, 0.016);
    ASSERT_TRUE(delegate.willDecelerate);
    double atRelease = scroll->contentOffset().x;
    advance(0.1);
    EXPECT_GT(scroll->contentOffset().x, atRelease);
    advance(3);
    EXPECT_EQ(delegate.endedDecelerating, 1);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(600, 0)) << "stopped at the far edge";
}

TEST_F(ScrollViewTest, AFingerOnMovingContentStopsIt) {
    drag(300, 200, 4, 0.016);
    advance(0.05);
    host->touchDown(CGPointMake(200, 300));
    double stoppedAt = scroll->contentOffset().x;
    EXPECT_FALSE(scroll->isDecelerating());
    advance(1);
    EXPECT_EQ(scroll->contentOffset().x, stoppedAt);
    host->touchUp(CGPointMake(200, 300));
}

TEST_F(ScrollViewTest, AnimatedOffsetsStepOnTheClock) {
    scroll->setContentOffset(CGPointMake(300, 0), true);
    EXPECT_TRUE(delegate.offsets.empty());
    advance(0.1);
    ASSERT_FALSE(delegate.offsets.empty());
    EXPECT_GT(delegate.offsets.back(), 0);
    EXPECT_LT(delegate.offsets.back(), 300);
    advance(0.3);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(300, 0));
    EXPECT_EQ(delegate.endedAnimations, 1);
    EXPECT_TRUE(std::is_sorted(delegate.offsets.begin(), delegate.offsets.end()));

    delegate.offsets.clear();
    scroll->setContentOffset(CGPointMake(0, 0), false);
    EXPECT_EQ(delegate.offsets, std::vector<double>{0});
    EXPECT_EQ(delegate.endedAnimations, 1);
}

TEST_F(ScrollViewTest, ContentFollowsTheOffsetWhenDrawnAndHit) {
    auto button = std::make_shared<UIButton>(CGRectMake(320, 50, 100, 100));
    int presses = 0;
    button->addTarget(
        this, [&](UIControl*) { ++presses; }, UIControlEventTouchUpInside);
    scroll->addSubview(button);
    scroll->setContentOffset(CGPointMake(300, 0));
    // Content x 320 is at 20 points into the view, 60 in the window.
    EXPECT_EQ(centreOf(*button), CGPointMake(40 + 20 + 50, 200 + 50 + 50));
    tap(*button);
    EXPECT_EQ(presses, 1);
}

TEST_F(ScrollViewTest, ADragThatStartsOnAButtonScrollsInsteadOfPressingIt) {
    auto button = std::make_shared<UIButton>(CGRectMake(0, 0, 300, 200));
    int presses = 0;
    button->addTarget(
        this, [&](UIControl*) { ++presses; }, UIControlEventTouchUpInside);
    scroll->addSubview(button);
    drag(300, 150, 10, 0.05);
    EXPECT_EQ(presses, 0);
    EXPECT_GT(scroll->contentOffset().x, 100);
}

TEST_F(ScrollViewTest, IndicatorsFlashAndFade) {
    EXPECT_FALSE(scroll->isShowingScrollIndicators());
    scroll->flashScrollIndicators();
    EXPECT_TRUE(scroll->isShowingScrollIndicators());
    advance(1.5);
    EXPECT_FALSE(scroll->isShowingScrollIndicators());

    scroll->setShowsHorizontalScrollIndicator(false);
    scroll->flashScrollIndicators();
    scroll->layoutIfNeeded();
    EXPECT_FALSE(scroll->isShowingScrollIndicators()) << "nothing to show across a wide view";
}

TEST_F(ScrollViewTest, AStatusBarTapScrollsTheOnlyScrollToTopViewUp) {
    auto list = UIScrollView::make(CGRectMake(0, 450, 390, 300));
    list->setContentSize(CGSizeMake(390, 3000));
    list->setContentOffset(CGPointMake(0, 1200));
    list->setDelegate(&delegate);
    window->addSubview(list);
    EXPECT_FALSE(scrollToTopInWindow(*window)) << "two views scroll to the top";

    scroll->setScrollsToTop(false);
    EXPECT_TRUE(scrollToTopInWindow(*window));
    advance(0.5);
    EXPECT_EQ(list->contentOffset(), CGPointMake(0, 0));
    EXPECT_EQ(delegate.scrolledToTop, 1);
    list->setDelegate(nullptr);
}

}  // namespace
}  // namespace hx::testing

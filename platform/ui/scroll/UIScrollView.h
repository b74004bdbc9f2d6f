#pragma once
// A view that shows a larger content area through its bounds: the content offset is the bounds'
// origin. A finger pans the content (through the scroll view's pan recogniser, so touches on the
// content's controls are cancelled once the finger has moved); on release the content
// decelerates, settles on a page when paging is on, and springs back inside its edges.
// Movements on the clock step once per display refresh and tell the delegate of every offset.
//
// Delegate: a plain, non-owning pointer; the delegate must outlive the scroll view or clear
// itself first (a view controller that owns the scroll view through its view does).
//
// Threads: main thread only.

#include <functional>
#include <memory>

#include "platform/ui/scroll/ScrollAnimator.h"
#include "platform/ui/view/UIView.h"

namespace hx {

class UIScrollView;
class UIPanGestureRecognizer;
class UIWindow;

class UIScrollViewDelegate {
  public:
    virtual ~UIScrollViewDelegate() = default;
    virtual void scrollViewDidScroll(UIScrollView& scrollView) {}
    virtual void scrollViewWillBeginDragging(UIScrollView& scrollView) {}
    virtual void scrollViewDidEndDragging(UIScrollView& scrollView, bool willDecelerate) {}
    virtual void scrollViewWillBeginDecelerating(UIScrollView& scrollView) {}
    virtual void scrollViewDidEndDecelerating(UIScrollView& scrollView) {}
    virtual void scrollViewDidEndScrollingAnimation(UIScrollView& scrollView) {}
    virtual bool scrollViewShouldScrollToTop(UIScrollView& scrollView) { return true; }
    virtual void scrollViewDidScrollToTop(UIScrollView& scrollView) {}
};

enum class UIScrollViewIndicatorStyle { Default = 0, Black = 1, White = 2 };

class UIScrollView : public UIView {
  public:
    // Seconds: an animated offset change, a page settling, springing back inside the edges.
    static constexpr double kScrollAnimationDuration = 0.3;
    // How far content travels after release, per point per second of speed.
    static constexpr double kMomentumDistancePerSpeed = 0.5;
    // A release faster than this (points per second) turns the page.
    static constexpr double kPagingFlickSpeed = 200;

    explicit UIScrollView(const CGRect& frame = CGRectZero);
    ~UIScrollView() override;
    static std::shared_ptr<UIScrollView> make(const CGRect& frame = CGRectZero) {
        return std::make_shared<UIScrollView>(frame);
    }

    CGSize contentSize() const { return contentSize_; }
    void setContentSize(CGSize size);
    CGPoint contentOffset() const { return bounds().origin; }
    // Stops any movement in progress; tells the delegate when the offset changes.
    void setContentOffset(CGPoint offset);
    // Animated: eases there over kScrollAnimationDuration, telling the delegate of each step and
    // then scrollViewDidEndScrollingAnimation.
    void setContentOffset(CGPoint offset, bool animated);
    UIEdgeInsets contentInset() const { return contentInset_; }
    void setContentInset(UIEdgeInsets insets);
    // The offsets the content rests between.
    CGPoint minimumContentOffset() const;
    CGPoint maximumContentOffset() const;
    // Moves the least needed to show the rectangle (content coordinates).
    void scrollRectToVisible(const CGRect& rect, bool animated);

    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled);
    bool isPagingEnabled() const { return pagingEnabled_; }
    void setPagingEnabled(bool enabled) { pagingEnabled_ = enabled; }
    bool bounces() const { return bounces_; }
    void setBounces(bool bounces) { bounces_ = bounces; }
    bool alwaysBounceHorizontal() const { return alwaysBounceHorizontal_; }
    void setAlwaysBounceHorizontal(bool bounce) { alwaysBounceHorizontal_ = bounce; }
    bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
    void setAlwaysBounceVertical(bool bounce) { alwaysBounceVertical_ = bounce; }
    bool showsHorizontalScrollIndicator() const { return showsHorizontal_; }
    void setShowsHorizontalScrollIndicator(bool shows);
    bool showsVerticalScrollIndicator() const { return showsVertical_; }
    void setShowsVerticalScrollIndicator(bool shows);
    UIScrollViewIndicatorStyle indicatorStyle() const { return indicatorStyle_; }
    void setIndicatorStyle(UIScrollViewIndicatorStyle style);
    // Whether a tap on the status bar (scrollToTopInWindow) scrolls this view to the top.
    bool scrollsToTop() const { return scrollsToTop_; }
    void setScrollsToTop(bool scrolls) { scrollsToTop_ = scrolls; }

    UIScrollViewDelegate* delegate() const { return delegate_; }
    void setDelegate(UIScrollViewDelegate* delegate) { delegate_ = delegate; }

    bool isTracking() const { return tracking_; }
    bool isDragging() const { return dragging_; }
    bool isDecelerating() const { return decelerating_; }

    // Shows the indicators for a moment.
    void flashScrollIndicators();
    // Whether an indicator shows now (for tests and the renderer's users).
    bool isShowingScrollIndicators() const;

    const std::shared_ptr<UIPanGestureRecognizer>& panGestureRecognizer() const { return pan_; }

    void layoutSubviews() override;
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

  protected:
    // Called after every change of the content offset, before the delegate hears of it.
    virtual void contentOffsetDidChange() {}

  private:
    friend bool scrollToTopInWindow(UIWindow& window);
    // Eases to the offset with the indicators showing; `finished` runs when it arrives.
    void animateOffset(CGPoint offset, std::function<void()> finished);
    void handlePan(UIPanGestureRecognizer* pan);
    void endDragging(CGPoint velocity);
    void decelerateTo(CGPoint target, double duration);
    void stopMovement();
    void applyOffset(CGPoint offset);
    CGPoint clampedOffset(CGPoint offset) const;
    CGPoint rubberBandedOffset(CGPoint offset) const;
    CGPoint pageTarget(CGPoint velocity) const;
    bool scrollsHorizontally() const;
    bool scrollsVertically() const;
    void showIndicators();
    void hideIndicatorsLater();
    void installIndicators();

    CGSize contentSize_;
    UIEdgeInsets contentInset_;
    bool scrollEnabled_ = true;
    bool pagingEnabled_ = false;
    bool bounces_ = true;
    bool alwaysBounceHorizontal_ = false;
    bool alwaysBounceVertical_ = false;
    bool showsHorizontal_ = true;
    bool showsVertical_ = true;
    bool scrollsToTop_ = true;
    UIScrollViewIndicatorStyle indicatorStyle_ = UIScrollViewIndicatorStyle::Default;
    UIScrollViewDelegate* delegate_ = nullptr;
    bool tracking_ = false;
    bool dragging_ = false;
    bool decelerating_ = false;
    CGPoint dragStartOffset_;
    std::shared_ptr<UIPanGestureRecognizer> pan_;
    ui::ScrollAnimator animator_;
    std::shared_ptr<UIView> horizontalIndicator_;
    std::shared_ptr<UIView> verticalIndicator_;
    bool indicatorsVisible_ = false;
};

// What a tap on the status bar does: the one visible scroll view of the window that scrolls to
// the top (and whose delegate agrees) scrolls there, animated. False when there is not exactly
// one such view.
bool scrollToTopInWindow(UIWindow& window);

}  // namespace hx

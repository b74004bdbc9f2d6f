#include "platform/ui/scroll/UIScrollView.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "platform/runloop/Perform.h"
#include "platform/ui/events/GestureRecognizers.h"
#include "platform/ui/window/UIWindow.h"

namespace hx {

namespace {

constexpr double kIndicatorThickness = 3;
constexpr double kIndicatorInset = 2;
constexpr double kIndicatorMinimumLength = 20;
constexpr double kIndicatorFadeDelay = 0.5;
constexpr double kIndicatorFadeDuration = 0.3;
// Beyond an edge the content follows the finger at this share of its movement.
constexpr double kRubberBand = 0.5;
// Momentum lasts this many times the distance divided by the release speed (matches the
// ease-out's starting speed to the finger's).
constexpr double kMomentumTimeFactor = 3;
constexpr double kMomentumMaximumDuration = 2;
// Releases slower than this (points per second) do not carry the content on.
constexpr double kMinimumMomentumSpeed = 50;

UIColor indicatorColor(UIScrollViewIndicatorStyle style) {
    switch (style) {
        case UIScrollViewIndicatorStyle::White:
            return UIColor::colorWithWhite(1, 0.6);
        case UIScrollViewIndicatorStyle::Black:
            return UIColor::colorWithWhite(0, 0.6);
        case UIScrollViewIndicatorStyle::Default:
            break;
    }
    return UIColor::colorWithWhite(0.1, 0.45);
}

bool samePoint(CGPoint a, CGPoint b) {
    return std::abs(a.x - b.x) < 1e-9 && std::abs(a.y - b.y) < 1e-9;
}

}  // namespace

UIScrollView::UIScrollView(const CGRect& frame) : UIView(frame) {
    setClipsToBounds(true);
    pan_ = std::make_shared<UIPanGestureRecognizer>(this, &UIScrollView::handlePan);
    addGestureRecognizer(pan_);
    for (auto* indicator : {&horizontalIndicator_, &verticalIndicator_}) {
        *indicator = UIView::make();
        (*indicator)->setUserInteractionEnabled(false);
        (*indicator)->setAlpha(0);
        (*indicator)->layer().setCornerRadius(kIndicatorThickness / 2);
        (*indicator)->setBackgroundColor(indicatorColor(indicatorStyle_));
    }
}

UIScrollView::~UIScrollView() {
    animator_.stop();
    cancelPreviousPerformRequests(this);
}

void UIScrollView::setContentSize(CGSize size) {
    contentSize_ = size;
    setNeedsLayout();
}

void UIScrollView::setContentInset(UIEdgeInsets insets) {
    contentInset_ = insets;
    setNeedsLayout();
}

void UIScrollView::setScrollEnabled(bool enabled) {
    scrollEnabled_ = enabled;
    pan_->setEnabled(enabled);
}

void UIScrollView::setShowsHorizontalScrollIndicator(bool shows) {
    showsHorizontal_ = shows;
    setNeedsLayout();
}

void UIScrollView::setShowsVerticalScrollIndicator(bool shows) {
    showsVertical_ = shows;
    setNeedsLayout();
}

void UIScrollView::setIndicatorStyle(UIScrollViewIndicatorStyle style) {
    indicatorStyle_ = style;
    horizontalIndicator_->setBackgroundColor(indicatorColor(style));
    verticalIndicator_->setBackgroundColor(indicatorColor(style));
}

CGPoint UIScrollView::minimumContentOffset() const {
    return CGPointMake(-contentInset_.left, -contentInset_.top);
}

CGPoint UIScrollView::maximumContentOffset() const {
    CGRect b = bounds();
    CGPoint minimum = minimumContentOffset();
    return CGPointMake(
        std::max(minimum.x, contentSize_.width + contentInset_.right - b.width()),
        std::max(minimum.y, contentSize_.height + contentInset_.bottom - b.height()));
}

bool UIScrollView::scrollsHorizontally() const {
    return alwaysBounceHorizontal_ || maximumContentOffset().x > minimumContentOffset().x;
}

bool UIScrollView::scrollsVertically() const {
    return alwaysBounceVertical_ || maximumContentOffset().y > minimumContentOffset().y;
}

CGPoint UIScrollView::clampedOffset(CGPoint offset) const {
    CGPoint low = minimumContentOffset();
    CGPoint high = maximumContentOffset();
    return CGPointMake(std::clamp(offset.x, low.x, high.x), std::clamp(offset.y, low.y, high.y));
}

CGPoint UIScrollView::rubberBandedOffset(CGPoint offset) const {
    CGPoint clamped = clampedOffset(offset);
    if (!bounces_) return clamped;
    return CGPointMake(clamped.x + (offset.x - clamped.x) * kRubberBand,
                       clamped.y + (offset.y - clamped.y) * kRubberBand);
}

void UIScrollView::applyOffset(CGPoint offset) {
    if (samePoint(offset, contentOffset())) return;
    CGRect b = bounds();
    setBounds(CGRectMake(offset.x, offset.y, b.width(), b.height()));
    setNeedsLayout();
    contentOffsetDidChange();
    if (delegate_) delegate_->scrollViewDidScroll(*this);
}

void UIScrollView::setContentOffset(CGPoint offset) {
    stopMovement();
    applyOffset(offset);
}

void UIScrollView::setContentOffset(CGPoint offset, bool animated) {
    if (!animated) {
        setContentOffset(offset);
        return;
    }
    animateOffset(offset, [this] {
        if (delegate_) delegate_->scrollViewDidEndScrollingAnimation(*this);
    });
}

void UIScrollView::animateOffset(CGPoint offset, std::function<void()> finished) {
    stopMovement();
    showIndicators();
    animator_.animate(
        contentOffset(), offset, kScrollAnimationDuration, [this](CGPoint at) { applyOffset(at); },
        [this, finished = std::move(finished)] {
            hideIndicatorsLater();
            if (finished) finished();
        });
}

void UIScrollView::scrollRectToVisible(const CGRect& rect, bool animated) {
    CGRect b = bounds();
    CGPoint offset = contentOffset();
    CGRect r = rect.standardized();
    if (r.maxX() > b.maxX()) offset.x = r.maxX() - b.width();
    if (r.minX() < offset.x) offset.x = r.minX();
    if (r.maxY() > b.maxY()) offset.y = r.maxY() - b.height();
    if (r.minY() < offset.y) offset.y = r.minY();
    setContentOffset(clampedOffset(offset), animated);
}

void UIScrollView::stopMovement() {
    if (animator_.isRunning()) animator_.stop();
    decelerating_ = false;
}

void UIScrollView::touchesBegan(const UITouchSet&, UIEvent*) {
    tracking_ = true;
    // A finger on moving content stops it where it is.
    if (animator_.isRunning()) {
        bool wasDecelerating = decelerating_;
        stopMovement();
        if (wasDecelerating) applyOffset(clampedOffset(contentOffset()));
    }
}

void UIScrollView::touchesEnded(const UITouchSet&, UIEvent*) {
    tracking_ = false;
}

void UIScrollView::touchesCancelled(const UITouchSet&, UIEvent*) {
    tracking_ = false;
}

void UIScrollView::handlePan(UIPanGestureRecognizer* pan) {
    switch (pan->state()) {
        case UIGestureRecognizerState::Began:
            stopMovement();
            tracking_ = true;
            dragging_ = true;
            dragStartOffset_ = contentOffset();
            showIndicators();
            if (delegate_) delegate_->scrollViewWillBeginDragging(*this);
            [[fallthrough]];
        case UIGestureRecognizerState::Changed: {
            CGPoint translation = pan->translationInView(this);
            CGPoint offset = dragStartOffset_;
            if (scrollsHorizontally()) offset.x -= translation.x;
            if (scrollsVertically()) offset.y -= translation.y;
            applyOffset(rubberBandedOffset(offset));
            break;
        }
        case UIGestureRecognizerState::Ended:
            endDragging(pan->velocityInView(this));
            break;
        case UIGestureRecognizerState::Cancelled:
        case UIGestureRecognizerState::Failed:
            if (dragging_) endDragging(CGPointZero);
            break;
        default:
            break;
    }
}

CGPoint UIScrollView::pageTarget(CGPoint velocity) const {
    CGRect b = bounds();
    CGPoint offset = contentOffset();
    CGPoint target = offset;
    auto settle = [](double position, double start, double page, double speed) {
        if (page <= 0) return position;
        double at = position / page;
        double index = std::round(at);
        if (speed < -kPagingFlickSpeed) index = std::floor(at) + 1;
        if (speed > kPagingFlickSpeed) index = std::ceil(at) - 1;
        // One page at most per drag.
        double from = std::round(start / page);
        index = std::clamp(index, from - 1, from + 1);
        return index * page;
    };
    if (scrollsHorizontally())
        target.x = settle(offset.x, dragStartOffset_.x, b.width(), velocity.x);
    if (scrollsVertically())
        target.y = settle(offset.y, dragStartOffset_.y, b.height(), velocity.y);
    return clampedOffset(target);
}

void UIScrollView::endDragging(CGPoint velocity) {
    dragging_ = false;
    tracking_ = false;
    if (!scrollsHorizontally()) velocity.x = 0;
    if (!scrollsVertically()) velocity.y = 0;
    CGPoint offset = contentOffset();
    CGPoint target;
    double duration = kScrollAnimationDuration;
    if (pagingEnabled_) {
        target = pageTarget(velocity);
    } else {
        double speed = std::hypot(velocity.x, velocity.y);
        CGPoint clamped = clampedOffset(offset);
        if (!samePoint(clamped, offset) || speed < kMinimumMomentumSpeed) {
            target = clamped;
        } else {
            target = clampedOffset(CGPointMake(offset.x - velocity.x * kMomentumDistancePerSpeed,
                                               offset.y - velocity.y * kMomentumDistancePerSpeed));
            double distance = std::hypot(target.x - offset.x, target.y - offset.y);
            duration = std::clamp(kMomentumTimeFactor * distance / speed, kScrollAnimationDuration,
                                  kMomentumMaximumDuration);
        }
    }
    const bool willDecelerate = !samePoint(target, offset);
    if (delegate_) delegate_->scrollViewDidEndDragging(*this, willDecelerate);
    if (willDecelerate)
        decelerateTo(target, duration);
    else
        hideIndicatorsLater();
}

void UIScrollView::decelerateTo(CGPoint target, double duration) {
    decelerating_ = true;
    if (delegate_) delegate_->scrollViewWillBeginDecelerating(*this);
    animator_.animate(
        contentOffset(), target, duration, [this](CGPoint at) { applyOffset(at); },
        [this] {
            decelerating_ = false;
            hideIndicatorsLater();
            if (delegate_) delegate_->scrollViewDidEndDecelerating(*this);
        });
}

void UIScrollView::flashScrollIndicators() {
    showIndicators();
    hideIndicatorsLater();
}

bool UIScrollView::isShowingScrollIndicators() const {
    return indicatorsVisible_ && ((showsHorizontal_ && !horizontalIndicator_->isHidden()) ||
                                  (showsVertical_ && !verticalIndicator_->isHidden()));
}

void UIScrollView::showIndicators() {
    cancelPreviousPerformRequests(this);
    indicatorsVisible_ = true;
    setNeedsLayout();
    UIView::performWithoutAnimation([&] {
        horizontalIndicator_->setAlpha(1);
        verticalIndicator_->setAlpha(1);
    });
}

void UIScrollView::hideIndicatorsLater() {
    cancelPreviousPerformRequests(this);
    performAfterDelay(this, kIndicatorFadeDelay, [this] {
        if (dragging_ || decelerating_ || animator_.isRunning()) return;
        indicatorsVisible_ = false;
        auto horizontal = horizontalIndicator_;
        auto vertical = verticalIndicator_;
        UIView::animateWithDuration(kIndicatorFadeDuration, [horizontal, vertical] {
            horizontal->setAlpha(0);
            vertical->setAlpha(0);
        });
    });
}

void UIScrollView::installIndicators() {
    for (const auto& indicator : {horizontalIndicator_, verticalIndicator_}) {
        if (indicator->superview().get() != this)
            addSubview(indicator);
        else
            bringSubviewToFront(indicator);
    }
}

void UIScrollView::layoutSubviews() {
    installIndicators();
    const CGRect b = bounds();
    const CGPoint low = minimumContentOffset();
    const CGPoint high = maximumContentOffset();
    const bool both = scrollsHorizontally() && scrollsVertically();
    UIView::performWithoutAnimation([&] {
        // Each indicator's length is the visible share of the content; it shortens while the
        // content is pulled past an edge.
        auto place = [&](UIView& indicator, bool horizontal) {
            double visible = horizontal ? b.width() : b.height();
            double content = horizontal
                                 ? contentSize_.width + contentInset_.left + contentInset_.right
                                 : contentSize_.height + contentInset_.top + contentInset_.bottom;
            double lowOffset = horizontal ? low.x : low.y;
            double highOffset = horizontal ? high.x : high.y;
            double offset = horizontal ? b.minX() : b.minY();
            bool shown = (horizontal ? showsHorizontal_ : showsVertical_) && content > visible;
            indicator.setHidden(!shown);
            if (!shown) return;
            double track = visible - 2 * kIndicatorInset - (both ? kIndicatorThickness : 0);
            double overshoot = std::max(lowOffset - offset, offset - highOffset);
            double length = track * visible / content - std::max(0.0, overshoot);
            length = std::clamp(length, kIndicatorMinimumLength, track);
            double progress =
                highOffset > lowOffset
                    ? std::clamp((offset - lowOffset) / (highOffset - lowOffset), 0.0, 1.0)
                    : 0;
            double along = kIndicatorInset + (track - length) * progress;
            if (horizontal)
                indicator.setFrame(CGRectMake(b.minX() + along,
                                              b.maxY() - kIndicatorInset - kIndicatorThickness,
                                              length, kIndicatorThickness));
            else
                indicator.setFrame(CGRectMake(b.maxX() - kIndicatorInset - kIndicatorThickness,
                                              b.minY() + along, kIndicatorThickness, length));
        };
        place(*horizontalIndicator_, true);
        place(*verticalIndicator_, false);
    });
}

namespace {

void collectScrollViews(UIView& view, std::vector<UIScrollView*>& found) {
    if (view.isHidden() || view.alpha() < 0.01) return;
    if (auto* scroll = dynamic_cast<UIScrollView*>(&view); scroll && scroll->scrollsToTop())
        found.push_back(scroll);
    for (const auto& subview : view.subviews()) collectScrollViews(*subview, found);
}

}  // namespace

bool scrollToTopInWindow(UIWindow& window) {
    std::vector<UIScrollView*> found;
    collectScrollViews(window, found);
    if (found.size() != 1) return false;
    UIScrollView& scroll = *found.front();
    if (scroll.delegate() && !scroll.delegate()->scrollViewShouldScrollToTop(scroll)) return false;
    CGPoint top = CGPointMake(scroll.contentOffset().x, scroll.minimumContentOffset().y);
    UIScrollView* target = &scroll;
    scroll.animateOffset(top, [target] {
        if (target->delegate()) target->delegate()->scrollViewDidScrollToTop(*target);
    });
    return true;
}

}  // namespace hx

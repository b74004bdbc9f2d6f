#include "platform/ui/controls/UIControl.h"

#include <algorithm>

namespace hx {

UIControl::UIControl(const CGRect& frame) : UIView(frame) {}

void UIControl::addTarget(const void* target, Action action, UIControlEvents events) {
    if (!action || events == 0) return;
    actions_.push_back({target, std::move(action), events});
}

void UIControl::removeTarget(const void* target, UIControlEvents events) {
    for (auto& entry : actions_) {
        if (!target || entry.target == target) entry.events &= ~events;
    }
    std::erase_if(actions_, [](const TargetAction& entry) { return entry.events == 0; });
}

UIControlEvents UIControl::allControlEvents() const {
    UIControlEvents events = 0;
    for (const auto& entry : actions_) events |= entry.events;
    return events;
}

void UIControl::sendActionsForControlEvents(UIControlEvents events) {
    auto keep = weak_from_this().lock();  // an action may remove this control from its window
    auto actions = actions_;
    for (auto& entry : actions) {
        if (entry.events & events) entry.action(this);
    }
}

void UIControl::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    if (!enabled) highlighted_ = false;
    stateDidChange();
}

void UIControl::setSelected(bool selected) {
    if (selected_ == selected) return;
    selected_ = selected;
    stateDidChange();
}

void UIControl::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    stateDidChange();
}

UIControlState UIControl::state() const {
    UIControlState state = UIControlStateNormal;
    if (highlighted_) state |= UIControlStateHighlighted;
    if (!enabled_) state |= UIControlStateDisabled;
    if (selected_) state |= UIControlStateSelected;
    return state;
}

void UIControl::setContentHorizontalAlignment(UIControlContentHorizontalAlignment alignment) {
    hAlign_ = alignment;
    setNeedsLayout();
}

void UIControl::setContentVerticalAlignment(UIControlContentVerticalAlignment alignment) {
    vAlign_ = alignment;
    setNeedsLayout();
}

bool UIControl::beginTrackingWithTouch(UITouch&, UIEvent*) {
    return true;
}
bool UIControl::continueTrackingWithTouch(UITouch&, UIEvent*) {
    return true;
}
void UIControl::endTrackingWithTouch(UITouch*, UIEvent*) {}
void UIControl::cancelTrackingWithEvent(UIEvent*) {}

bool UIControl::isInsideForTracking(const CGPoint& point) const {
    return bounds().insetBy(-kTouchSlop, -kTouchSlop).contains(point);
}

void UIControl::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    if (!enabled_ || trackedTouch_) return;
    UITouch* touch = touches.anyObject();
    if (!touch) return;
    trackedTouch_ = touch;
    touchInside_ = true;
    setHighlighted(true);
    tracking_ = beginTrackingWithTouch(*touch, event);
    UIControlEvents events = UIControlEventTouchDown;
    if (touch->tapCount() > 1) events |= UIControlEventTouchDownRepeat;
    sendActionsForControlEvents(events);
}

void UIControl::touchesMoved(const UITouchSet& touches, UIEvent* event) {
    if (!trackedTouch_ || !touches.contains(trackedTouch_)) return;
    UITouch& touch = *const_cast<UITouch*>(trackedTouch_);
    bool inside = isInsideForTracking(touch.locationInView(this));
    setHighlighted(inside);
    if (tracking_) tracking_ = continueTrackingWithTouch(touch, event);
    UIControlEvents events =
        inside ? UIControlEventTouchDragInside : UIControlEventTouchDragOutside;
    if (inside != touchInside_) {
        events |= inside ? UIControlEventTouchDragEnter : UIControlEventTouchDragExit;
    }
    touchInside_ = inside;
    sendActionsForControlEvents(events);
}

void UIControl::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    if (!trackedTouch_ || !touches.contains(trackedTouch_)) return;
    UITouch* touch = const_cast<UITouch*>(trackedTouch_);
    bool inside = isInsideForTracking(touch->locationInView(this));
    trackedTouch_ = nullptr;
    touchInside_ = inside;
    setHighlighted(false);
    if (tracking_) endTrackingWithTouch(touch, event);
    tracking_ = false;
    sendActionsForControlEvents(inside ? UIControlEventTouchUpInside
                                       : UIControlEventTouchUpOutside);
}

void UIControl::touchesCancelled(const UITouchSet& touches, UIEvent* event) {
    if (!trackedTouch_ || !touches.contains(trackedTouch_)) return;
    trackedTouch_ = nullptr;
    touchInside_ = false;
    setHighlighted(false);
    if (tracking_) cancelTrackingWithEvent(event);
    tracking_ = false;
    sendActionsForControlEvents(UIControlEventTouchCancel);
}

}  // namespace hx

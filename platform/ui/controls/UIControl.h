#pragma once
// A view that tracks touches and sends actions to targets for control events.
//
// Target-action: a target is a non-owning key, used only to remove its actions again. The
// action is a callable; when it captures an object it must not outlive, use the weak_ptr
// overload (the action is skipped once the object is gone) or remove the target first.
//
// Threads: main thread only.

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/view/UIView.h"

namespace hx {

// Control events; combine with |.
using UIControlEvents = unsigned;
inline constexpr UIControlEvents UIControlEventTouchDown = 1u << 0;
inline constexpr UIControlEvents UIControlEventTouchDownRepeat = 1u << 1;
inline constexpr UIControlEvents UIControlEventTouchDragInside = 1u << 2;
inline constexpr UIControlEvents UIControlEventTouchDragOutside = 1u << 3;
inline constexpr UIControlEvents UIControlEventTouchDragEnter = 1u << 4;
inline constexpr UIControlEvents UIControlEventTouchDragExit = 1u << 5;
inline constexpr UIControlEvents UIControlEventTouchUpInside = 1u << 6;
inline constexpr UIControlEvents UIControlEventTouchUpOutside = 1u << 7;
inline constexpr UIControlEvents UIControlEventTouchCancel = 1u << 8;
inline constexpr UIControlEvents UIControlEventValueChanged = 1u << 12;
inline constexpr UIControlEvents UIControlEventAllTouchEvents = 0x0FFFu;
inline constexpr UIControlEvents UIControlEventAllEvents = 0xFFFFFFFFu;

// Control states; combine with |.
using UIControlState = unsigned;
inline constexpr UIControlState UIControlStateNormal = 0;
inline constexpr UIControlState UIControlStateHighlighted = 1u << 0;
inline constexpr UIControlState UIControlStateDisabled = 1u << 1;
inline constexpr UIControlState UIControlStateSelected = 1u << 2;

enum class UIControlContentHorizontalAlignment { Center = 0, Left = 1, Right = 2, Fill = 3 };
enum class UIControlContentVerticalAlignment { Center = 0, Top = 1, Bottom = 2, Fill = 3 };

class UIControl : public UIView {
  public:
    using Action = std::function<void(UIControl* sender)>;

    explicit UIControl(const CGRect& frame = CGRectZero);

    // Adds an action for the events. `target` is a key for removeTarget(), never dereferenced.
    void addTarget(const void* target, Action action, UIControlEvents events);
    // Calls (target->*method)(sender) while the target lives.
    template <typename T, typename Sender>
    void addTarget(const std::weak_ptr<T>& target, void (T::*method)(Sender*),
                   UIControlEvents events) {
        addTarget(
            target.lock().get(),
            [target, method](UIControl* sender) {
                if (auto strong = target.lock()) ((*strong).*method)(static_cast<Sender*>(sender));
            },
            events);
    }
    // Calls (target->*method)(sender); the caller keeps `target` alive while it is registered.
    template <typename T, typename Sender>
    void addTarget(T* target, void (T::*method)(Sender*), UIControlEvents events) {
        addTarget(
            static_cast<const void*>(target),
            [target, method](UIControl* sender) {
                (target->*method)(static_cast<Sender*>(sender));
            },
            events);
    }
    // Removes the target's actions for these events (every target's when `target` is null).
    void removeTarget(const void* target, UIControlEvents events = UIControlEventAllEvents);
    // The events some action is registered for.
    UIControlEvents allControlEvents() const;
    // Runs the actions registered for any of these events, in the order they were added.
    void sendActionsForControlEvents(UIControlEvents events);

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled);
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    UIControlState state() const;
    bool isTracking() const { return tracking_; }
    bool isTouchInside() const { return touchInside_; }

    UIControlContentHorizontalAlignment contentHorizontalAlignment() const { return hAlign_; }
    void setContentHorizontalAlignment(UIControlContentHorizontalAlignment alignment);
    UIControlContentVerticalAlignment contentVerticalAlignment() const { return vAlign_; }
    void setContentVerticalAlignment(UIControlContentVerticalAlignment alignment);

    // Tracking hooks for subclasses; return false to stop tracking.
    virtual bool beginTrackingWithTouch(UITouch& touch, UIEvent* event);
    virtual bool continueTrackingWithTouch(UITouch& touch, UIEvent* event);
    virtual void endTrackingWithTouch(UITouch* touch, UIEvent* event);
    virtual void cancelTrackingWithEvent(UIEvent* event);

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

  protected:
    // A touch counts as inside within this margin around the bounds, as a finger is wide.
    static constexpr double kTouchSlop = 70;
    bool isInsideForTracking(const CGPoint& point) const;
    // Called when enabled, selected or highlighted change.
    virtual void stateDidChange() { setNeedsDisplay(); }

  private:
    struct TargetAction {
        const void* target;
        Action action;
        UIControlEvents events;
    };
    std::vector<TargetAction> actions_;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    bool tracking_ = false;
    bool touchInside_ = false;
    const UITouch* trackedTouch_ = nullptr;
    UIControlContentHorizontalAlignment hAlign_ = UIControlContentHorizontalAlignment::Center;
    UIControlContentVerticalAlignment vAlign_ = UIControlContentVerticalAlignment::Center;
};

}  // namespace hx

#pragma once
// Turns fingers into touches for one window: hit-testing where a finger comes down, handing
// each touch to the gesture recognisers of its view and the view's ancestors and then to the
// view itself, cancelling the view's touches when a recogniser takes them, and resetting
// recognisers once their fingers are gone.
//
// Threads: main thread only.

#include <map>
#include <memory>
#include <vector>

#include "platform/ui/events/UIGestureRecognizer.h"
#include "platform/ui/events/UITouch.h"

namespace hx {

class UIWindow;

class TouchDispatcher {
  public:
    explicit TouchDispatcher(UIWindow& window);
    ~TouchDispatcher();
    TouchDispatcher(const TouchDispatcher&) = delete;
    TouchDispatcher& operator=(const TouchDispatcher&) = delete;

    // Window coordinates in points. A finger that is already down moves instead.
    void fingerDown(int finger, CGPoint point);
    void fingerMoved(int finger, CGPoint point);
    void fingerUp(int finger, CGPoint point);
    void fingerUp(int finger);
    void cancelAll();

    bool isFingerDown(int finger) const { return touches_.count(finger) != 0; }
    std::size_t fingerCount() const { return touches_.size(); }

    // Two taps closer than this in time and space count as one double tap.
    static constexpr double kMultiTapInterval = 0.35;
    static constexpr double kMultiTapDistance = 40;

  private:
    void deliver(const UITouchRef& touch, UITouchPhase phase);
    std::vector<std::shared_ptr<UIGestureRecognizer>> recognizersFor(
        const std::shared_ptr<UIView>& view) const;
    void recognized(UIGestureRecognizer& recognizer);
    void resetFinishedRecognizers();
    bool deliversToView(const UITouchRef& touch) const;

    UIWindow& window_;
    std::map<int, UITouchRef> touches_;
    // Touches that a view without multiple touch may not see (another finger got there first).
    std::vector<const UITouch*> withheld_;
    std::vector<std::weak_ptr<UIGestureRecognizer>> participants_;
    UIEvent event_;
    // The last finger lifted, for tap counts.
    CGPoint lastTapPoint_;
    double lastTapTime_ = -1;
    int lastTapCount_ = 0;
    std::weak_ptr<UIView> lastTapView_;
};

}  // namespace hx

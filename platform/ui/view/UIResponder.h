#pragma once
// Something that can take touches: views, and the view controllers that own views. By default
// every touch method passes the call on to the next responder.
//
// Threads: main thread only.

#include "platform/ui/events/UITouch.h"

namespace hx {

class UIResponder {
  public:
    virtual ~UIResponder() = default;

    // A view's next responder is its view controller when it has one, else its superview.
    virtual UIResponder* nextResponder() const { return nullptr; }

    virtual void touchesBegan(const UITouchSet& touches, UIEvent* event);
    virtual void touchesMoved(const UITouchSet& touches, UIEvent* event);
    virtual void touchesEnded(const UITouchSet& touches, UIEvent* event);
    virtual void touchesCancelled(const UITouchSet& touches, UIEvent* event);
};

}  // namespace hx

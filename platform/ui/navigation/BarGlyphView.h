#pragma once
// The drawn icons of the bar button system items (action, add, stop, play, ...), as simple
// strokes in one colour, centred in the view's bounds.
//
// Threads: main thread only.

#include "platform/ui/navigation/UIBarButtonItem.h"
#include "platform/ui/view/UIView.h"

namespace hx::ui {

class BarGlyphView : public UIView {
  public:
    BarGlyphView(UIBarButtonSystemItem item, const UIColor& color);

    UIBarButtonSystemItem item() const { return item_; }
    void setColor(const UIColor& color);

    void drawRect(const CGRect& rect) override;

    // Whether the system item is shown as an icon (the others are words).
    static bool drawsIcon(UIBarButtonSystemItem item);
    // The word of a system item shown as text ("Done"); empty for icons and spaces.
    static const char* word(UIBarButtonSystemItem item);

  private:
    UIBarButtonSystemItem item_;
    UIColor color_;
};

}  // namespace hx::ui

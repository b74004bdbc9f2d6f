#pragma once
// A view that shows text. With adjustsFontSizeToFitWidth on, a single-line text too wide for
// the bounds is drawn in a smaller font, down to minimumScaleFactor times the font size
// (0, the default, or a value above 1 allows no shrinking), and then cut off at the end with
// an ellipsis.
//
// Threads: main thread only.

#include <string>

#include "platform/ui/drawing/UIFont.h"
#include "platform/ui/view/UIView.h"

namespace hx {

enum class NSTextAlignment { Left = 0, Center = 1, Right = 2, Justified = 3, Natural = 4 };
enum class NSLineBreakMode {
    ByWordWrapping = 0,
    ByCharWrapping = 1,
    ByClipping = 2,
    ByTruncatingHead = 3,
    ByTruncatingTail = 4,
    ByTruncatingMiddle = 5,
};

class UILabel : public UIView {
  public:
    explicit UILabel(const CGRect& frame = CGRectZero);
    static std::shared_ptr<UILabel> make(const CGRect& frame = CGRectZero) {
        return std::make_shared<UILabel>(frame);
    }

    const std::string& text() const { return text_; }
    void setText(std::string text);
    // The system font of size 17 by default.
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& font);
    UIColor textColor() const { return textColor_; }
    void setTextColor(const UIColor& color);
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment);
    // 1 by default; 0 means as many as fit.
    int numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(int lines);
    NSLineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(NSLineBreakMode mode);
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
    void setAdjustsFontSizeToFitWidth(bool adjusts);
    double minimumScaleFactor() const { return minimumScaleFactor_; }
    void setMinimumScaleFactor(double factor);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);

    // The font the text is drawn in now: the label's font, shrunk to fit when allowed.
    UIFont fittedFont() const;
    CGSize sizeThatFits(const CGSize& size) const override;

  protected:
    void drawContent(CGContext& context) override;

  private:
    std::string text_;
    UIFont font_ = UIFont::systemFontOfSize(17);
    UIColor textColor_ = UIColor::blackColor();
    NSTextAlignment alignment_ = NSTextAlignment::Natural;
    int numberOfLines_ = 1;
    NSLineBreakMode lineBreakMode_ = NSLineBreakMode::ByTruncatingTail;
    bool adjustsFontSize_ = false;
    double minimumScaleFactor_ = 0;
    bool enabled_ = true;
};

}  // namespace hx

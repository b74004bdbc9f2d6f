#pragma once
// A view that shows an image, placed by the content mode (scale to fill by default). User
// interaction is off by default.
//
// Threads: main thread only.

#include "platform/ui/drawing/UIImage.h"
#include "platform/ui/view/UIView.h"

namespace hx {

class UIImageView : public UIView {
  public:
    explicit UIImageView(const CGRect& frame = CGRectZero);
    // Sized to the image (in points).
    explicit UIImageView(UIImageRef image);
    static std::shared_ptr<UIImageView> make(const CGRect& frame = CGRectZero) {
        return std::make_shared<UIImageView>(frame);
    }

    const UIImageRef& image() const { return image_; }
    void setImage(UIImageRef image);
    const UIImageRef& highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(UIImageRef image);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);

    CGSize sizeThatFits(const CGSize& size) const override;

    // Draws the image darkened, as a pressed button shows it (for UIButton).
    void setDimmed(bool dimmed);

    // Where an image of `imageSize` points lands in `bounds` under `mode`.
    static CGRect imageRectForContentMode(UIViewContentMode mode, const CGSize& imageSize,
                                          const CGRect& bounds);

  protected:
    void drawContent(CGContext& context) override;

  private:
    UIImageRef image_;
    UIImageRef highlightedImage_;
    bool highlighted_ = false;
    bool dimmed_ = false;
};

}  // namespace hx

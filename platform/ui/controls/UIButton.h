#pragma once
// A push button with an image, a background image, a title and a title colour per state.
// A state without its own value uses the normal state's. The image sits in imageView() and
// the title in titleLabel(), subviews below any that callers add, laid out by the content
// alignments.
//
// Threads: main thread only.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/controls/UIControl.h"
#include "platform/ui/controls/UIImageView.h"
#include "platform/ui/controls/UILabel.h"

namespace hx {

enum class UIButtonType {
    Custom = 0,
    System = 1,
    DetailDisclosure = 2,
    InfoLight = 3,
    InfoDark = 4,
    ContactAdd = 5
};

class UIButton : public UIControl {
  public:
    static std::shared_ptr<UIButton> buttonWithType(UIButtonType type);
    explicit UIButton(const CGRect& frame = CGRectZero, UIButtonType type = UIButtonType::Custom);

    UIButtonType buttonType() const { return type_; }

    void setImage(UIImageRef image, UIControlState state);
    UIImageRef imageForState(UIControlState state) const;
    void setBackgroundImage(UIImageRef image, UIControlState state);
    UIImageRef backgroundImageForState(UIControlState state) const;
    void setTitle(std::optional<std::string> title, UIControlState state);
    std::optional<std::string> titleForState(UIControlState state) const;
    void setTitleColor(std::optional<UIColor> color, UIControlState state);
    UIColor titleColorForState(UIControlState state) const;

    // The values for the current state.
    UIImageRef currentImage() const { return imageForState(state()); }
    UIImageRef currentBackgroundImage() const { return backgroundImageForState(state()); }
    std::optional<std::string> currentTitle() const { return titleForState(state()); }
    UIColor currentTitleColor() const { return titleColorForState(state()); }

    const std::shared_ptr<UIImageView>& imageView() const { return imageView_; }
    const std::shared_ptr<UILabel>& titleLabel() const { return titleLabel_; }

    // Whether a highlighted button without a highlighted image draws its image darker.
    bool adjustsImageWhenHighlighted() const { return adjustsImageWhenHighlighted_; }
    void setAdjustsImageWhenHighlighted(bool adjusts) { adjustsImageWhenHighlighted_ = adjusts; }

    CGSize sizeThatFits(const CGSize& size) const override;
    void layoutSubviews() override;

  protected:
    void stateDidChange() override;
    void drawContent(CGContext& context) override;

  private:
    template <typename T>
    static std::optional<T> lookup(const std::map<UIControlState, T>& table, UIControlState state);
    void updateContent();
    void adoptContentViews();

    UIButtonType type_;
    std::map<UIControlState, UIImageRef> images_;
    std::map<UIControlState, UIImageRef> backgroundImages_;
    std::map<UIControlState, std::string> titles_;
    std::map<UIControlState, UIColor> titleColors_;
    std::shared_ptr<UIImageView> imageView_;
    std::shared_ptr<UILabel> titleLabel_;
    bool adjustsImageWhenHighlighted_ = true;
};

}  // namespace hx

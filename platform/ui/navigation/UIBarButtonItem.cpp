#include "platform/ui/navigation/UIBarButtonItem.h"

#include <algorithm>

#include "platform/ui/controls/UIButton.h"
#include "platform/ui/navigation/BarGlyphView.h"

namespace hx {

namespace {

constexpr double kBarItemHeight = 44;
constexpr double kMinimumItemWidth = 44;
constexpr double kTitlePadding = 8;

// The button that shows an item in a bar: its title, its image or a drawn glyph, in the tint.
class BarItemButton : public UIButton {
  public:
    BarItemButton() : UIButton(CGRectMake(0, 0, kMinimumItemWidth, kBarItemHeight)) {}

    void setGlyph(std::shared_ptr<ui::BarGlyphView> glyph) {
        if (glyph_) glyph_->removeFromSuperview();
        glyph_ = std::move(glyph);
        if (glyph_) addSubview(glyph_);
        setNeedsLayout();
    }
    void setTint(const UIColor& tint) {
        tint_ = tint;
        setTitleColor(tint, UIControlStateNormal);
        setTitleColor(tint.colorWithAlphaComponent(0.3), UIControlStateHighlighted);
        setTitleColor(tint.colorWithAlphaComponent(0.35), UIControlStateDisabled);
        updateGlyph();
    }
    void layoutSubviews() override {
        UIButton::layoutSubviews();
        if (glyph_) glyph_->setFrame(bounds().insetBy(11, 11));
    }

  protected:
    void stateDidChange() override {
        UIButton::stateDidChange();
        updateGlyph();
    }

  private:
    void updateGlyph() {
        if (!glyph_) return;
        double alpha = !isEnabled() ? 0.35 : isHighlighted() ? 0.3 : 1;
        glyph_->setColor(tint_.colorWithAlphaComponent(tint_.alpha() * alpha));
    }

    std::shared_ptr<ui::BarGlyphView> glyph_;
    UIColor tint_ = UIColor::systemBlueColor();
};

}  // namespace

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::initWithBarButtonSystemItem(
    UIBarButtonSystemItem systemItem, const void* target, Action action) {
    auto item = std::make_shared<UIBarButtonItem>();
    item->systemItem_ = systemItem;
    item->title_ = ui::BarGlyphView::word(systemItem);
    if (systemItem == UIBarButtonSystemItem::Done) item->style_ = UIBarButtonItemStyle::Done;
    item->target_ = target;
    item->action_ = std::move(action);
    return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::initWithImage(UIImageRef image,
                                                                UIBarButtonItemStyle style,
                                                                const void* target, Action action) {
    auto item = std::make_shared<UIBarButtonItem>();
    item->image_ = std::move(image);
    item->style_ = style;
    item->target_ = target;
    item->action_ = std::move(action);
    return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::initWithTitle(std::string title,
                                                                UIBarButtonItemStyle style,
                                                                const void* target, Action action) {
    auto item = std::make_shared<UIBarButtonItem>();
    item->title_ = std::move(title);
    item->style_ = style;
    item->target_ = target;
    item->action_ = std::move(action);
    return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::initWithCustomView(std::shared_ptr<UIView> view) {
    auto item = std::make_shared<UIBarButtonItem>();
    item->customView_ = std::move(view);
    return item;
}

UIBarButtonItem::~UIBarButtonItem() = default;

void UIBarButtonItem::setStyle(UIBarButtonItemStyle style) {
    style_ = style;
    updateView();
}

void UIBarButtonItem::setTitle(std::string title) {
    title_ = std::move(title);
    updateView();
}

void UIBarButtonItem::setImage(UIImageRef image) {
    image_ = std::move(image);
    updateView();
}

void UIBarButtonItem::setEnabled(bool enabled) {
    enabled_ = enabled;
    updateView();
}

void UIBarButtonItem::setTintColor(std::optional<UIColor> color) {
    tintColor_ = color;
    updateView();
}

void UIBarButtonItem::setWidth(double width) {
    width_ = width;
}

void UIBarButtonItem::applyBarTint(const UIColor& tint) {
    if (tint == barTint_) return;
    barTint_ = tint;
    updateView();
}

void UIBarButtonItem::sendAction() {
    if (!enabled_ || !action_) return;
    // The action may drop the last reference to the item.
    std::shared_ptr<UIBarButtonItem> self = shared_from_this();
    Action action = action_;
    action(this);
}

std::shared_ptr<UIView> UIBarButtonItem::view() {
    if (customView_) return customView_;
    if (isFlexibleSpace() || isFixedSpace()) return nullptr;
    if (!view_) {
        auto button = std::make_shared<BarItemButton>();
        std::weak_ptr<UIBarButtonItem> weak = weak_from_this();
        button->addTarget(
            this,
            [weak](UIControl*) {
                if (auto item = weak.lock()) item->sendAction();
            },
            UIControlEventTouchUpInside);
        if (systemItem_ && ui::BarGlyphView::drawsIcon(*systemItem_))
            button->setGlyph(std::make_shared<ui::BarGlyphView>(*systemItem_, barTint_));
        view_ = button;
        updateView();
    }
    return view_;
}

void UIBarButtonItem::updateView() {
    auto* button = dynamic_cast<BarItemButton*>(view_.get());
    if (!button) return;
    button->setTint(tintColor_.value_or(barTint_));
    button->setEnabled(enabled_);
    button->setImage(image_, UIControlStateNormal);
    button->setTitle(title_.empty() ? std::nullopt : std::optional<std::string>(title_),
                     UIControlStateNormal);
    button->titleLabel()->setFont(style_ == UIBarButtonItemStyle::Done
                                      ? UIFont::boldSystemFontOfSize(17)
                                      : UIFont::systemFontOfSize(17));
    CGRect frame = button->frame();
    frame.size = CGSizeMake(preferredWidth(), kBarItemHeight);
    button->setFrame(frame);
}

double UIBarButtonItem::preferredWidth() {
    if (isFlexibleSpace()) return 0;
    if (isFixedSpace()) return std::max(0.0, width_);
    if (width_ > 0) return width_;
    if (customView_) return customView_->frame().width();
    double content = 0;
    if (image_) {
        content = image_->size().width;
    } else if (!title_.empty()) {
        UIFont font = style_ == UIBarButtonItemStyle::Done ? UIFont::boldSystemFontOfSize(17)
                                                           : UIFont::systemFontOfSize(17);
        UILabel measure;
        measure.setFont(font);
        measure.setText(title_);
        content = measure.sizeThatFits(CGSizeMake(1e6, kBarItemHeight)).width;
    }
    return std::max(kMinimumItemWidth, content + 2 * kTitlePadding);
}

}  // namespace hx

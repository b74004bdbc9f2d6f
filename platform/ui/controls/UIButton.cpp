#include "platform/ui/controls/UIButton.h"

#include <algorithm>

#include <QPainter>

#include "platform/ui/drawing/CGContext.h"

namespace hx {

UIButton::UIButton(const CGRect& frame, UIButtonType type)
    : UIControl(frame),
      type_(type),
      imageView_(std::make_shared<UIImageView>()),
      titleLabel_(std::make_shared<UILabel>()) {
    titleLabel_->setFont(UIFont::systemFontOfSize(15));
    titleLabel_->setTextAlignment(NSTextAlignment::Center);
    imageView_->setContentMode(UIViewContentMode::Center);
}

std::shared_ptr<UIButton> UIButton::buttonWithType(UIButtonType type) {
    auto button = std::make_shared<UIButton>(CGRectZero, type);
    return button;
}

template <typename T>
std::optional<T> UIButton::lookup(const std::map<UIControlState, T>& table, UIControlState state) {
    if (auto it = table.find(state); it != table.end()) return it->second;
    // Highlighted while selected falls back to selected, then to highlighted.
    if (state == (UIControlStateSelected | UIControlStateHighlighted)) {
        if (auto it = table.find(UIControlStateSelected); it != table.end()) return it->second;
        if (auto it = table.find(UIControlStateHighlighted); it != table.end()) return it->second;
    }
    if (state & UIControlStateDisabled) {
        if (auto it = table.find(UIControlStateDisabled); it != table.end()) return it->second;
    }
    if ((state & UIControlStateSelected) && !(state & UIControlStateDisabled)) {
        if (auto it = table.find(UIControlStateSelected); it != table.end()) return it->second;
    }
    if (auto it = table.find(UIControlStateNormal); it != table.end()) return it->second;
    return std::nullopt;
}

void UIButton::setImage(UIImageRef image, UIControlState state) {
    if (image) {
        images_[state] = std::move(image);
    } else {
        images_.erase(state);
    }
    updateContent();
}

UIImageRef UIButton::imageForState(UIControlState state) const {
    return lookup(images_, state).value_or(nullptr);
}

void UIButton::setBackgroundImage(UIImageRef image, UIControlState state) {
    if (image) {
        backgroundImages_[state] = std::move(image);
    } else {
        backgroundImages_.erase(state);
    }
    setNeedsDisplay();
}

UIImageRef UIButton::backgroundImageForState(UIControlState state) const {
    return lookup(backgroundImages_, state).value_or(nullptr);
}

void UIButton::setTitle(std::optional<std::string> title, UIControlState state) {
    if (title) {
        titles_[state] = std::move(*title);
    } else {
        titles_.erase(state);
    }
    updateContent();
}

std::optional<std::string> UIButton::titleForState(UIControlState state) const {
    return lookup(titles_, state);
}

void UIButton::setTitleColor(std::optional<UIColor> color, UIControlState state) {
    if (color) {
        titleColors_[state] = *color;
    } else {
        titleColors_.erase(state);
    }
    updateContent();
}

UIColor UIButton::titleColorForState(UIControlState state) const {
    if (auto color = lookup(titleColors_, state)) return *color;
    UIColor base = type_ == UIButtonType::Custom ? UIColor::whiteColor() : tintColor();
    if (state & UIControlStateDisabled) return base.colorWithAlphaComponent(0.35);
    if (type_ != UIButtonType::Custom && (state & UIControlStateHighlighted)) {
        return base.colorWithAlphaComponent(0.2);
    }
    return base;
}

void UIButton::stateDidChange() {
    UIControl::stateDidChange();
    updateContent();
}

void UIButton::updateContent() {
    adoptContentViews();
    UIControlState current = state();
    imageView_->setImage(imageForState(current));
    bool ownHighlightedImage = images_.count(current) != 0;
    imageView_->setDimmed(isHighlighted() && adjustsImageWhenHighlighted_ && !ownHighlightedImage);
    auto title = titleForState(current);
    titleLabel_->setText(title.value_or(""));
    titleLabel_->setTextColor(titleColorForState(current));
    setNeedsLayout();
    setNeedsDisplay();
}

CGSize UIButton::sizeThatFits(const CGSize& size) const {
    CGSize image = imageView_->image() ? imageView_->image()->size() : CGSizeZero;
    CGSize title = titleLabel_->text().empty() ? CGSizeZero : titleLabel_->sizeThatFits(size);
    return {image.width + title.width, std::max(image.height, title.height)};
}

void UIButton::layoutSubviews() {
    adoptContentViews();
    CGRect b = bounds();
    CGSize imageSize = imageView_->image() ? imageView_->image()->size() : CGSizeZero;
    bool hasTitle = !titleLabel_->text().empty();
    CGSize titleSize = hasTitle ? titleLabel_->sizeThatFits(b.size) : CGSizeZero;
    titleSize.width = std::min(titleSize.width, b.width() - imageSize.width);
    bool fillH = contentHorizontalAlignment() == UIControlContentHorizontalAlignment::Fill;
    bool fillV = contentVerticalAlignment() == UIControlContentVerticalAlignment::Fill;

    double contentWidth = imageSize.width + titleSize.width;
    double x = b.minX();
    switch (contentHorizontalAlignment()) {
        case UIControlContentHorizontalAlignment::Center:
            x = b.minX() + (b.width() - contentWidth) / 2;
            break;
        case UIControlContentHorizontalAlignment::Right:
            x = b.maxX() - contentWidth;
            break;
        default:
            break;
    }
    auto place = [&](double h) {
        switch (contentVerticalAlignment()) {
            case UIControlContentVerticalAlignment::Top:
                return b.minY();
            case UIControlContentVerticalAlignment::Bottom:
                return b.maxY() - h;
            default:
                return b.minY() + (b.height() - h) / 2;
        }
    };
    if (!hasTitle && (fillH || fillV)) {
        // An image alone stretches across the filled directions.
        CGRect r{{x, place(imageSize.height)}, imageSize};
        if (fillH) {
            r.origin.x = b.minX();
            r.size.width = b.width();
        }
        if (fillV) {
            r.origin.y = b.minY();
            r.size.height = b.height();
        }
        imageView_->setFrame(r);
    } else {
        imageView_->setFrame({{x, place(imageSize.height)}, imageSize});
    }
    titleLabel_->setFrame({{x + imageSize.width, place(titleSize.height)}, titleSize});
}

void UIButton::drawContent(CGContext& context) {
    // The image and title are subviews; only the background image is the button's own.
    if (UIImageRef background = currentBackgroundImage()) {
        const QImage& pixels = background->qimage();
        CGRect b = bounds();
        context.painter().drawImage(QRectF(b.minX(), b.minY(), b.width(), b.height()), pixels);
    }
}

void UIButton::adoptContentViews() {
    // Added on first use rather than in the constructor, where the button has no owner yet;
    // kept below any subviews that callers add.
    if (weak_from_this().expired()) return;
    if (imageView_->superview().get() != this) insertSubview(imageView_, 0);
    if (titleLabel_->superview().get() != this) insertSubview(titleLabel_, 1);
}

}  // namespace hx

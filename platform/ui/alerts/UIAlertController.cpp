#include "platform/ui/alerts/UIAlertController.h"

#include <algorithm>

#include "platform/ui/controls/UIButton.h"
#include "platform/ui/controls/UILabel.h"
#include "platform/ui/window/UIScreen.h"

namespace hx {

namespace {

constexpr double kAlertWidth = 270;
constexpr double kSheetMargin = 8;
constexpr double kSheetMaximumWidth = 400;
constexpr double kTextPadding = 16;
constexpr double kTextTop = 20;
constexpr double kTextGap = 4;
constexpr double kButtonHeight = 44;
constexpr double kSeparator = 0.5;
constexpr double kCornerRadius = 13;

UIColor actionColor(UIAlertActionStyle style) {
    return style == UIAlertActionStyle::Destructive ? UIColor::colorWithRed(1, 0.23, 0.19, 1)
                                                    : UIColor::systemBlueColor();
}

}  // namespace

// The alert's full-screen view: the dimmed backdrop, laid out again when its size changes. A
// tap on the backdrop of an action sheet cancels it.
class UIAlertController::AlertView : public UIView {
  public:
    using UIView::UIView;
    std::function<void()> onLayout;
    std::function<void(CGPoint)> onBackdropTap;

    void layoutSubviews() override {
        if (onLayout) onLayout();
    }
    // The safe area is known once in a window.
    void didMoveToWindow() override {
        if (onLayout && window()) onLayout();
    }
    void touchesBegan(const UITouchSet&, UIEvent*) override {}
    void touchesEnded(const UITouchSet& touches, UIEvent*) override {
        if (onBackdropTap && touches.anyObject())
            onBackdropTap(touches.anyObject()->locationInView(this));
    }
};

UIAlertController::UIAlertController(std::string title, std::string message,
                                     UIAlertControllerStyle preferredStyle)
    : message_(std::move(message)), style_(preferredStyle) {
    setTitle(std::move(title));
    setModalPresentationStyle(UIModalPresentationStyle::OverFullScreen);
    setModalTransitionStyle(UIModalTransitionStyle::CrossDissolve);
}

void UIAlertController::setMessage(std::string message) {
    message_ = std::move(message);
    if (isViewLoaded()) layout();
}

void UIAlertController::addAction(std::shared_ptr<UIAlertAction> action) {
    if (!action) return;
    actions_.push_back(std::move(action));
    if (isViewLoaded()) {
        rebuild();
        layout();
    }
}

std::shared_ptr<UIButton> UIAlertController::buttonForAction(const UIAlertAction& action) {
    loadViewIfNeeded();
    for (const auto& [each, button] : buttons_)
        if (each.get() == &action) return button;
    return nullptr;
}

const std::shared_ptr<UIView>& UIAlertController::contentView() {
    loadViewIfNeeded();
    return box_;
}

std::vector<std::shared_ptr<UIAlertAction>> UIAlertController::orderedActions() const {
    std::vector<std::shared_ptr<UIAlertAction>> ordered;
    std::vector<std::shared_ptr<UIAlertAction>> cancels;
    for (const auto& action : actions_)
        (action->style() == UIAlertActionStyle::Cancel ? cancels : ordered).push_back(action);
    // Two buttons side by side put cancel on the left; otherwise cancel comes last.
    if (style_ == UIAlertControllerStyle::Alert && actions_.size() == 2 && !cancels.empty())
        ordered.insert(ordered.begin(), cancels.begin(), cancels.end());
    else
        ordered.insert(ordered.end(), cancels.begin(), cancels.end());
    return ordered;
}

void UIAlertController::loadView() {
    auto view = std::make_shared<AlertView>(UIScreen::mainScreen().bounds());
    view->setBackgroundColor(UIColor::colorWithWhite(0, 0.4));
    std::weak_ptr<UIViewController> weak = weak_from_this();
    view->onLayout = [weak] {
        if (auto self = weak.lock()) static_cast<UIAlertController&>(*self).layout();
    };
    view->onBackdropTap = [weak](CGPoint point) {
        auto self = std::static_pointer_cast<UIAlertController>(weak.lock());
        if (!self || self->style_ != UIAlertControllerStyle::ActionSheet) return;
        if (self->box_->frame().contains(point)) return;
        for (const auto& action : self->actions_)
            if (action->style() == UIAlertActionStyle::Cancel) return self->choose(action);
    };
    setView(view);

    box_ = UIView::make();
    box_->setBackgroundColor(UIColor::colorWithWhite(0.97, 1));
    box_->layer().setCornerRadius(kCornerRadius);
    box_->setClipsToBounds(true);
    view->addSubview(box_);
    titleLabel_ = UILabel::make();
    titleLabel_->setFont(UIFont::boldSystemFontOfSize(17));
    messageLabel_ = UILabel::make();
    messageLabel_->setFont(UIFont::systemFontOfSize(13));
    for (const auto& label : {titleLabel_, messageLabel_}) {
        label->setTextAlignment(NSTextAlignment::Center);
        label->setNumberOfLines(0);
        label->setLineBreakMode(NSLineBreakMode::ByWordWrapping);
        label->setTextColor(UIColor::blackColor());
        box_->addSubview(label);
    }
    rebuild();
    layout();
}

void UIAlertController::rebuild() {
    for (const auto& [action, button] : buttons_) button->removeFromSuperview();
    buttons_.clear();
    std::weak_ptr<UIViewController> weak = weak_from_this();
    for (const auto& action : orderedActions()) {
        auto button = UIButton::buttonWithType(UIButtonType::Custom);
        UIColor color = actionColor(action->style());
        button->setTitle(action->title(), UIControlStateNormal);
        button->setTitleColor(color, UIControlStateNormal);
        button->setTitleColor(color.colorWithAlphaComponent(0.4), UIControlStateHighlighted);
        button->setTitleColor(UIColor::colorWithWhite(0.6, 1), UIControlStateDisabled);
        button->titleLabel()->setFont(action->style() == UIAlertActionStyle::Cancel
                                          ? UIFont::boldSystemFontOfSize(17)
                                          : UIFont::systemFontOfSize(17));
        button->setEnabled(action->isEnabled());
        std::weak_ptr<UIAlertAction> weakAction = action;
        button->addTarget(
            action.get(),
            [weak, weakAction](UIControl*) {
                auto self = std::static_pointer_cast<UIAlertController>(weak.lock());
                auto chosen = weakAction.lock();
                if (self && chosen) self->choose(chosen);
            },
            UIControlEventTouchUpInside);
        box_->addSubview(button);
        buttons_.emplace_back(action, button);
    }
}

void UIAlertController::layout() {
    if (!isViewLoaded() || !box_) return;
    const CGRect b = view()->bounds();
    const bool sheet = style_ == UIAlertControllerStyle::ActionSheet;
    const double width =
        sheet ? std::min(b.width() - 2 * kSheetMargin, kSheetMaximumWidth) : kAlertWidth;
    const double inner = width - 2 * kTextPadding;

    titleLabel_->setText(title());
    messageLabel_->setText(message_);
    double y = 0;
    const bool hasText = !title().empty() || !message_.empty();
    if (hasText) y += kTextTop;
    for (const auto& label : {titleLabel_, messageLabel_}) {
        label->setHidden(label->text().empty());
        if (label->text().empty()) continue;
        if (label == messageLabel_ && !title().empty()) y += kTextGap;
        CGSize size = label->sizeThatFits(CGSizeMake(inner, 1e6));
        label->setFrame(CGRectMake(kTextPadding, y, inner, size.height));
        y += size.height;
    }
    if (hasText) y += kTextTop;

    for (const auto& separator : separators_) separator->removeFromSuperview();
    separators_.clear();
    auto addSeparator = [&](CGRect frame) {
        auto separator = UIView::make(frame);
        separator->setBackgroundColor(UIColor::colorWithWhite(0, 0.2));
        separator->setUserInteractionEnabled(false);
        box_->addSubview(separator);
        separators_.push_back(separator);
    };
    const bool sideBySide = !sheet && buttons_.size() == 2;
    if (sideBySide) {
        addSeparator(CGRectMake(0, y, width, kSeparator));
        buttons_[0].second->setFrame(CGRectMake(0, y, width / 2, kButtonHeight));
        buttons_[1].second->setFrame(CGRectMake(width / 2, y, width / 2, kButtonHeight));
        addSeparator(CGRectMake(width / 2, y, kSeparator, kButtonHeight));
        y += kButtonHeight;
    } else {
        for (std::size_t i = 0; i < buttons_.size(); ++i) {
            if (i > 0 || hasText) addSeparator(CGRectMake(0, y, width, kSeparator));
            buttons_[i].second->setFrame(CGRectMake(0, y, width, kButtonHeight));
            y += kButtonHeight;
        }
    }
    double boxY = sheet ? b.maxY() - view()->safeAreaInsets().bottom - kSheetMargin - y
                        : b.minY() + (b.height() - y) / 2;
    box_->setFrame(CGRectMake(b.minX() + (b.width() - width) / 2, boxY, width, y));
}

void UIAlertController::choose(const std::shared_ptr<UIAlertAction>& action) {
    if (chosen_ || !action->isEnabled()) return;
    chosen_ = true;
    if (!presentingViewController()) {
        action->perform();
        return;
    }
    // The handler runs once the alert is gone, so it may present something else at once.
    dismissViewControllerAnimated(true, [action] { action->perform(); });
}

}  // namespace hx

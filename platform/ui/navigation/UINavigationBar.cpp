#include "platform/ui/navigation/UINavigationBar.h"

#include <algorithm>

#include "platform/ui/controls/UIButton.h"
#include "platform/ui/controls/UILabel.h"
#include "platform/ui/navigation/UIBarButtonItem.h"
#include "platform/ui/navigation/UINavigationItem.h"

namespace hx {

namespace {

constexpr double kEdgeMargin = 8;
constexpr double kTitleGap = 8;

std::string backTitle(const UINavigationItem& item) {
    if (const auto& back = item.backBarButtonItem(); back && !back->title().empty())
        return back->title();
    return item.title().empty() ? "Back" : item.title();
}

}  // namespace

UINavigationBar::UINavigationBar(const CGRect& frame) : BarBase(frame, Edge::Bottom) {
    titleLabel_ = UILabel::make();
    titleLabel_->setFont(UIFont::boldSystemFontOfSize(17));
    titleLabel_->setTextAlignment(NSTextAlignment::Center);
    titleLabel_->setAdjustsFontSizeToFitWidth(true);
    titleLabel_->setMinimumScaleFactor(0.6);
    backButton_ = UIButton::buttonWithType(UIButtonType::Custom);
    backButton_->titleLabel()->setFont(UIFont::systemFontOfSize(17));
    backButton_->addTarget(
        this,
        [this](UIControl*) {
            if (backAction_) backAction_();
        },
        UIControlEventTouchUpInside);
    styleDidChange();
}

UINavigationBar::~UINavigationBar() {
    if (topItem_) topItem_->setChangeHandler(nullptr);
}

void UINavigationBar::setItems(UINavigationItem* topItem, UINavigationItem* backItem) {
    if (topItem_ && topItem_ != topItem) topItem_->setChangeHandler(nullptr);
    topItem_ = topItem;
    backItem_ = backItem;
    if (topItem_) topItem_->setChangeHandler([this] { itemsChanged(); });
    itemsChanged();
}

std::shared_ptr<UIButton> UINavigationBar::backButton() const {
    return backButton_->superview() ? backButton_ : nullptr;
}

void UINavigationBar::itemsChanged() {
    setNeedsLayout();
    // Lay out now when possible, so that the views of the new items can be found at once.
    if (!weak_from_this().expired()) layoutIfNeeded();
}

void UINavigationBar::styleDidChange() {
    titleLabel_->setTextColor(isDark() ? UIColor::whiteColor() : UIColor::blackColor());
}

double UINavigationBar::placeItems(const std::vector<std::shared_ptr<UIBarButtonItem>>& items,
                                   bool fromLeft, double edge) {
    const CGRect b = bounds();
    for (const auto& item : items) {
        double width = item->preferredWidth();
        std::shared_ptr<UIView> view = item->view();
        if (view) {
            item->applyBarTint(tintColor());
            double x = fromLeft ? edge : edge - width;
            CGRect frame = view->frame();
            view->setFrame(
                CGRectMake(x, b.minY() + (b.height() - frame.height()) / 2, width, frame.height()));
            addSubview(view);
            itemViews_.push_back(view);
        }
        edge += fromLeft ? width : -width;
    }
    return edge;
}

void UINavigationBar::layoutSubviews() {
    BarBase::layoutSubviews();
    for (const auto& view : itemViews_)
        if (view->superview().get() == this) view->removeFromSuperview();
    itemViews_.clear();
    backButton_->removeFromSuperview();
    if (titleView_ && titleView_->superview().get() == this) titleView_->removeFromSuperview();
    titleView_.reset();
    if (!topItem_) return;

    const CGRect b = bounds();
    double left = b.minX() + kEdgeMargin;
    if (!topItem_->leftBarButtonItems().empty()) {
        left = placeItems(topItem_->leftBarButtonItems(), true, left);
    } else if (backItem_ && !topItem_->hidesBackButton()) {
        backButton_->setTitle("\u2039 " + backTitle(*backItem_), UIControlStateNormal);
        backButton_->setTitleColor(tintColor(), UIControlStateNormal);
        backButton_->setTitleColor(tintColor().colorWithAlphaComponent(0.3),
                                   UIControlStateHighlighted);
        CGSize size = backButton_->sizeThatFits(CGSizeMake(b.width() / 3, kHeight));
        double width = std::min(b.width() / 3, std::max(44.0, size.width + 8));
        backButton_->setFrame(CGRectMake(left, b.minY(), width, b.height()));
        addSubview(backButton_);
        left += width;
    }
    double right = placeItems(topItem_->rightBarButtonItems(), false, b.maxX() - kEdgeMargin);

    // The title is centred on the bar, narrowed to keep clear of the items on both sides.
    std::shared_ptr<UIView> title = topItem_->titleView();
    if (!title) {
        titleLabel_->setText(topItem_->title());
        title = titleLabel_;
    }
    double room = std::max(0.0, std::min(b.midX() - left, right - b.midX()) - kTitleGap);
    CGRect frame = title->frame();
    double width = title == titleLabel_ ? 2 * room : std::min(frame.width(), 2 * room);
    double height = std::min(
        frame.height() > 0 && title != titleLabel_ ? frame.height() : b.height(), b.height());
    title->setFrame(
        CGRectMake(b.midX() - width / 2, b.minY() + (b.height() - height) / 2, width, height));
    addSubview(title);
    titleView_ = title;
}

}  // namespace hx

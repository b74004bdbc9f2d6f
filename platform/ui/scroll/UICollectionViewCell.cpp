#include "platform/ui/scroll/UICollectionViewCell.h"

namespace hx {

UICollectionViewCell::UICollectionViewCell(const CGRect& frame)
    : UIView(frame), contentView_(UIView::make(CGRectMake(0, 0, frame.width(), frame.height()))) {}

const std::shared_ptr<UIView>& UICollectionViewCell::contentView() {
    // A view takes subviews only once it is shared, so the content view joins on first use.
    if (contentView_->superview().get() != this && !weak_from_this().expired()) {
        contentView_->setFrame(bounds());
        addSubview(contentView_);
        arrangeBackgrounds();
    }
    return contentView_;
}

void UICollectionViewCell::setBackgroundView(std::shared_ptr<UIView> view) {
    if (backgroundView_) backgroundView_->removeFromSuperview();
    backgroundView_ = std::move(view);
    arrangeBackgrounds();
}

void UICollectionViewCell::setSelectedBackgroundView(std::shared_ptr<UIView> view) {
    if (selectedBackgroundView_) selectedBackgroundView_->removeFromSuperview();
    selectedBackgroundView_ = std::move(view);
    arrangeBackgrounds();
}

void UICollectionViewCell::setSelected(bool selected) {
    selected_ = selected;
    arrangeBackgrounds();
}

void UICollectionViewCell::setHighlighted(bool highlighted) {
    highlighted_ = highlighted;
    arrangeBackgrounds();
}

void UICollectionViewCell::prepareForReuse() {
    selected_ = false;
    highlighted_ = false;
    arrangeBackgrounds();
}

void UICollectionViewCell::arrangeBackgrounds() {
    if (weak_from_this().expired()) return;
    // Back to front: background, selected background, content.
    std::size_t index = 0;
    if (backgroundView_) {
        backgroundView_->setFrame(bounds());
        insertSubview(backgroundView_, index++);
    }
    if (selectedBackgroundView_) {
        if (selected_ || highlighted_) {
            selectedBackgroundView_->setFrame(bounds());
            insertSubview(selectedBackgroundView_, index++);
        } else {
            selectedBackgroundView_->removeFromSuperview();
        }
    }
    if (contentView_->superview().get() == this) insertSubview(contentView_, index);
}

void UICollectionViewCell::layoutSubviews() {
    contentView();
    contentView_->setFrame(bounds());
    arrangeBackgrounds();
}

}  // namespace hx

#pragma once
// A cell of a collection view: a content view that fills it (where its views go, also those of
// its interface file), optional background views for the normal and selected states, the
// selected and highlighted states, and the reuse identifier it was made for. Cells are made and
// reused by their collection view; prepareForReuse() runs before a cell is handed out again.
//
// Cells declare outlets and actions for their interface files (InterfaceOwner): the views of a
// cell's file bind on the cell.
//
// Threads: main thread only.

#include <memory>
#include <string>

#include "platform/ui/interface/InterfaceOwner.h"
#include "platform/ui/view/UIView.h"

namespace hx {

class UICollectionViewCell : public UIView, public InterfaceOwner {
  public:
    explicit UICollectionViewCell(const CGRect& frame = CGRectZero);

    // The view the cell's content goes into (joins the cell on first use).
    const std::shared_ptr<UIView>& contentView();
    const std::shared_ptr<UIView>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(std::shared_ptr<UIView> view);
    // Shown above the background view while the cell is selected or highlighted.
    const std::shared_ptr<UIView>& selectedBackgroundView() const {
        return selectedBackgroundView_;
    }
    void setSelectedBackgroundView(std::shared_ptr<UIView> view);

    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);

    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    void setReuseIdentifier(std::string identifier) { reuseIdentifier_ = std::move(identifier); }
    // Runs before the cell is dequeued again: selection and highlight are cleared.
    virtual void prepareForReuse();

    void layoutSubviews() override;

  private:
    void arrangeBackgrounds();

    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UIView> backgroundView_;
    std::shared_ptr<UIView> selectedBackgroundView_;
    bool selected_ = false;
    bool highlighted_ = false;
    std::string reuseIdentifier_;
};

using UICollectionViewCellRef = std::shared_ptr<UICollectionViewCell>;

}  // namespace hx

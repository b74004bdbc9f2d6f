#pragma once
// A cell of the demo's collection view, from the interface file "DemoCell": a tile image and a
// frame that turns amber while the cell is selected.

#include <memory>

#include "platform/ui/controls/UIImageView.h"
#include "platform/ui/scroll/UICollectionViewCell.h"

namespace demo {

class DemoCell : public hx::UICollectionViewCell {
  public:
    DemoCell();

    std::shared_ptr<hx::UIImageView> tileImage;
    std::weak_ptr<hx::UIImageView> frameImage;

    void setSelected(bool selected) override;
    void awakeFromNib() override;
};

}  // namespace demo

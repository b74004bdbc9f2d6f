#include "examples/halidex-ui-demo/DemoCell.h"

namespace demo {

DemoCell::DemoCell() {
    declareOutlet("tileImage", tileImage);
    declareOutlet("frameImage", frameImage);
}

void DemoCell::setSelected(bool selected) {
    hx::UICollectionViewCell::setSelected(selected);
    if (auto frame = frameImage.lock())
        frame->setImage(hx::UIImage::imageNamed(selected ? "demo_frame_s" : "demo_frame"));
}

void DemoCell::awakeFromNib() {
    setSelected(isSelected());
}

}  // namespace demo

#include "platform/ui/scroll/UICollectionViewFlowLayout.h"

#include <algorithm>
#include <cmath>

namespace hx {

void UICollectionViewFlowLayout::prepareLayout(const std::vector<NSInteger>& itemsPerSection,
                                               CGSize viewSize) {
    frames_.clear();
    const bool vertical = direction_ == UICollectionViewScrollDirection::Vertical;
    // Work in "across" (the direction lines fill) and "along" (the scrolling direction).
    const double itemAcross = std::max(0.0, vertical ? itemSize_.width : itemSize_.height);
    const double itemAlong = std::max(0.0, vertical ? itemSize_.height : itemSize_.width);
    const double insetStartAcross = vertical ? sectionInset_.left : sectionInset_.top;
    const double insetEndAcross = vertical ? sectionInset_.right : sectionInset_.bottom;
    const double insetStartAlong = vertical ? sectionInset_.top : sectionInset_.left;
    const double insetEndAlong = vertical ? sectionInset_.bottom : sectionInset_.right;
    const double viewAcross = vertical ? viewSize.width : viewSize.height;
    const double available = std::max(0.0, viewAcross - insetStartAcross - insetEndAcross);
    const double minimumGap = std::max(0.0, interitemSpacing_);
    const double lineGap = std::max(0.0, lineSpacing_);

    NSInteger perLine = 1;
    if (itemAcross + minimumGap > 0)
        perLine =
            std::max<NSInteger>(1, static_cast<NSInteger>(std::floor((available + minimumGap) /
                                                                     (itemAcross + minimumGap))));
    const double gap = perLine > 1 ? (available - perLine * itemAcross) / (perLine - 1) : 0;
    const double singleOffset = perLine == 1 ? std::max(0.0, (available - itemAcross) / 2) : 0;

    double along = 0;
    for (NSInteger count : itemsPerSection) {
        count = std::max<NSInteger>(0, count);
        std::vector<CGRect> section;
        section.reserve(static_cast<std::size_t>(count));
        const double sectionStart = along + insetStartAlong;
        for (NSInteger i = 0; i < count; ++i) {
            NSInteger line = i / perLine;
            NSInteger place = i % perLine;
            double a = insetStartAcross + singleOffset + place * (itemAcross + gap);
            double b = sectionStart + line * (itemAlong + lineGap);
            section.push_back(vertical ? CGRectMake(a, b, itemAcross, itemAlong)
                                       : CGRectMake(b, a, itemAlong, itemAcross));
        }
        NSInteger lines = (count + perLine - 1) / perLine;
        double extent = lines > 0 ? lines * itemAlong + (lines - 1) * lineGap : 0;
        along = sectionStart + extent + insetEndAlong;
        frames_.push_back(std::move(section));
    }
    contentSize_ =
        vertical ? CGSizeMake(viewSize.width, along) : CGSizeMake(along, viewSize.height);
}

std::vector<UICollectionViewLayoutAttributes>
UICollectionViewFlowLayout::layoutAttributesForElementsInRect(const CGRect& rect) const {
    std::vector<UICollectionViewLayoutAttributes> result;
    for (std::size_t s = 0; s < frames_.size(); ++s)
        for (std::size_t i = 0; i < frames_[s].size(); ++i)
            if (frames_[s][i].intersects(rect))
                result.push_back({NSIndexPath::indexPathForItem(static_cast<NSInteger>(i),
                                                                static_cast<NSInteger>(s)),
                                  frames_[s][i]});
    return result;
}

std::optional<UICollectionViewLayoutAttributes>
UICollectionViewFlowLayout::layoutAttributesForItemAtIndexPath(const NSIndexPath& indexPath) const {
    if (indexPath.section < 0 || indexPath.item < 0) return std::nullopt;
    auto s = static_cast<std::size_t>(indexPath.section);
    auto i = static_cast<std::size_t>(indexPath.item);
    if (s >= frames_.size() || i >= frames_[s].size()) return std::nullopt;
    return UICollectionViewLayoutAttributes{indexPath, frames_[s][i]};
}

std::optional<NSIndexPath> UICollectionViewFlowLayout::indexPathForItemAtPoint(
    CGPoint point) const {
    for (std::size_t s = 0; s < frames_.size(); ++s)
        for (std::size_t i = 0; i < frames_[s].size(); ++i)
            if (frames_[s][i].contains(point))
                return NSIndexPath::indexPathForItem(static_cast<NSInteger>(i),
                                                     static_cast<NSInteger>(s));
    return std::nullopt;
}

}  // namespace hx

#pragma once
// Places a collection view's items in lines: rows that wrap downwards for vertical scrolling,
// columns that wrap rightwards for horizontal scrolling. Every item has the same size; a line
// holds as many items as fit with at least the minimum inter-item spacing between them, spread
// so that the line fills the section's width (a line of one item is centred); the last line
// keeps the spacing of the full ones, so its items stand under the columns above. Lines are the
// minimum line spacing apart; sections follow one another, each inside its insets.
//
// Pure layout: no views; the collection view asks it for frames.
//
// Threads: a value type.

#include <optional>
#include <vector>

#include "platform/geometry/Geometry.h"
#include "platform/ui/scroll/NSIndexPath.h"

namespace hx {

enum class UICollectionViewScrollDirection { Vertical = 0, Horizontal = 1 };

struct UICollectionViewLayoutAttributes {
    NSIndexPath indexPath;
    CGRect frame;
};

class UICollectionViewFlowLayout {
  public:
    CGSize itemSize() const { return itemSize_; }
    void setItemSize(CGSize size) { itemSize_ = size; }
    double minimumInteritemSpacing() const { return interitemSpacing_; }
    void setMinimumInteritemSpacing(double spacing) { interitemSpacing_ = spacing; }
    double minimumLineSpacing() const { return lineSpacing_; }
    void setMinimumLineSpacing(double spacing) { lineSpacing_ = spacing; }
    UICollectionViewScrollDirection scrollDirection() const { return direction_; }
    void setScrollDirection(UICollectionViewScrollDirection direction) { direction_ = direction; }
    UIEdgeInsets sectionInset() const { return sectionInset_; }
    void setSectionInset(UIEdgeInsets insets) { sectionInset_ = insets; }

    // Lays out sections of the given item counts in a view of the given size.
    void prepareLayout(const std::vector<NSInteger>& itemsPerSection, CGSize viewSize);
    // The size of everything laid out.
    CGSize collectionViewContentSize() const { return contentSize_; }
    // The items whose frames meet the rectangle, in index path order.
    std::vector<UICollectionViewLayoutAttributes> layoutAttributesForElementsInRect(
        const CGRect& rect) const;
    std::optional<UICollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(
        const NSIndexPath& indexPath) const;
    // The item under the point; nothing between items.
    std::optional<NSIndexPath> indexPathForItemAtPoint(CGPoint point) const;

  private:
    CGSize itemSize_ = {50, 50};
    double interitemSpacing_ = 10;
    double lineSpacing_ = 10;
    UICollectionViewScrollDirection direction_ = UICollectionViewScrollDirection::Vertical;
    UIEdgeInsets sectionInset_;
    std::vector<std::vector<CGRect>> frames_;  // per section, per item
    CGSize contentSize_;
};

}  // namespace hx

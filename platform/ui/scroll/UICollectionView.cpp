#include "platform/ui/scroll/UICollectionView.h"

#include <algorithm>

#include "platform/log/Log.h"
#include "platform/ui/events/UITouch.h"
#include "platform/ui/interface/UINib.h"

namespace hx {

UICollectionView::UICollectionView(const CGRect& frame,
                                   std::shared_ptr<UICollectionViewFlowLayout> layout)
    : UIScrollView(frame),
      layout_(layout ? std::move(layout) : std::make_shared<UICollectionViewFlowLayout>()) {}

UICollectionView::~UICollectionView() = default;

void UICollectionView::setCollectionViewLayout(std::shared_ptr<UICollectionViewFlowLayout> layout) {
    if (!layout) return;
    layout_ = std::move(layout);
    invalidateLayout();
}

void UICollectionView::invalidateLayout() {
    layoutPrepared_ = false;
    setNeedsLayout();
}

void UICollectionView::setDataSource(UICollectionViewDataSource* dataSource) {
    dataSource_ = dataSource;
    reloadData();
}

void UICollectionView::setDelegate(UICollectionViewDelegate* delegate) {
    collectionDelegate_ = delegate;
    UIScrollView::setDelegate(delegate);
}

void UICollectionView::registerNib(std::shared_ptr<UINib> nib, const std::string& reuseIdentifier) {
    if (!nib) {
        hxLog("Collection view: no interface file to register for \"%s\"", reuseIdentifier.c_str());
        return;
    }
    factories_[reuseIdentifier] = [nib]() -> std::shared_ptr<UICollectionViewCell> {
        std::vector<std::shared_ptr<UIView>> views = nib->instantiateWithOwner(nullptr);
        auto cell = views.empty() ? nullptr
                                  : std::dynamic_pointer_cast<UICollectionViewCell>(views.front());
        if (!cell && !views.empty())
            hxLog("Interface file %s does not start with a collection view cell",
                  nib->name().c_str());
        return cell;
    };
}

void UICollectionView::registerClass(CellFactory factory, const std::string& reuseIdentifier) {
    factories_[reuseIdentifier] = std::move(factory);
}

std::shared_ptr<UICollectionViewCell> UICollectionView::dequeueReusableCellWithReuseIdentifier(
    const std::string& reuseIdentifier, const NSIndexPath& indexPath) {
    std::shared_ptr<UICollectionViewCell> cell;
    if (auto& pool = reusable_[reuseIdentifier]; !pool.empty()) {
        cell = std::move(pool.back());
        pool.pop_back();
        cell->prepareForReuse();
    } else if (auto factory = factories_.find(reuseIdentifier); factory != factories_.end()) {
        cell = factory->second();
    } else {
        hxLog("Collection view: nothing is registered for the reuse identifier \"%s\"",
              reuseIdentifier.c_str());
    }
    if (!cell) cell = std::make_shared<UICollectionViewCell>();
    cell->setReuseIdentifier(reuseIdentifier);
    if (auto attributes = layout_->layoutAttributesForItemAtIndexPath(indexPath))
        cell->setFrame(attributes->frame);
    cell->contentView();
    return cell;
}

void UICollectionView::enqueue(const std::shared_ptr<UICollectionViewCell>& cell) {
    cell->removeFromSuperview();
    cell->setHighlighted(false);
    reusable_[cell->reuseIdentifier()].push_back(cell);
}

void UICollectionView::reloadData() {
    for (const auto& [indexPath, cell] : visible_) enqueue(cell);
    visible_.clear();
    counts_.reset();
    layoutPrepared_ = false;
    touchedItem_.reset();
    setNeedsLayout();
}

void UICollectionView::loadCounts() {
    if (counts_) return;
    std::vector<NSInteger> counts;
    if (dataSource_) {
        NSInteger sections =
            std::max<NSInteger>(0, dataSource_->numberOfSectionsInCollectionView(*this));
        for (NSInteger s = 0; s < sections; ++s)
            counts.push_back(std::max<NSInteger>(
                0, dataSource_->collectionViewNumberOfItemsInSection(*this, s)));
    }
    counts_ = std::move(counts);
    std::erase_if(selected_, [this](const NSIndexPath& indexPath) { return !isValid(indexPath); });
}

bool UICollectionView::isValid(const NSIndexPath& indexPath) {
    loadCounts();
    return indexPath.section >= 0 && indexPath.item >= 0 &&
           indexPath.section < static_cast<NSInteger>(counts_->size()) &&
           indexPath.item < (*counts_)[static_cast<std::size_t>(indexPath.section)];
}

NSInteger UICollectionView::numberOfSections() {
    loadCounts();
    return static_cast<NSInteger>(counts_->size());
}

NSInteger UICollectionView::numberOfItemsInSection(NSInteger section) {
    loadCounts();
    if (section < 0 || section >= static_cast<NSInteger>(counts_->size())) return 0;
    return (*counts_)[static_cast<std::size_t>(section)];
}

void UICollectionView::prepareLayoutIfNeeded() {
    loadCounts();
    CGSize size = bounds().size;
    if (layoutPrepared_ && size == preparedSize_) return;
    layout_->prepareLayout(*counts_, size);
    layoutPrepared_ = true;
    preparedSize_ = size;
    if (layout_->collectionViewContentSize() != contentSize())
        setContentSize(layout_->collectionViewContentSize());
    // Cells in view take their new frames below; the others can be reused.
    for (auto it = visible_.begin(); it != visible_.end();) {
        if (auto attributes = layout_->layoutAttributesForItemAtIndexPath(it->first)) {
            it->second->setFrame(attributes->frame);
            ++it;
        } else {
            enqueue(it->second);
            it = visible_.erase(it);
        }
    }
}

void UICollectionView::layoutSubviews() {
    prepareLayoutIfNeeded();
    std::vector<UICollectionViewLayoutAttributes> shown =
        layout_->layoutAttributesForElementsInRect(bounds());
    std::set<NSIndexPath> wanted;
    for (const auto& attributes : shown) wanted.insert(attributes.indexPath);
    for (auto it = visible_.begin(); it != visible_.end();) {
        if (wanted.contains(it->first)) {
            ++it;
        } else {
            enqueue(it->second);
            it = visible_.erase(it);
        }
    }
    for (const auto& attributes : shown) {
        if (visible_.contains(attributes.indexPath) || !dataSource_) continue;
        std::shared_ptr<UICollectionViewCell> cell =
            dataSource_->collectionViewCellForItemAtIndexPath(*this, attributes.indexPath);
        if (!cell) {
            hxLog("Collection view: the data source gave no cell for item %lld of section %lld",
                  static_cast<long long>(attributes.indexPath.item),
                  static_cast<long long>(attributes.indexPath.section));
            continue;
        }
        cell->setFrame(attributes.frame);
        cell->setSelected(selected_.contains(attributes.indexPath));
        addSubview(cell);
        visible_[attributes.indexPath] = cell;
    }
    UIScrollView::layoutSubviews();
}

std::shared_ptr<UICollectionViewCell> UICollectionView::cellForItemAtIndexPath(
    const NSIndexPath& indexPath) {
    layoutIfNeeded();
    auto it = visible_.find(indexPath);
    return it == visible_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<UICollectionViewCell>> UICollectionView::visibleCells() {
    layoutIfNeeded();
    std::vector<std::shared_ptr<UICollectionViewCell>> cells;
    for (const auto& [indexPath, cell] : visible_) cells.push_back(cell);
    return cells;
}

std::vector<NSIndexPath> UICollectionView::indexPathsForVisibleItems() {
    layoutIfNeeded();
    std::vector<NSIndexPath> paths;
    for (const auto& [indexPath, cell] : visible_) paths.push_back(indexPath);
    return paths;
}

std::optional<NSIndexPath> UICollectionView::indexPathForCell(const UICollectionViewCell& cell) {
    layoutIfNeeded();
    for (const auto& [indexPath, each] : visible_)
        if (each.get() == &cell) return indexPath;
    return std::nullopt;
}

std::optional<NSIndexPath> UICollectionView::indexPathForItemAtPoint(CGPoint point) {
    prepareLayoutIfNeeded();
    return layout_->indexPathForItemAtPoint(point);
}

std::optional<UICollectionViewLayoutAttributes>
UICollectionView::layoutAttributesForItemAtIndexPath(const NSIndexPath& indexPath) {
    prepareLayoutIfNeeded();
    return layout_->layoutAttributesForItemAtIndexPath(indexPath);
}

void UICollectionView::setAllowsSelection(bool allows) {
    allowsSelection_ = allows;
    if (!allows)
        for (const NSIndexPath& indexPath : std::set(selected_))
            deselectItemAtIndexPath(indexPath, false);
}

void UICollectionView::setAllowsMultipleSelection(bool allows) {
    allowsMultipleSelection_ = allows;
    if (!allows && selected_.size() > 1) {
        NSIndexPath keep = *selected_.rbegin();
        for (const NSIndexPath& indexPath : std::set(selected_))
            if (indexPath != keep) deselectItemAtIndexPath(indexPath, false);
    }
}

std::vector<NSIndexPath> UICollectionView::indexPathsForSelectedItems() {
    loadCounts();  // drops the selections a reload took away
    return {selected_.begin(), selected_.end()};
}

void UICollectionView::setCellSelected(const NSIndexPath& indexPath, bool selected) {
    if (selected)
        selected_.insert(indexPath);
    else
        selected_.erase(indexPath);
    if (auto it = visible_.find(indexPath); it != visible_.end()) it->second->setSelected(selected);
}

void UICollectionView::selectItemAtIndexPath(const NSIndexPath& indexPath, bool animated,
                                             UICollectionViewScrollPosition scrollPosition) {
    if (!allowsSelection_ || !isValid(indexPath)) return;
    if (!allowsMultipleSelection_)
        for (const NSIndexPath& other : std::set(selected_))
            if (other != indexPath) setCellSelected(other, false);
    setCellSelected(indexPath, true);
    if (scrollPosition != UICollectionViewScrollPositionNone)
        scrollToItemAtIndexPath(indexPath, scrollPosition, animated);
}

void UICollectionView::deselectItemAtIndexPath(const NSIndexPath& indexPath, bool) {
    setCellSelected(indexPath, false);
}

void UICollectionView::scrollToItemAtIndexPath(const NSIndexPath& indexPath,
                                               UICollectionViewScrollPosition position,
                                               bool animated) {
    auto attributes = layoutAttributesForItemAtIndexPath(indexPath);
    if (!attributes) return;
    const CGRect b = bounds();
    const CGRect item = attributes->frame;
    CGPoint offset = contentOffset();
    if (position & UICollectionViewScrollPositionTop) offset.y = item.minY();
    if (position & UICollectionViewScrollPositionCenteredVertically)
        offset.y = item.midY() - b.height() / 2;
    if (position & UICollectionViewScrollPositionBottom) offset.y = item.maxY() - b.height();
    if (position & UICollectionViewScrollPositionLeft) offset.x = item.minX();
    if (position & UICollectionViewScrollPositionCenteredHorizontally)
        offset.x = item.midX() - b.width() / 2;
    if (position & UICollectionViewScrollPositionRight) offset.x = item.maxX() - b.width();
    CGPoint low = minimumContentOffset();
    CGPoint high = maximumContentOffset();
    offset = CGPointMake(std::clamp(offset.x, low.x, high.x), std::clamp(offset.y, low.y, high.y));
    setContentOffset(offset, animated);
}

void UICollectionView::selectByTouch(const NSIndexPath& indexPath) {
    if (!isValid(indexPath)) return;
    if (allowsMultipleSelection_ && selected_.contains(indexPath)) {
        setCellSelected(indexPath, false);
        if (collectionDelegate_)
            collectionDelegate_->collectionViewDidDeselectItemAtIndexPath(*this, indexPath);
        return;
    }
    if (collectionDelegate_ &&
        !collectionDelegate_->collectionViewShouldSelectItemAtIndexPath(*this, indexPath))
        return;
    if (!allowsMultipleSelection_) {
        for (const NSIndexPath& other : std::set(selected_)) {
            if (other == indexPath) continue;
            setCellSelected(other, false);
            if (collectionDelegate_)
                collectionDelegate_->collectionViewDidDeselectItemAtIndexPath(*this, other);
        }
    }
    setCellSelected(indexPath, true);
    if (collectionDelegate_)
        collectionDelegate_->collectionViewDidSelectItemAtIndexPath(*this, indexPath);
}

void UICollectionView::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    // A touch that stops moving content does not select.
    const bool wasMoving = isDecelerating();
    UIScrollView::touchesBegan(touches, event);
    touchedItem_.reset();
    if (!allowsSelection_ || touches.count() != 1 || wasMoving) return;
    touchedItem_ = indexPathForItemAtPoint(touches.anyObject()->locationInView(this));
    if (touchedItem_)
        if (auto cell = cellForItemAtIndexPath(*touchedItem_)) cell->setHighlighted(true);
}

void UICollectionView::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    UIScrollView::touchesEnded(touches, event);
    std::optional<NSIndexPath> touched = touchedItem_;
    touchedItem_.reset();
    if (!touched) return;
    if (auto cell = cellForItemAtIndexPath(*touched)) cell->setHighlighted(false);
    if (indexPathForItemAtPoint(touches.anyObject()->locationInView(this)) == touched)
        selectByTouch(*touched);
}

void UICollectionView::touchesCancelled(const UITouchSet& touches, UIEvent* event) {
    UIScrollView::touchesCancelled(touches, event);
    if (touchedItem_)
        if (auto cell = cellForItemAtIndexPath(*touchedItem_)) cell->setHighlighted(false);
    touchedItem_.reset();
}

}  // namespace hx

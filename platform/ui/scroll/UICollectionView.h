#pragma once
// A scroll view of cells placed by a flow layout. The data source says how many items each
// section has and makes the cell of each one, dequeuing it from the cells registered for a reuse
// identifier (a cell interface file or a cell class); only the cells in view exist, and cells
// that scroll away are kept for reuse. A tap on a cell selects it (and, with single selection,
// deselects the one selected before), telling the delegate.
//
// Data source and delegate: plain, non-owning pointers, as the scroll view's delegate.
//
// Threads: main thread only.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/ui/scroll/NSIndexPath.h"
#include "platform/ui/scroll/UICollectionViewCell.h"
#include "platform/ui/scroll/UICollectionViewFlowLayout.h"
#include "platform/ui/scroll/UIScrollView.h"

namespace hx {

class UICollectionView;
class UINib;

class UICollectionViewDataSource {
  public:
    virtual ~UICollectionViewDataSource() = default;
    virtual NSInteger numberOfSectionsInCollectionView(UICollectionView& collectionView) {
        return 1;
    }
    virtual NSInteger collectionViewNumberOfItemsInSection(UICollectionView& collectionView,
                                                           NSInteger section) = 0;
    virtual std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        UICollectionView& collectionView, const NSIndexPath& indexPath) = 0;
};

class UICollectionViewDelegate : public UIScrollViewDelegate {
  public:
    virtual bool collectionViewShouldSelectItemAtIndexPath(UICollectionView& collectionView,
                                                           const NSIndexPath& indexPath) {
        return true;
    }
    virtual void collectionViewDidSelectItemAtIndexPath(UICollectionView& collectionView,
                                                        const NSIndexPath& indexPath) {}
    virtual void collectionViewDidDeselectItemAtIndexPath(UICollectionView& collectionView,
                                                          const NSIndexPath& indexPath) {}
};

// Where an item should stand after scrolling to it; combine one vertical and one horizontal.
using UICollectionViewScrollPosition = unsigned;
inline constexpr UICollectionViewScrollPosition UICollectionViewScrollPositionNone = 0;
inline constexpr UICollectionViewScrollPosition UICollectionViewScrollPositionTop = 1u << 0;
inline constexpr UICollectionViewScrollPosition UICollectionViewScrollPositionCenteredVertically =
    1u << 1;
inline constexpr UICollectionViewScrollPosition UICollectionViewScrollPositionBottom = 1u << 2;
inline constexpr UICollectionViewScrollPosition UICollectionViewScrollPositionLeft = 1u << 3;
inline constexpr UICollectionViewScrollPosition UICollectionViewScrollPositionCenteredHorizontally =
    1u << 4;
inline constexpr UICollectionViewScrollPosition UICollectionViewScrollPositionRight = 1u << 5;

class UICollectionView : public UIScrollView {
  public:
    using CellFactory = std::function<std::shared_ptr<UICollectionViewCell>()>;

    // initWithFrame:collectionViewLayout: (a default flow layout when null).
    explicit UICollectionView(const CGRect& frame = CGRectZero,
                              std::shared_ptr<UICollectionViewFlowLayout> layout = nullptr);
    ~UICollectionView() override;
    static std::shared_ptr<UICollectionView> make(
        const CGRect& frame, std::shared_ptr<UICollectionViewFlowLayout> layout = nullptr) {
        return std::make_shared<UICollectionView>(frame, std::move(layout));
    }

    const std::shared_ptr<UICollectionViewFlowLayout>& collectionViewLayout() const {
        return layout_;
    }
    void setCollectionViewLayout(std::shared_ptr<UICollectionViewFlowLayout> layout);
    // Call after changing the layout's sizes or spacing in place.
    void invalidateLayout();

    UICollectionViewDataSource* dataSource() const { return dataSource_; }
    void setDataSource(UICollectionViewDataSource* dataSource);
    UICollectionViewDelegate* collectionDelegate() const { return collectionDelegate_; }
    // The collection view's delegate is also its scroll view delegate.
    void setDelegate(UICollectionViewDelegate* delegate);

    // Cells for a reuse identifier: from an interface file whose first object is the cell, or
    // from a factory (registerClass<T> makes T).
    void registerNib(std::shared_ptr<UINib> nib, const std::string& reuseIdentifier);
    void registerClass(CellFactory factory, const std::string& reuseIdentifier);
    template <typename T>
    void registerClass(const std::string& reuseIdentifier) {
        registerClass([] { return std::make_shared<T>(); }, reuseIdentifier);
    }
    // A cell kept for reuse, else a new one. An identifier nothing was registered for gives a
    // plain empty cell and a log line.
    std::shared_ptr<UICollectionViewCell> dequeueReusableCellWithReuseIdentifier(
        const std::string& reuseIdentifier, const NSIndexPath& indexPath);

    // Forgets the cells and counts and asks the data source again at the next layout.
    // Selections of items that still exist are kept.
    void reloadData();
    NSInteger numberOfSections();
    NSInteger numberOfItemsInSection(NSInteger section);

    // These lay out first when needed.
    std::shared_ptr<UICollectionViewCell> cellForItemAtIndexPath(const NSIndexPath& indexPath);
    std::vector<std::shared_ptr<UICollectionViewCell>> visibleCells();
    std::vector<NSIndexPath> indexPathsForVisibleItems();
    std::optional<NSIndexPath> indexPathForCell(const UICollectionViewCell& cell);
    // Content coordinates.
    std::optional<NSIndexPath> indexPathForItemAtPoint(CGPoint point);
    std::optional<UICollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(
        const NSIndexPath& indexPath);

    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool allows);
    bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool allows);
    std::vector<NSIndexPath> indexPathsForSelectedItems();
    // Selects without telling the delegate; with single selection the others are deselected.
    void selectItemAtIndexPath(const NSIndexPath& indexPath, bool animated,
                               UICollectionViewScrollPosition scrollPosition);
    void deselectItemAtIndexPath(const NSIndexPath& indexPath, bool animated);
    void scrollToItemAtIndexPath(const NSIndexPath& indexPath,
                                 UICollectionViewScrollPosition scrollPosition, bool animated);

    void layoutSubviews() override;
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

  private:
    void loadCounts();
    void prepareLayoutIfNeeded();
    void enqueue(const std::shared_ptr<UICollectionViewCell>& cell);
    void selectByTouch(const NSIndexPath& indexPath);
    void setCellSelected(const NSIndexPath& indexPath, bool selected);
    bool isValid(const NSIndexPath& indexPath);

    std::shared_ptr<UICollectionViewFlowLayout> layout_;
    UICollectionViewDataSource* dataSource_ = nullptr;
    UICollectionViewDelegate* collectionDelegate_ = nullptr;
    std::map<std::string, CellFactory> factories_;
    std::map<std::string, std::vector<std::shared_ptr<UICollectionViewCell>>> reusable_;
    std::map<NSIndexPath, std::shared_ptr<UICollectionViewCell>> visible_;
    std::optional<std::vector<NSInteger>> counts_;
    bool layoutPrepared_ = false;
    CGSize preparedSize_;
    bool allowsSelection_ = true;
    bool allowsMultipleSelection_ = false;
    std::set<NSIndexPath> selected_;
    std::optional<NSIndexPath> touchedItem_;
};

}  // namespace hx

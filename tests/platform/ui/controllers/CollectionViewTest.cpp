// The flow layout as plain geometry, and the collection view with a data source and delegate:
// only the cells in view exist, cells that scroll away are reused, taps select (single and
// multiple), selection by code, reloads, and cells from a registered interface file.

#include <gtest/gtest.h>

#include "ControllerTestSupport.h"
#include "platform/log/CaptureScope.h"
#include "platform/ui/controls/UIImageView.h"
#include "platform/ui/interface/InterfaceClassRegistry.h"
#include "platform/ui/interface/UINib.h"
#include "platform/ui/scroll/UICollectionView.h"

namespace hx::testing {
namespace {

NSIndexPath item(NSInteger i, NSInteger section = 0) {
    return NSIndexPath::indexPathForItem(i, section);
}

// ------------------------------------------------------------------------------------------
// Flow layout

TEST(FlowLayout, RowsHoldWhatFitsAndSpreadToTheFullWidth) {
    UICollectionViewFlowLayout layout;
    layout.setItemSize(CGSizeMake(100, 80));
    layout.setMinimumInteritemSpacing(4);
    layout.setMinimumLineSpacing(6);
    layout.prepareLayout({7}, CGSizeMake(320, 500));

    // Three fit (3 x 100 + 2 x 4 <= 320); the 20 points left are shared by the two gaps.
    EXPECT_EQ(layout.layoutAttributesForItemAtIndexPath(item(0))->frame, CGRectMake(0, 0, 100, 80));
    EXPECT_EQ(layout.layoutAttributesForItemAtIndexPath(item(1))->frame,
              CGRectMake(110, 0, 100, 80));
    EXPECT_EQ(layout.layoutAttributesForItemAtIndexPath(item(2))->frame,
              CGRectMake(220, 0, 100, 80));
    EXPECT_EQ(layout.layoutAttributesForItemAtIndexPath(item(3))->frame,
              CGRectMake(0, 86, 100, 80));
    // The last, short row stands under the columns.
    EXPECT_EQ(layout.layoutAttributesForItemAtIndexPath(item(6))->frame,
              CGRectMake(0, 172, 100, 80));
    EXPECT_EQ(layout.collectionViewContentSize(), CGSizeMake(320, 252));
    EXPECT_FALSE(layout.layoutAttributesForItemAtIndexPath(item(7)));
}

TEST(FlowLayout, ASingleItemPerRowIsCentredAndInsetsFrameEachSection) {
    UICollectionViewFlowLayout layout;
    layout.setItemSize(CGSizeMake(200, 50));
    layout.setSectionInset(UIEdgeInsetsMake(10, 20, 30, 20));
    layout.prepareLayout({2, 1}, CGSizeMake(300, 400));
    EXPECT_EQ(layout.layoutAttributesForItemAtIndexPath(item(0))->frame,
              CGRectMake(50, 10, 200, 50));
    EXPECT_EQ(layout.layoutAttributesForItemAtIndexPath(item(1))->frame,
              CGRectMake(50, 70, 200, 50));
    // Section 1 starts after section 0's bottom inset, inside its own top inset.
    EXPECT_EQ(layout.layoutAttributesForItemAtIndexPath(item(0, 1))->frame,
              CGRectMake(50, 160, 200, 50));
    EXPECT_EQ(layout.collectionViewContentSize(), CGSizeMake(300, 240));
}

TEST(FlowLayout, HorizontalScrollingFillsColumnsTopToBottom) {
    UICollectionViewFlowLayout layout;
    layout.setScrollDirection(UICollectionViewScrollDirection::Horizontal);
    layout.setItemSize(CGSizeMake(60, 60));
    layout.setMinimumInteritemSpacing(0);
    layout.setMinimumLineSpacing(8);
    layout.setSectionInset(UIEdgeInsetsMake(4, 8, 4, 8));
    layout.prepareLayout({5}, CGSizeMake(320, 68));
    EXPECT_EQ(layout.layoutAttributesForItemAtIndexPath(item(0))->frame, CGRectMake(8, 4, 60, 60));
    EXPECT_EQ(layout.layoutAttributesForItemAtIndexPath(item(4))->frame,
              CGRectMake(280, 4, 60, 60));
    EXPECT_EQ(layout.collectionViewContentSize(), CGSizeMake(348, 68));
    EXPECT_EQ(layout.layoutAttributesForElementsInRect(CGRectMake(0, 0, 140, 68)).size(), 2u);
}

TEST(FlowLayout, PointsBetweenItemsHitNothing) {
    UICollectionViewFlowLayout layout;
    layout.setItemSize(CGSizeMake(100, 100));
    layout.setMinimumInteritemSpacing(10);
    layout.prepareLayout({4}, CGSizeMake(210, 400));
    EXPECT_EQ(layout.indexPathForItemAtPoint(CGPointMake(150, 150)), item(3));
    EXPECT_FALSE(layout.indexPathForItemAtPoint(CGPointMake(105, 50)));
    EXPECT_FALSE(layout.indexPathForItemAtPoint(CGPointMake(50, 105)));
}

// ------------------------------------------------------------------------------------------
// The collection view

class CountingCell : public UICollectionViewCell {
  public:
    CountingCell() { ++made; }
    void prepareForReuse() override {
        UICollectionViewCell::prepareForReuse();
        ++reused;
    }
    static inline int made = 0;
    int reused = 0;
    NSInteger shows = -1;
};

class Grid : public UICollectionViewDataSource, public UICollectionViewDelegate {
  public:
    NSInteger collectionViewNumberOfItemsInSection(UICollectionView&, NSInteger) override {
        ++countQueries;
        return count;
    }
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        UICollectionView& view, const NSIndexPath& indexPath) override {
        auto cell = view.dequeueReusableCellWithReuseIdentifier("Cell", indexPath);
        if (auto counting = std::dynamic_pointer_cast<CountingCell>(cell))
            counting->shows = indexPath.item;
        return cell;
    }
    bool collectionViewShouldSelectItemAtIndexPath(UICollectionView&,
                                                   const NSIndexPath& indexPath) override {
        return indexPath.item != refused;
    }
    void collectionViewDidSelectItemAtIndexPath(UICollectionView&,
                                                const NSIndexPath& indexPath) override {
        events.push_back("select " + std::to_string(indexPath.item));
    }
    void collectionViewDidDeselectItemAtIndexPath(UICollectionView&,
                                                  const NSIndexPath& indexPath) override {
        events.push_back("deselect " + std::to_string(indexPath.item));
    }

    NSInteger count = 30;
    NSInteger refused = -1;
    int countQueries = 0;
    std::vector<std::string> events;
};

class CollectionViewTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        CountingCell::made = 0;
        // Three 100 x 100 items a row, rows 110 points apart, two rows and a bit in view.
        auto layout = std::make_shared<UICollectionViewFlowLayout>();
        layout->setItemSize(CGSizeMake(100, 100));
        layout->setMinimumInteritemSpacing(10);
        layout->setMinimumLineSpacing(10);
        collection = UICollectionView::make(CGRectMake(0, 100, 320, 250), layout);
        collection->registerClass<CountingCell>("Cell");
        collection->setDataSource(&grid);
        collection->setDelegate(&grid);
        window->addSubview(collection);
    }
    void TearDown() override {
        collection->setDataSource(nullptr);
        collection->setDelegate(nullptr);
        ControllerTest::TearDown();
    }
    void tapItem(NSInteger i) {
        auto cell = collection->cellForItemAtIndexPath(item(i));
        ASSERT_TRUE(cell) << "item " << i << " is not in view";
        tap(*cell);
    }

    Grid grid;
    std::shared_ptr<UICollectionView> collection;
};

TEST_F(CollectionViewTest, OnlyTheCellsInViewAreMadeAndEachShowsItsItem) {
    EXPECT_EQ(collection->indexPathsForVisibleItems().size(), 9u) << "rows at 0, 110 and 220";
    EXPECT_EQ(CountingCell::made, 9);
    auto cell =
        std::dynamic_pointer_cast<CountingCell>(collection->cellForItemAtIndexPath(item(4)));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->shows, 4);
    EXPECT_EQ(cell->frame(), CGRectMake(110, 110, 100, 100));
    EXPECT_EQ(cell->superview(), collection);
    EXPECT_FALSE(collection->cellForItemAtIndexPath(item(20)));
    EXPECT_EQ(collection->contentSize(), CGSizeMake(320, 1090));
    EXPECT_EQ(collection->indexPathForCell(*cell), item(4));
}

TEST_F(CollectionViewTest, CellsThatScrollAwayAreReused) {
    std::vector<std::shared_ptr<UICollectionViewCell>> first = collection->visibleCells();
    collection->setContentOffset(CGPointMake(0, 660));
    std::vector<std::shared_ptr<UICollectionViewCell>> later = collection->visibleCells();
    ASSERT_EQ(later.size(), 9u);
    EXPECT_EQ(CountingCell::made, 9) << "no new cells: the old ones came back";
    for (const auto& cell : later) {
        auto counting = std::dynamic_pointer_cast<CountingCell>(cell);
        EXPECT_EQ(counting->reused, 1);
        EXPECT_GE(counting->shows, 18);
        EXPECT_NE(std::find(first.begin(), first.end(), cell), first.end());
    }
}

TEST_F(CollectionViewTest, ATapSelectsAndSingleSelectionDeselectsTheOther) {
    tapItem(1);
    tapItem(4);
    EXPECT_EQ(grid.events, (std::vector<std::string>{"select 1", "deselect 1", "select 4"}));
    EXPECT_EQ(collection->indexPathsForSelectedItems(), std::vector<NSIndexPath>{item(4)});
    EXPECT_TRUE(collection->cellForItemAtIndexPath(item(4))->isSelected());
    EXPECT_FALSE(collection->cellForItemAtIndexPath(item(1))->isSelected());

    // Tapping the selected item again selects it again, without a deselection.
    tapItem(4);
    EXPECT_EQ(grid.events.back(), "select 4");
    EXPECT_EQ(grid.events.size(), 4u);

    grid.refused = 2;
    tapItem(2);
    EXPECT_EQ(grid.events.size(), 4u) << "the delegate refused";
}

TEST_F(CollectionViewTest, MultipleSelectionTogglesItems) {
    collection->setAllowsMultipleSelection(true);
    tapItem(0);
    tapItem(2);
    tapItem(0);
    EXPECT_EQ(grid.events, (std::vector<std::string>{"select 0", "select 2", "deselect 0"}));
    EXPECT_EQ(collection->indexPathsForSelectedItems(), std::vector<NSIndexPath>{item(2)});
}

TEST_F(CollectionViewTest, ADragAcrossCellsScrollsWithoutSelecting) {
    host->drag(CGPointMake(160, 320), CGPointMake(160, 150), 10, 0.05);
    EXPECT_TRUE(grid.events.empty());
    EXPECT_GT(collection->contentOffset().y, 100);
    EXPECT_TRUE(collection->indexPathsForSelectedItems().empty());
}

TEST_F(CollectionViewTest, SelectingByCodeTellsNoDelegateAndKeepsTheOffset) {
    collection->selectItemAtIndexPath(item(25), false, UICollectionViewScrollPositionNone);
    EXPECT_TRUE(grid.events.empty());
    EXPECT_EQ(collection->contentOffset(), CGPointMake(0, 0));
    EXPECT_EQ(collection->indexPathsForSelectedItems(), std::vector<NSIndexPath>{item(25)});
    collection->selectItemAtIndexPath(item(3), false, UICollectionViewScrollPositionNone);
    EXPECT_EQ(collection->indexPathsForSelectedItems(), std::vector<NSIndexPath>{item(3)});

    // Scrolling the selected item into view puts it at the top, within the content.
    collection->selectItemAtIndexPath(item(27), false, UICollectionViewScrollPositionTop);
    EXPECT_EQ(collection->contentOffset(), CGPointMake(0, 1090 - 250));
    auto cell = collection->cellForItemAtIndexPath(item(27));
    ASSERT_TRUE(cell);
    EXPECT_TRUE(cell->isSelected()) << "a cell coming into view shows its selection";

    collection->setAllowsSelection(false);
    EXPECT_TRUE(collection->indexPathsForSelectedItems().empty());
}

TEST_F(CollectionViewTest, ReloadAsksAgainAndKeepsSelectionsThatStillExist) {
    collection->setAllowsMultipleSelection(true);
    collection->selectItemAtIndexPath(item(2), false, UICollectionViewScrollPositionNone);
    collection->selectItemAtIndexPath(item(20), false, UICollectionViewScrollPositionNone);
    int queries = grid.countQueries;
    grid.count = 5;
    collection->reloadData();
    EXPECT_EQ(collection->numberOfItemsInSection(0), 5);
    EXPECT_GT(grid.countQueries, queries);
    EXPECT_EQ(collection->visibleCells().size(), 5u);
    EXPECT_EQ(collection->contentSize(), CGSizeMake(320, 210));
    EXPECT_EQ(collection->indexPathsForSelectedItems(), std::vector<NSIndexPath>{item(2)});
    EXPECT_TRUE(collection->cellForItemAtIndexPath(item(2))->isSelected());

    grid.count = 1;
    collection->reloadData();
    EXPECT_TRUE(collection->indexPathsForSelectedItems().empty());
}

class TileCell : public UICollectionViewCell {
  public:
    TileCell() { declareOutlet("picture", picture); }
    void awakeFromNib() override { awoke = picture != nullptr; }
    std::shared_ptr<UIImageView> picture;
    bool awoke = false;
};

TEST_F(CollectionViewTest, CellsComeFromTheirRegisteredInterfaceFile) {
    InterfaceClassRegistry::shared().registerClass<TileCell>("TestTileCell",
                                                             "UICollectionViewCell");
    auto nib = UINib::nibWithText(R"({ "objects": [
        { "class": "TestTileCell", "frame": [0, 0, 100, 100], "selectedBackgroundColor": "orange",
          "subviews": [ { "class": "UIImageView", "outlet": "picture", "frame": [5, 5, 90, 90] } ] } ] })",
                                  "TestTileCell");
    ASSERT_TRUE(nib);
    collection->registerNib(nib, "Cell");
    collection->reloadData();
    auto cell = std::dynamic_pointer_cast<TileCell>(collection->cellForItemAtIndexPath(item(0)));
    ASSERT_TRUE(cell);
    EXPECT_TRUE(cell->awoke);
    EXPECT_EQ(cell->picture->superview(), cell->contentView())
        << "the file's views go in the content";
    EXPECT_EQ(cell->reuseIdentifier(), "Cell");
    ASSERT_TRUE(cell->selectedBackgroundView());
    tap(*cell);
    EXPECT_EQ(cell->selectedBackgroundView()->superview().get(), cell.get());
}

TEST_F(CollectionViewTest, AnUnknownReuseIdentifierGivesAnEmptyCellAndALogLine) {
    log::CaptureScope log;
    auto cell = collection->dequeueReusableCellWithReuseIdentifier("Nope", item(0));
    ASSERT_TRUE(cell);
    EXPECT_TRUE(log.contains("\"Nope\"")) << ::testing::PrintToString(log.messages());
}

}  // namespace
}  // namespace hx::testing

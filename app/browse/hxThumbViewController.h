#pragma once
// The photo browser's first screen: a grid of thumbnails of the library list, newest first, in
// a navigation controller. Tapping a thumbnail pushes the photo viewer at that photo; Done
// closes the browser. The camera screen makes one grid and keeps it for its whole life; the
// grid owns the one viewer, and holds the library list and the album the camera screen keeps
// current.
//
// Threads: main thread only. The list and the album are written only on the main thread (the
// camera screen's list builds and change handling run there), so the grid and the viewer read
// them without locks; thumbnails arrive on the main queue.

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/browse/BrowseProtocols.h"
#include "platform/photos/fetch/Asset.h"
#include "platform/photos/fetch/AssetCollection.h"
#include "platform/photos/imaging/ImageRequestOptions.h"
#include "platform/ui/controllers/UIViewController.h"
#include "platform/ui/controls/UIImageView.h"
#include "platform/ui/navigation/UIBarButtonItem.h"
#include "platform/ui/scroll/UICollectionView.h"

namespace hx::app {

class mPvViewController;

// A grid cell, from the interface file "hxThumbCollectionCell": one aspect-filling image view.
// It remembers which photo it was last asked to show, so that a thumbnail arriving after the
// cell was reused for another photo is dropped.
class hxThumbCollectionCell : public UICollectionViewCell {
  public:
    explicit hxThumbCollectionCell(const CGRect& frame = CGRectZero);
    static void registerInterfaceClass();

    std::weak_ptr<UIImageView> thumbImage;
    // The library identifier of the photo the cell shows, and its request in flight.
    std::string assetIdentifier;
    photos::ImageRequestID requestID = photos::PHInvalidImageRequestID;
};

class hxThumbViewController : public UIViewController,
                              public UICollectionViewDataSource,
                              public UICollectionViewDelegate,
                              public mPvViewControllerDelegate,
                              public hxScriptableScreen {
  public:
    // Thumbnails are asked for at the cell's size, at most this many points a side (times the
    // screen's scale).
    static constexpr double kThumbnailPoints = 160;

    hxThumbViewController();
    ~hxThumbViewController() override;

    // The library's identifiers, newest first after a full build; later arrivals at the end.
    std::vector<std::string> pvphotos;
    // The application's album; null when album saving is off or it is unknown.
    photos::AssetCollectionRef album;
    hxThumbViewControllerDelegate* delegate = nullptr;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void willTransitionToTraitCollection(
        const UITraitCollection& collection,
        const std::shared_ptr<UIViewControllerTransitionCoordinator>& coordinator) override;
    void viewWillTransitionToSize(
        CGSize, const std::shared_ptr<UIViewControllerTransitionCoordinator>&) override {}
    bool prefersStatusBarHidden() const override { return true; }
    UIInterfaceOrientationMask supportedInterfaceOrientations() const override;

    // Done: closes the browser without animation.
    void closePv();
    // Shows the list as it is now.
    void updateImage();

    NSInteger collectionViewNumberOfItemsInSection(UICollectionView& collectionView,
                                                   NSInteger section) override;
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        UICollectionView& collectionView, const NSIndexPath& indexPath) override;
    void collectionViewDidSelectItemAtIndexPath(UICollectionView& collectionView,
                                                const NSIndexPath& indexPath) override;

    void updatePvphotos(mPvViewController& viewer) override;
    std::shared_ptr<UIView> viewForField(const std::string& field) const override;

    const std::shared_ptr<mPvViewController>& viewer() const { return _pvViewController; }

    std::shared_ptr<UICollectionView> _thumbCollectionView;
    std::shared_ptr<UIBarButtonItem> _doneButton;

  private:
    // The grid fills the screen below the navigation bar.
    void layoutGrid();
    // The asset of the photo at `row` of the list; null when the library no longer has it.
    photos::AssetRef assetForRow(size_t row);

    std::shared_ptr<mPvViewController> _pvViewController;
    // The cells' assets by identifier, fetched many rows at a time: one library query serves a
    // screenful of cells. Forgotten whenever the list is shown anew, so edits are seen.
    std::unordered_map<std::string, photos::AssetRef> _cellAssets;
    bool _close = false;
    float _sWidth = 0, _sHeight = 0;
};

}  // namespace hx::app

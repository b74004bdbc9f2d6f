#pragma once
// The editing extension's screen and its content-editing protocol: a preview of the photo over
// a horizontal grid of ten rows (no film, then the nine monochrome films). Choosing a row
// renders the display-size image through it; Done renders the full-size photo on a background
// queue, writes it as JPEG and records the row as adjustment data.
//
// Threads: main thread, except imageProcess (any thread) and the full-size render, which runs
// on the global queue and touches only the input, a copy of filternumber and the output.

#include <cstdint>
#include <memory>

#include "platform/photos/editing/ContentEditingController.h"
#include "platform/photos/editing/ContentEditingInput.h"
#include "platform/ui/controllers/UIViewController.h"
#include "platform/ui/controls/UIImageView.h"
#include "platform/ui/drawing/UIImage.h"
#include "platform/ui/scroll/UICollectionView.h"

namespace hx::editing {

class PhotoEditingViewController : public UIViewController,
                                   public UICollectionViewDataSource,
                                   public UICollectionViewDelegate,
                                   public photos::ContentEditingController {
  public:
    PhotoEditingViewController();

    std::shared_ptr<const photos::ContentEditingInput> contentEditingInput;
    UIImageRef inputImage;
    std::weak_ptr<UIImageView> previewImageView;
    std::weak_ptr<UICollectionView> collectionView;
    int32_t filternumber = 0;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // Content-editing protocol.
    bool canHandleAdjustmentData(const photos::AdjustmentData& adjustmentData) override;
    void startContentEditingWithInput(std::shared_ptr<const photos::ContentEditingInput> input,
                                      image::ImageRef placeholderImage) override;
    void finishContentEditingWithCompletionHandler(CompletionHandler completionHandler) override;
    bool shouldShowCancelConfirmation() override;
    void cancelContentEditing() override;

    void updateFilterPreview();
    // A new upright image of `image` with the film of filternumber; null when it cannot be made.
    UIImageRef imageProcess(const UIImageRef& image, bool preview, int32_t orientation);
    // The image orientations up, down, left, right and their mirrored forms (0 to 7) as Exif
    // orientations 1, 3, 8, 6, 2, 4, 5, 7; 0 for anything else.
    static int32_t orientationFromImageOrientation(int imageOrientation);
    void updateSelectionForCell(UICollectionViewCell& cell);

    // Grid.
    NSInteger numberOfSectionsInCollectionView(UICollectionView& collectionView) override;
    NSInteger collectionViewNumberOfItemsInSection(UICollectionView& collectionView,
                                                   NSInteger section) override;
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        UICollectionView& collectionView, const NSIndexPath& indexPath) override;
    void collectionViewDidSelectItemAtIndexPath(UICollectionView& collectionView,
                                                const NSIndexPath& indexPath) override;
    void collectionViewDidDeselectItemAtIndexPath(UICollectionView& collectionView,
                                                  const NSIndexPath& indexPath) override;

  private:
    // The grid along the bottom of whatever size the view has, the preview above it.
    void layoutViews();
};

}  // namespace hx::editing

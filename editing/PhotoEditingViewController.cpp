#include "editing/PhotoEditingViewController.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "editing/FilterAdjustment.h"
#include "editing/FilterRender.h"
#include "editing/FilterRows.h"
#include "platform/image/ImageTypes.h"
#include "platform/image/PropertyDictionary.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/image/io/ImageSource.h"
#include "platform/log/Log.h"
#include "platform/photos/editing/ContentEditingOutput.h"
#include "platform/runloop/DispatchQueue.h"

namespace hx::editing {

namespace {

constexpr const char* kCellIdentifier = "filterCell";
constexpr int kThumbnailTag = 998;
constexpr int kTitleTag = 999;
constexpr double kSelectedBorderWidth = 2;
constexpr double kJpegQuality = double(0.9f);
// Points: the grid's height, the margin round the preview, and the host's bar over the view.
constexpr double kGridHeight = 112;
constexpr double kMargin = 8;
constexpr double kBarHeight = 56;

}  // namespace

PhotoEditingViewController::PhotoEditingViewController()
    : UIViewController("PhotoEditingViewController") {
    declareOutlet("previewImageView", previewImageView);
    declareOutlet("collectionView", collectionView);
}

void PhotoEditingViewController::viewDidLoad() {
    filternumber = 0;
    if (auto grid = collectionView.lock()) {
        grid->setAlwaysBounceHorizontal(true);
        grid->setAllowsMultipleSelection(false);
        grid->setDataSource(this);
        grid->setDelegate(this);
    }
    layoutViews();
}

void PhotoEditingViewController::viewWillAppear(bool) {
    layoutViews();
}

void PhotoEditingViewController::layoutViews() {
    const CGRect bounds = view()->bounds();
    const UIEdgeInsets safe = view()->safeAreaInsets();
    const double gridTop = bounds.height() - safe.bottom - kGridHeight;
    if (auto grid = collectionView.lock())
        grid->setFrame(CGRectMake(0, gridTop, bounds.width(), kGridHeight));
    const double previewTop = safe.top + kBarHeight + kMargin;
    if (auto preview = previewImageView.lock())
        preview->setFrame(CGRectMake(kMargin, previewTop, bounds.width() - 2 * kMargin,
                                     std::max(0.0, gridTop - kMargin - previewTop)));
}

bool PhotoEditingViewController::canHandleAdjustmentData(const photos::AdjustmentData&) {
    return false;
}

void PhotoEditingViewController::startContentEditingWithInput(
    std::shared_ptr<const photos::ContentEditingInput> input, image::ImageRef) {
    contentEditingInput = std::move(input);
    if (contentEditingInput && contentEditingInput->mediaType() == photos::MediaType::Image) {
        if (image::ImageRef pixels = contentEditingInput->displaySizeImage())
            inputImage = UIImage::imageWithCGImage(
                pixels, 1,
                UIImageOrientationFromExif(contentEditingInput->displaySizeImageOrientation()));
    }
    loadViewIfNeeded();
    if (auto preview = previewImageView.lock()) preview->setImage(inputImage);
}

void PhotoEditingViewController::finishContentEditingWithCompletionHandler(
    CompletionHandler completionHandler) {
    auto input = contentEditingInput;
    const int32_t row = filternumber;
    DispatchQueue::global().async([input, row, completionHandler = std::move(completionHandler)] {
        if (!input) {
            hxLog("halidexfilter: finished without an input");
            completionHandler(nullptr);
            return;
        }
        auto output = std::make_shared<photos::ContentEditingOutput>(*input);
        output->setAdjustmentData(makeAdjustmentData(row));
        if (input->mediaType() != photos::MediaType::Image) {
            completionHandler(output);
            return;
        }
        image::ImageSourceRef source = image::ImageSource::createWithURL(input->fullSizeImageURL());
        image::ImageRef full = source ? source->createImageAtIndex(0) : nullptr;
        if (!full) {
            hxLog("halidexfilter: cannot read the photo %s", input->fullSizeImageURL().c_str());
            completionHandler(nullptr);
            return;
        }
        std::string error;
        image::ImageRef rendered =
            renderFilter(*full, row, false, input->fullSizeImageOrientation(), &error);
        if (!rendered) {
            hxLog("halidexfilter: cannot render the photo: %s", error.c_str());
            completionHandler(nullptr);
            return;
        }
        full.reset();
        auto destination = image::ImageDestination::createWithURL(output->renderedContentURL(),
                                                                  image::kUTTypeJPEG, 1);
        image::PropertyDictionary options;
        options.set(image::kCGImageDestinationLossyCompressionQuality, kJpegQuality);
        if (!destination) {
            completionHandler(nullptr);
            return;
        }
        destination->addImage(rendered, options);
        if (!destination->finalize()) {
            hxLog("halidexfilter: cannot write %s", output->renderedContentURL().c_str());
            completionHandler(nullptr);
            return;
        }
        completionHandler(output);
    });
}

bool PhotoEditingViewController::shouldShowCancelConfirmation() {
    return false;
}

void PhotoEditingViewController::cancelContentEditing() {}

void PhotoEditingViewController::updateFilterPreview() {
    if (!inputImage) return;
    UIImageRef result = imageProcess(
        inputImage, true, orientationFromImageOrientation(int(inputImage->imageOrientation())));
    if (auto preview = previewImageView.lock()) preview->setImage(result);
}

UIImageRef PhotoEditingViewController::imageProcess(const UIImageRef& image, bool preview,
                                                    int32_t orientation) {
    if (!image || !image->CGImage()) return nullptr;
    std::string error;
    image::ImageRef rendered =
        renderFilter(*image->CGImage(), filternumber, preview, orientation, &error);
    if (!rendered) {
        hxLog("halidexfilter: %s", error.c_str());
        return nullptr;
    }
    return UIImage::imageWithCGImage(rendered, 1, UIImageOrientation::Up);
}

int32_t PhotoEditingViewController::orientationFromImageOrientation(int imageOrientation) {
    static constexpr int32_t kExif[8] = {1, 3, 8, 6, 2, 4, 5, 7};
    return imageOrientation >= 0 && imageOrientation < 8 ? kExif[imageOrientation] : 0;
}

void PhotoEditingViewController::updateSelectionForCell(UICollectionViewCell& cell) {
    auto thumbnail = cell.viewWithTag(kThumbnailTag);
    if (!thumbnail) return;
    thumbnail->layer().setBorderColor(view()->tintColor());
    thumbnail->layer().setBorderWidth(cell.isSelected() ? kSelectedBorderWidth : 0);
}

NSInteger PhotoEditingViewController::numberOfSectionsInCollectionView(UICollectionView&) {
    return 1;
}

NSInteger PhotoEditingViewController::collectionViewNumberOfItemsInSection(UICollectionView&,
                                                                           NSInteger) {
    return kFilterRowCount;
}

std::shared_ptr<UICollectionViewCell>
PhotoEditingViewController::collectionViewCellForItemAtIndexPath(UICollectionView& grid,
                                                                 const NSIndexPath& indexPath) {
    auto cell = grid.dequeueReusableCellWithReuseIdentifier(kCellIdentifier, indexPath);
    if (!cell) return cell;
    const long long row = static_cast<long long>(indexPath.row());
    char name[32];
    if (auto thumbnail = std::dynamic_pointer_cast<UIImageView>(cell->viewWithTag(kThumbnailTag))) {
        if (row == 0) {
            thumbnail->setImage(UIImage::imageNamed("film_s"));
        } else {
            std::snprintf(name, sizeof name, "film_s%lld", row - 1);
            thumbnail->setImage(UIImage::imageNamed(name));
        }
    }
    if (auto title = std::dynamic_pointer_cast<UIImageView>(cell->viewWithTag(kTitleTag))) {
        if (row == 0) {
            title->setImage(nullptr);
        } else {
            std::snprintf(name, sizeof name, "film_title_%lld", row - 1);
            title->setImage(UIImage::imageNamed(name));
        }
    }
    updateSelectionForCell(*cell);
    return cell;
}

void PhotoEditingViewController::collectionViewDidSelectItemAtIndexPath(
    UICollectionView& grid, const NSIndexPath& indexPath) {
    filternumber = static_cast<int32_t>(indexPath.row());
    if (auto cell = grid.cellForItemAtIndexPath(indexPath)) updateSelectionForCell(*cell);
    updateFilterPreview();
}

void PhotoEditingViewController::collectionViewDidDeselectItemAtIndexPath(
    UICollectionView& grid, const NSIndexPath& indexPath) {
    if (auto cell = grid.cellForItemAtIndexPath(indexPath)) updateSelectionForCell(*cell);
}

}  // namespace hx::editing

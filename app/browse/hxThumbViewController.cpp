#include "app/browse/hxThumbViewController.h"

#include <algorithm>

#include "app/browse/BrowseSupport.h"
#include "app/browse/mPvViewController.h"
#include "platform/log/Log.h"
#include "platform/photos/fetch/Asset.h"
#include "platform/photos/imaging/ImageManager.h"
#include "platform/ui/interface/InterfaceClassRegistry.h"
#include "platform/ui/interface/UINib.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/navigation/UINavigationItem.h"
#include "platform/ui/window/UIScreen.h"
#include "platform/ui/window/UIWindowScene.h"

namespace hx::app {

namespace {

constexpr const char* kCellIdentifier = "Cell";

bool isPortrait(UIInterfaceOrientation o) {
    return o == UIInterfaceOrientation::Portrait || o == UIInterfaceOrientation::PortraitUpsideDown;
}
bool isLandscape(UIInterfaceOrientation o) {
    return o == UIInterfaceOrientation::LandscapeLeft ||
           o == UIInterfaceOrientation::LandscapeRight;
}

}  // namespace

hxThumbCollectionCell::hxThumbCollectionCell(const CGRect& frame) : UICollectionViewCell(frame) {
    declareOutlet("thumbImage", thumbImage);
}

void hxThumbCollectionCell::registerInterfaceClass() {
    InterfaceClassRegistry::shared().registerClass<hxThumbCollectionCell>("hxThumbCollectionCell",
                                                                          "UICollectionViewCell");
}

hxThumbViewController::hxThumbViewController() : UIViewController("hxThumbViewController") {
    hxThumbCollectionCell::registerInterfaceClass();
    declareOutlet("_thumbCollectionView", _thumbCollectionView);
    const CGRect screen = UIScreen::mainScreen().bounds();
    _sHeight = static_cast<float>(screen.height());
    _sWidth = static_cast<float>(screen.width());
}

hxThumbViewController::~hxThumbViewController() {
    if (_thumbCollectionView) {
        _thumbCollectionView->setDataSource(nullptr);
        _thumbCollectionView->setDelegate(nullptr);
    }
    if (_pvViewController) _pvViewController->delegate = nullptr;
}

UIInterfaceOrientationMask hxThumbViewController::supportedInterfaceOrientations() const {
    return UIInterfaceOrientationMaskAll;
}

void hxThumbViewController::viewDidLoad() {
    _doneButton = UIBarButtonItem::initWithBarButtonSystemItem(
        UIBarButtonSystemItem::Done, this,
        UIBarButtonItem::actionFor(this, &hxThumbViewController::closePv));
    navigationItem().setRightBarButtonItem(_doneButton);
    if (_thumbCollectionView) {
        _thumbCollectionView->registerNib(UINib::nibWithNibName("hxThumbCollectionCell"),
                                          kCellIdentifier);
        _thumbCollectionView->setAllowsMultipleSelection(false);
        _thumbCollectionView->setAllowsSelection(true);
        _thumbCollectionView->setIndicatorStyle(UIScrollViewIndicatorStyle::White);
        _thumbCollectionView->setDataSource(this);
        _thumbCollectionView->setDelegate(this);
    } else {
        hxLog("the thumbnail grid has no collection view");
    }
    _pvViewController = std::make_shared<mPvViewController>();
    _pvViewController->delegate = this;
    _close = false;
}

void hxThumbViewController::layoutGrid() {
    if (!_thumbCollectionView) return;
    const CGRect bounds = view()->bounds();
    double top = 0;
    if (auto* navigation = navigationController()) {
        if (!navigation->isNavigationBarHidden()) {
            const auto& bar = navigation->navigationBar();
            top = bar->convertRectToView(bar->bounds(), view().get()).maxY();
        }
    }
    top = std::max(0.0, std::min(top, bounds.height()));
    _thumbCollectionView->setFrame(CGRectMake(0, top, bounds.width(), bounds.height() - top));
}

void hxThumbViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (auto* navigation = navigationController()) {
        navigation->setToolbarHidden(true, false);
        navigation->setNavigationBarHidden(false, false);
    }
    layoutGrid();
    updateImage();
    _close = false;
}

void hxThumbViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    layoutGrid();
    if (_thumbCollectionView) _thumbCollectionView->flashScrollIndicators();
}

void hxThumbViewController::viewWillDisappear(bool animated) {
    UIViewController::viewWillDisappear(animated);
    if (delegate) delegate->willCloseThumbViewController(*this);
}

void hxThumbViewController::willTransitionToTraitCollection(
    const UITraitCollection& collection,
    const std::shared_ptr<UIViewControllerTransitionCoordinator>& coordinator) {
    UIViewController::willTransitionToTraitCollection(collection, coordinator);
    auto relayout = [this] {
        if (_close || !_thumbCollectionView) return;
        const auto o = UIWindowScene::mainScene().interfaceOrientation();
        if (isPortrait(o) || isLandscape(o)) layoutGrid();
    };
    if (coordinator)
        coordinator->animateAlongsideTransition([relayout](auto&) { relayout(); }, nullptr);
    else
        relayout();
}

void hxThumbViewController::closePv() {
    _close = true;
    if (auto* navigation = navigationController()) navigation->dismissViewControllerAnimated(false);
}

void hxThumbViewController::updateImage() {
    _cellAssets.clear();
    if (_thumbCollectionView) _thumbCollectionView->reloadData();
}

photos::AssetRef hxThumbViewController::assetForRow(size_t row) {
    // Rows around the one asked for, more of them ahead: the way the grid is usually scrolled.
    constexpr size_t kRowsBehind = 32, kRowsAhead = 96, kMostKept = 4096;
    const std::string& identifier = pvphotos[row];
    if (auto found = _cellAssets.find(identifier); found != _cellAssets.end()) return found->second;
    if (_cellAssets.size() > kMostKept) _cellAssets.clear();
    std::vector<std::string> wanted;
    const size_t end = std::min(pvphotos.size(), row + kRowsAhead);
    for (size_t i = row > kRowsBehind ? row - kRowsBehind : 0; i < end; ++i)
        if (!_cellAssets.count(pvphotos[i])) wanted.push_back(pvphotos[i]);
    for (const auto& asset : photos::Asset::fetchAssetsWithLocalIdentifiers(wanted, nullptr))
        if (asset) _cellAssets[asset->localIdentifier()] = asset;
    // Remembered even when missing, so that a photo gone from the library is not asked for again
    // with every redraw until the list is rebuilt.
    return _cellAssets[identifier];
}

NSInteger hxThumbViewController::collectionViewNumberOfItemsInSection(UICollectionView&,
                                                                      NSInteger) {
    return static_cast<NSInteger>(pvphotos.size());
}

std::shared_ptr<UICollectionViewCell> hxThumbViewController::collectionViewCellForItemAtIndexPath(
    UICollectionView& collectionView, const NSIndexPath& indexPath) {
    auto cell = collectionView.dequeueReusableCellWithReuseIdentifier(kCellIdentifier, indexPath);
    auto thumb = std::dynamic_pointer_cast<hxThumbCollectionCell>(cell);
    if (!thumb) return cell;
    auto& manager = photos::ImageManager::defaultManager();
    // A reused cell forgets the photo it showed and the request it was waiting for.
    if (thumb->requestID != photos::PHInvalidImageRequestID)
        manager.cancelImageRequest(thumb->requestID);
    thumb->requestID = photos::PHInvalidImageRequestID;
    auto imageView = thumb->thumbImage.lock();
    if (imageView) imageView->setImage(nullptr);
    const auto row = indexPath.row();
    if (row < 0 || static_cast<size_t>(row) >= pvphotos.size()) {
        thumb->assetIdentifier.clear();
        return cell;
    }
    const std::string identifier = pvphotos[static_cast<size_t>(row)];
    thumb->assetIdentifier = identifier;
    auto asset = assetForRow(static_cast<size_t>(row));
    if (!asset) {
        hxLog("no photo %s in the library for the grid", identifier.c_str());
        return cell;
    }
    const double scale = UIScreen::mainScreen().scale();
    // The cell's own pixel size: small enough to come from the stored thumbnail.
    const CGSize cellSize = collectionView.collectionViewLayout()->itemSize();
    const double side =
        std::min(kThumbnailPoints, std::max(cellSize.width, cellSize.height)) * scale;
    photos::ImageRequestOptions options;
    options.deliveryMode = photos::ImageRequestOptionsDeliveryMode::FastFormat;
    options.resizeMode = photos::ImageRequestOptionsResizeMode::Exact;
    std::weak_ptr<hxThumbCollectionCell> weakCell = thumb;
    thumb->requestID = manager.requestImageForAsset(
        asset, {side, side}, photos::ImageContentMode::AspectFill, &options,
        [weakCell, identifier, scale](image::ImageRef result, const photos::ImageResultInfo& info) {
            auto cell = weakCell.lock();
            // A cell reused for another photo meanwhile drops this one.
            if (!cell || cell->assetIdentifier != identifier) return;
            cell->requestID = photos::PHInvalidImageRequestID;
            if (!result) return;
            if (auto view = cell->thumbImage.lock())
                view->setImage(UIImage::imageWithCGImage(
                    result, scale, UIImageOrientationFromExif(info.orientation)));
        });
    return cell;
}

void hxThumbViewController::collectionViewDidSelectItemAtIndexPath(UICollectionView& collectionView,
                                                                   const NSIndexPath& indexPath) {
    const auto row = indexPath.row();
    if (!_pvViewController || row < 0 || static_cast<size_t>(row) >= pvphotos.size()) return;
    _pvViewController->pvNumber = static_cast<int32_t>(row);
    _pvViewController->pvphotos = pvphotos;
    const auto o = UIWindowScene::mainScene().interfaceOrientation();
    const int w = static_cast<int>(collectionView.frame().width());
    // The viewer covers the whole screen, the grid only what lies below the bar.
    const int h = static_cast<int>(view()->bounds().height());
    if (isLandscape(o)) {
        _pvViewController->sHeight = static_cast<float>(w);
        _pvViewController->sWidth = static_cast<float>(h);
    } else if (isPortrait(o)) {
        _pvViewController->sHeight = static_cast<float>(h);
        _pvViewController->sWidth = static_cast<float>(w);
    }
    collectionView.deselectItemAtIndexPath(indexPath, false);
    if (auto* navigation = navigationController())
        navigation->pushViewController(_pvViewController, true);
}

void hxThumbViewController::updatePvphotos(mPvViewController& viewer) {
    viewer.pvphotos = pvphotos;
}

std::shared_ptr<UIView> hxThumbViewController::viewForField(const std::string& field) const {
    if (field == "_thumbCollectionView") return _thumbCollectionView;
    if (field == "_doneButton" && _doneButton) return _doneButton->view();
    return nullptr;
}

}  // namespace hx::app

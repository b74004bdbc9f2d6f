#include "app/browse/hxFilterViewController.h"

#include "app/browse/BrowseSupport.h"
#include "app/camera/hxFilmCollectionCell.h"
#include "app/capture/PhotoMetadata.h"
#include "platform/image/io/ImageSource.h"
#include "platform/log/Log.h"
#include "platform/photos/fetch/Asset.h"
#include "platform/photos/imaging/ImageManager.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/interface/UINib.h"
#include "platform/ui/window/UIScreen.h"

namespace hx::app {

namespace {

constexpr const char* kFilmCellIdentifier = "Cell";

}  // namespace

hxFilterViewController::hxFilterViewController() : UIViewController("hxFilterViewController") {
    hxFilmCollectionCell::registerInterfaceClass();
    declareOutlet("_previewImageView", _previewImageView);
    declareOutlet("_okButton", _okButton);
    declareOutlet("_cancelButton", _cancelButton);
    declareOutlet("_filmCollectionView", _filmCollectionView);
    declareAction("okButtonAction:", this, &hxFilterViewController::okButtonAction);
    declareAction("cancelButtonAction:", this, &hxFilterViewController::cancelButtonAction);
    const CGRect screen = UIScreen::mainScreen().bounds();
    _sHeight = static_cast<float>(screen.height());
    _sWidth = static_cast<float>(screen.width());
}

hxFilterViewController::~hxFilterViewController() {
    *alive_ = false;
    RunLoop::main().cancelPerformRequests(this);
    if (_filmCollectionView) {
        _filmCollectionView->setDataSource(nullptr);
        _filmCollectionView->setDelegate(nullptr);
    }
}

UIInterfaceOrientationMask hxFilterViewController::supportedInterfaceOrientations() const {
    return UIInterfaceOrientationMaskAll;
}

void hxFilterViewController::viewDidLoad() {
    view()->setBackgroundColor(UIColor::blackColor());
    _hud = UIView::make(CGRectMake(125, 178, 70, 70));
    _hud->setBackgroundColor(UIColor::colorWithRed(0.5, 0.5, 0.5, 0.5));
    _hud->setClipsToBounds(true);
    _hud->layer().setCornerRadius(10);
    _hud->setHidden(true);
    _indicator = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyle::Large);
    _indicator->setFrame(CGRectMake(16.5, 16.5, 37, 37));
    _indicator->setBackgroundColor(UIColor::clearColor());
    _indicator->setHidesWhenStopped(true);
    _hud->addSubview(_indicator);
    view()->addSubview(_hud);
    if (_okButton) _okButton->setHidden(true);
    if (_cancelButton) _cancelButton->setHidden(true);
    if (_filmCollectionView) {
        _filmCollectionView->registerNib(UINib::nibWithNibName("hxFilmCollectionCell"),
                                         kFilmCellIdentifier);
        _filmCollectionView->setAllowsMultipleSelection(false);
        _filmCollectionView->setAllowsSelection(true);
        _filmCollectionView->setDataSource(this);
        _filmCollectionView->setDelegate(this);
    }
    _selectedFilm = 0;
    if (_previewImageView) _previewImageView->setHidden(true);
    relayout();
    if (delegate) delegate->prepareFilterImage(this);
}

void hxFilterViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    relayout();
    loadAndDisplay();
}

void hxFilterViewController::viewWillDisappear(bool animated) {
    UIViewController::viewWillDisappear(animated);
    closeOnce();
}

void hxFilterViewController::closeOnce() {
    if (closed_) return;
    closed_ = true;
    RunLoop::main().cancelPerformRequests(this);
    if (delegate) delegate->willCloseFilterView(this);
}

void hxFilterViewController::willTransitionToTraitCollection(
    const UITraitCollection&,
    const std::shared_ptr<UIViewControllerTransitionCoordinator>& coordinator) {
    if (coordinator)
        coordinator->animateAlongsideTransition([this](auto&) { relayout(); }, nullptr);
    else
        relayout();
}

void hxFilterViewController::relayout() {
    const CGRect screen = UIScreen::mainScreen().bounds();
    _sHeight = static_cast<float>(screen.height());
    _sWidth = static_cast<float>(screen.width());
    const double bottom = UIScreen::mainScreen().portraitSafeAreaInsets().bottom;
    if (_previewImageView) _previewImageView->setFrame(CGRectMake(0, 0, _sWidth, _sHeight));
    if (_hud) {
        const CGSize size = _hud->frame().size;
        _hud->setFrame(CGRectMake((_sWidth - size.width) / 2, (_sHeight - size.height) / 2,
                                  size.width, size.height));
    }
    if (_filmCollectionView) {
        const CGRect frame = _filmCollectionView->frame();
        _filmCollectionView->setFrame(CGRectMake((_sWidth - frame.width()) / 2,
                                                 _sHeight - frame.height() - bottom, _sWidth,
                                                 frame.height()));
    }
}

void hxFilterViewController::showBusy(bool busy) {
    if (_hud) _hud->setHidden(!busy);
    if (_indicator) busy ? _indicator->startAnimating() : _indicator->stopAnimating();
    // Neither button may be pressed while a render runs.
    if (busy) {
        if (_okButton) _okButton->setHidden(true);
        if (_cancelButton) _cancelButton->setHidden(true);
    }
}

void hxFilterViewController::loadAndDisplay() {
    if (source_ || loading_) return;
    auto asset = photos::Asset::fetchAssetsWithLocalIdentifiers({inputImageIdentifier}, nullptr)
                     .firstObject();
    if (!asset) {
        hxLog("no photo %s in the library to re-filter", inputImageIdentifier.c_str());
        loadFailed();
        return;
    }
    loading_ = true;
    photos::ImageRequestOptions options;
    options.deliveryMode = photos::ImageRequestOptionsDeliveryMode::HighQualityFormat;
    options.resizeMode = photos::ImageRequestOptionsResizeMode::Exact;
    options.networkAccessAllowed = true;
    std::weak_ptr<bool> alive = alive_;
    photos::ImageManager::defaultManager().requestImageDataAndOrientationForAsset(
        asset, &options,
        [this, alive](photos::Bytes data, const std::string&, int,
                      const photos::ImageResultInfo& info) {
            if (!alive.lock()) return;
            if (!data || data->empty()) {
                hxLog("cannot read the photo to re-filter: %s",
                      info.error ? info.error->description().c_str() : "no data");
                loadFailed();
                return;
            }
            // Decoding a whole photo takes a while: off the main thread.
            DispatchQueue::global().async([this, alive, data] {
                auto source = image::ImageSource::createWithData(data);
                image::ImageRef picture;
                image::PropertyDictionary meta;
                if (source) {
                    meta = source->copyPropertiesAtIndex(0);
                    picture = source->createImageAtIndex(0);
                }
                RunLoop::main().post([this, alive, picture, meta] {
                    if (!alive.lock()) return;
                    loading_ = false;
                    if (!picture) {
                        hxLog("cannot decode the photo %s to re-filter",
                              inputImageIdentifier.c_str());
                        loadFailed();
                        return;
                    }
                    source_ = picture;
                    _inputMeta = meta;
                    sourceOrientation_ =
                        meta.integer(image::kCGImagePropertyOrientation).value_or(1);
                    if (_previewImageView) {
                        _previewImageView->setHidden(false);
                        _previewImageView->setImage(UIImage::imageWithCGImage(
                            picture, 1, UIImageOrientationFromExif(sourceOrientation_)));
                    }
                    if (!renderScheduled_ && _cancelButton) _cancelButton->setHidden(false);
                    // A film chosen while the photo was still being read renders now.
                    if (renderScheduled_) loadAndFilter();
                });
            });
        });
}

void hxFilterViewController::loadFailed() {
    loading_ = false;
    renderScheduled_ = false;
    showBusy(false);
    if (_cancelButton) _cancelButton->setHidden(false);
}

void hxFilterViewController::loadAndFilter() {
    if (closed_) return;
    if (!source_) {
        // The render follows the photo's arrival (a film chosen before the screen had
        // appeared starts the reading).
        if (!loading_) loadAndDisplay();
        return;
    }
    imageFilter(source_, _inputMeta);
    renderScheduled_ = false;
    showBusy(false);
    if (_okButton) _okButton->setHidden(!rendered_);
    if (_cancelButton) _cancelButton->setHidden(false);
}

void hxFilterViewController::imageFilter(const image::ImageRef& picture,
                                         const image::PropertyDictionary& meta) {
    if (!delegate) return;
    auto result = delegate->filterImage(this, picture, meta, _selectedFilm);
    if (!result) {
        hxLog("the re-filter with film %d gave no picture", _selectedFilm);
        return;
    }
    rendered_ = result;
    if (_previewImageView) {
        _previewImageView->setHidden(false);
        _previewImageView->setImage(nullptr);
        _previewImageView->setImage(
            UIImage::imageWithCGImage(result, 1, UIImageOrientationFromExif(sourceOrientation_)));
        _previewImageView->setNeedsDisplay();
    }
}

image::PropertyDictionary hxFilterViewController::resultMeta() const {
    image::PropertyDictionary meta = _inputMeta;
    if (!rendered_) return meta;
    // The result is narrower than the source when its width was not a multiple of 16, and
    // carries the film it was made with.
    meta.set(image::kCGImagePropertyPixelWidth, rendered_->width());
    meta.set(image::kCGImagePropertyPixelHeight, rendered_->height());
    image::PropertyDictionary exif = meta.dictionary(image::kCGImagePropertyExifDictionary);
    exif.set(image::kCGImagePropertyExifPixelXDimension, rendered_->width());
    exif.set(image::kCGImagePropertyExifPixelYDimension, rendered_->height());
    exif.set(kExifUserComment, filmComment(_selectedFilm));
    meta.set(image::kCGImagePropertyExifDictionary, exif);
    return meta;
}

void hxFilterViewController::okButtonAction(UIControl*) {
    if (!rendered_ || renderScheduled_ || closed_) return;
    if (delegate) delegate->saveImage(this, rendered_, resultMeta());
    closeOnce();
    dismissViewControllerAnimated(true);
}

void hxFilterViewController::cancelButtonAction(UIControl*) {
    if (renderScheduled_ || closed_) return;
    if (_previewImageView) _previewImageView->setImage(nullptr);
    closeOnce();
    dismissViewControllerAnimated(true);
}

NSInteger hxFilterViewController::collectionViewNumberOfItemsInSection(UICollectionView&,
                                                                       NSInteger) {
    return kFilmCount;
}

std::shared_ptr<UICollectionViewCell> hxFilterViewController::collectionViewCellForItemAtIndexPath(
    UICollectionView& collectionView, const NSIndexPath& indexPath) {
    auto cell =
        collectionView.dequeueReusableCellWithReuseIdentifier(kFilmCellIdentifier, indexPath);
    auto film = std::dynamic_pointer_cast<hxFilmCollectionCell>(cell);
    if (!film) return cell;
    const auto row = indexPath.row();
    film->showFilm(row);
    hxFilmCollectionCell::markSelected(film.get(), film->isSelected());
    return cell;
}

void hxFilterViewController::collectionViewDidSelectItemAtIndexPath(
    UICollectionView& collectionView, const NSIndexPath& indexPath) {
    if (closed_) return;
    _selectedFilm = static_cast<int32_t>(indexPath.row());
    hxFilmCollectionCell::markSelected(collectionView.cellForItemAtIndexPath(indexPath).get(),
                                       true);
    // One render at a time: a choice made while one waits replaces its film.
    RunLoop::main().cancelPerformRequests(this);
    renderScheduled_ = true;
    showBusy(true);
    std::weak_ptr<bool> alive = alive_;
    RunLoop::main().postAfter(
        kRenderDelay,
        [this, alive] {
            if (alive.lock()) loadAndFilter();
        },
        this);
}

void hxFilterViewController::collectionViewDidDeselectItemAtIndexPath(
    UICollectionView& collectionView, const NSIndexPath& indexPath) {
    hxFilmCollectionCell::markSelected(collectionView.cellForItemAtIndexPath(indexPath).get(),
                                       false);
}

std::shared_ptr<UIView> hxFilterViewController::viewForField(const std::string& field) const {
    if (field == "_okButton") return _okButton;
    if (field == "_cancelButton") return _cancelButton;
    if (field == "_previewImageView") return _previewImageView;
    if (field == "_filmCollectionView") return _filmCollectionView;
    return nullptr;
}

}  // namespace hx::app

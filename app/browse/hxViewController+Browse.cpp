// The camera screen's part of browsing: the library list the grid and the viewer show (built
// after the album search, kept current from library changes), the browser button's thumbnail
// of the newest photo, opening and closing the browser, and rendering for the re-filter screen.
//
// Threads: the list, the fetch it was built from and the album are written on the main thread
// only. Library changes arrive on the library's queue and are handled on the main queue, so a
// change can never meet a list half rebuilt; thumbnails arrive on the main queue.

#include <algorithm>
#include <unordered_set>

#include "app/browse/BrowseSupport.h"
#include "app/browse/hxThumbViewController.h"
#include "app/browse/mPvViewController.h"
#include "app/camera/hxViewController.h"
#include "platform/log/Log.h"
#include "platform/photos/Photos.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/navigation/UINavigationBar.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/window/UIScreen.h"
#include "platform/ui/window/UIWindowScene.h"

namespace hx::app {

namespace {

constexpr double kButtonThumbnailPoints = 100;

photos::FetchOptions newestFirst() {
    photos::FetchOptions options;
    options.sortDescriptors.push_back(
        photos::SortDescriptor::sortDescriptorWithKey("creationDate", false));
    return options;
}

std::vector<std::string> identifiersOf(const photos::FetchResult<photos::Asset>& result) {
    std::vector<std::string> identifiers;
    identifiers.reserve(result.count());
    for (const auto& asset : result) identifiers.push_back(asset->localIdentifier());
    return identifiers;
}

}  // namespace

void hxViewController::createBrowser() {
    _thumbViewConvtoller = std::make_shared<hxThumbViewController>();
    _thumbViewConvtoller->delegate = this;
    _thumbViewConvtoller->loadViewIfNeeded();
    if (auto viewer = _thumbViewConvtoller->viewer()) viewer->filterDelegate = this;
    _fetch.reset();
}

void hxViewController::updateImageList() {
    auto grid = _thumbViewConvtoller;
    if (!grid) return;
    // The whole library, newest first. The list and the fetch kept for change details are one
    // and the same answer, so no change can fall between them.
    const photos::FetchOptions options = newestFirst();
    auto library = photos::AssetCollection::fetchAssetCollectionsWithType(
                       photos::AssetCollectionType::SmartAlbum,
                       photos::AssetCollectionSubtype::SmartAlbumUserLibrary, nullptr)
                       .firstObject();
    photos::FetchResult<photos::Asset> all =
        library ? photos::Asset::fetchAssetsInAssetCollection(*library, &options)
                : photos::Asset::fetchAssetsWithOptions(&options);
    grid->pvphotos = identifiersOf(all);
    grid->album = _album;
    _fetch = all;
    if (grid->isViewLoaded()) grid->updateImage();
    if (!grid->pvphotos.empty()) showButtonThumbnail(grid->pvphotos.front());
}

void hxViewController::showButtonThumbnail(const std::string& identifier) {
    auto asset =
        photos::Asset::fetchAssetsWithLocalIdentifiers({identifier}, nullptr).firstObject();
    if (!asset) {
        hxLog("no photo %s in the library for the browser button", identifier.c_str());
        return;
    }
    const double scale = UIScreen::mainScreen().scale();
    // The button's own size: the picture comes from the photo's stored thumbnail.
    double points = kButtonThumbnailPoints;
    if (_pvButton) {
        const CGSize size = _pvButton->bounds().size;
        if (size.width > 0 && size.height > 0) points = std::max(size.width, size.height);
    }
    photos::ImageRequestOptions options;
    options.deliveryMode = photos::ImageRequestOptionsDeliveryMode::HighQualityFormat;
    options.resizeMode = photos::ImageRequestOptionsResizeMode::Exact;
    // Shown once, until the next photo replaces it.
    options.keepsResultInCache = false;
    std::weak_ptr<bool> alive = alive_;
    photos::ImageManager::defaultManager().requestImageForAsset(
        asset, {points * scale, points * scale}, photos::ImageContentMode::AspectFill, &options,
        [this, alive, identifier, scale](image::ImageRef result,
                                         const photos::ImageResultInfo& info) {
            if (!alive.lock() || !result || !_pvButtonImage) return;
            // A newer photo asked for meanwhile wins.
            auto grid = _thumbViewConvtoller;
            if (grid && !grid->pvphotos.empty()) {
                const bool newest =
                    grid->pvphotos.front() == identifier || grid->pvphotos.back() == identifier;
                if (!newest) return;
            }
            _pvButtonImage->setImage(UIImage::imageWithCGImage(
                result, scale, UIImageOrientationFromExif(info.orientation)));
        });
    if (_pvButton) _pvButton->setEnabled(true);
}

void hxViewController::observeLibrary() {
    auto library = photos::PhotoLibrary::sharedPhotoLibrary();
    auto observed = observedLibrary_.lock();
    if (observed == library) {
        // The library keeps each observer once however often it is registered.
        library->registerChangeObserver(this);
        return;
    }
    if (observed) observed->unregisterChangeObserver(this);
    library->registerChangeObserver(this);
    observedLibrary_ = library;
}

void hxViewController::stopObservingLibrary() {
    if (auto observed = observedLibrary_.lock()) observed->unregisterChangeObserver(this);
    observedLibrary_.reset();
}

void hxViewController::photoLibraryDidChange(const photos::Change& change) {
    std::weak_ptr<bool> alive = alive_;
    RunLoop::main().post([this, alive, change] {
        if (alive.lock()) handleLibraryChange(change);
    });
}

void hxViewController::handleLibraryChange(const photos::Change& change) {
    // No list yet (album saving off, or no search finished): nothing to keep current.
    if (!_fetch || !_thumbViewConvtoller) return;
    auto details = change.changeDetailsForFetchResult(*_fetch);
    if (!details) return;
    auto& list = _thumbViewConvtoller->pvphotos;
    const auto& after = details->fetchResultAfterChanges();
    std::unordered_set<std::string> present;
    for (const auto& asset : after) present.insert(asset->localIdentifier());
    bool gone = false;
    for (const auto& identifier : list) gone = gone || !present.count(identifier);
    if (!details->hasIncrementalChanges() || !details->removedIndexes().empty() ||
        !details->changedIndexes().empty() || gone) {
        // Removals and changes rebuild the whole list (after the album is searched again).
        searchPhotoGroups();
        return;
    }
    if (details->insertedIndexes().empty()) return;
    // Arrivals go to the end of the list, each once; the fetch moves on with the list.
    std::unordered_set<std::string> listed(list.begin(), list.end());
    for (const auto& asset : details->insertedObjects()) {
        if (asset && listed.insert(asset->localIdentifier()).second)
            list.push_back(asset->localIdentifier());
    }
    for (const auto& asset : after) {
        if (listed.insert(asset->localIdentifier()).second)
            list.push_back(asset->localIdentifier());
    }
    _fetch = after;
    // Newcomers get their stored thumbnails now, in the background, so that the grid finds
    // them ready.
    std::vector<photos::AssetRef> arrived;
    for (const auto& asset : details->insertedObjects())
        if (asset) arrived.push_back(asset);
    prepareThumbnails(arrived);
    if (_thumbViewConvtoller->isViewLoaded()) _thumbViewConvtoller->updateImage();
    if (!list.empty()) showButtonThumbnail(list.back());
}

void hxViewController::prepareThumbnails(const std::vector<photos::AssetRef>& assets) {
    if (assets.empty() || !_thumbViewConvtoller) return;
    const double scale = UIScreen::mainScreen().scale();
    const CGSize cell =
        _thumbViewConvtoller->_thumbCollectionView
            ? _thumbViewConvtoller->_thumbCollectionView->collectionViewLayout()->itemSize()
            : CGSizeMake(hxThumbViewController::kThumbnailPoints,
                         hxThumbViewController::kThumbnailPoints);
    const double side = std::max(cell.width, cell.height) * scale;
    photos::ImageRequestOptions options;
    options.deliveryMode = photos::ImageRequestOptionsDeliveryMode::FastFormat;
    options.resizeMode = photos::ImageRequestOptionsResizeMode::Exact;
    // What matters is the stored thumbnail this makes; a camera taking hundreds of photos would
    // otherwise fill the memory cache with pictures of photos nobody may browse.
    options.keepsResultInCache = false;
    for (const auto& asset : assets)
        photos::ImageManager::defaultManager().requestImageForAsset(
            asset, {side, side}, photos::ImageContentMode::AspectFill, &options,
            [](image::ImageRef, const photos::ImageResultInfo&) {});
}

void hxViewController::pvAction(UIControl*) {
    if (!_thumbViewConvtoller) return;
    _drawGL = false;
    if (_session && _session->isRunning()) _session->stopRunning();
    _nav = UINavigationController::make(_thumbViewConvtoller);
    _nav->navigationBar()->setBarStyle(UIBarStyle::BlackTranslucent);
    _nav->navigationBar()->setTranslucent(true);
    _nav->toolbar()->setBarStyle(UIBarStyle::BlackTranslucent);
    _nav->toolbar()->setTranslucent(true);
    presentViewController(_nav, true);
}

void hxViewController::willCloseThumbViewController(hxThumbViewController&) {
    // The grid also disappears when the viewer covers it; the camera comes back only when the
    // browser itself goes.
    const bool closing = !_nav || _nav->isBeingDismissed() || !_nav->presentingViewController();
    if (closing) {
        _nav.reset();
        _drawGL = true;
        view()->setHidden(false);
        doRotateUI(static_cast<int64_t>(UIWindowScene::mainScene().interfaceOrientation()));
        if (_session && !_session->isRunning()) {
            std::weak_ptr<bool> alive = alive_;
            RunLoop::main().post([this, alive] {
                if (alive.lock() && _session && !_session->isRunning() && _device)
                    _session->startRunning();
            });
        }
    }
    observeLibrary();
}

void hxViewController::prepareFilterImage(const void*) {
    if (_currentCameraPosition == kPositionFront) switchCameraTapped(nullptr);
    _drawGL = false;
}

image::ImageRef hxViewController::filterImage(const void* sender, const image::ImageRef& source,
                                              const image::PropertyDictionary&, int32_t film) {
    if (!source) return nullptr;
    return renderer_->filterImage(sender, source, nullptr, film);
}

}  // namespace hx::app

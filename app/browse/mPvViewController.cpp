#include "app/browse/mPvViewController.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/browse/BrowseSupport.h"
#include "app/browse/hxFilterViewController.h"
#include "platform/log/Log.h"
#include "platform/photos/editing/ContentEditingInput.h"
#include "platform/photos/fetch/Asset.h"
#include "platform/photos/imaging/ImageManager.h"
#include "platform/photos/store/PicturesFolder.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/alerts/UIAlertController.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/navigation/UINavigationItem.h"
#include "platform/ui/window/UIScreen.h"
#include "platform/ui/window/UIWindowScene.h"

namespace hx::app {

namespace {

mPvViewController::FolderChooser& folderChooser() {
    static mPvViewController::FolderChooser chooser;
    return chooser;
}

photos::AssetRef assetWithIdentifier(const std::string& identifier) {
    return photos::Asset::fetchAssetsWithLocalIdentifiers({identifier}, nullptr).firstObject();
}

const char* extensionForType(const std::string& type) {
    if (type == "public.tiff") return ".tif";
    if (type == "public.heic") return ".heic";
    if (type == "public.png") return ".png";
    return ".jpg";
}

}  // namespace

void mPvImageView::touchesEnded(const UITouchSet&, UIEvent*) {
    if (touched_ && delegate) delegate->showHideTools();
    touched_ = false;
}

mPvViewController::mPvViewController() = default;

mPvViewController::~mPvViewController() {
    *alive_ = false;
    if (_pvScrollView) _pvScrollView->setDelegate(nullptr);
    if (_imageView1) _imageView1->delegate = nullptr;
    if (_diController) _diController->setDelegate(nullptr);
    auto& manager = photos::ImageManager::defaultManager();
    for (auto request : requests_)
        if (request != photos::PHInvalidImageRequestID) manager.cancelImageRequest(request);
}

UIInterfaceOrientationMask mPvViewController::supportedInterfaceOrientations() const {
    return UIInterfaceOrientationMaskAll;
}

void mPvViewController::setFolderChooser(FolderChooser chooser) {
    folderChooser() = std::move(chooser);
}

void mPvViewController::viewDidLoad() {
    view()->setBackgroundColor(UIColor::blackColor());
    const CGRect page = CGRectMake(0, 0, sWidth, sHeight);
    _pvScrollView = UIScrollView::make(page);
    _pvScrollView->setContentSize(CGSizeMake(3 * sWidth, sHeight));
    _pvScrollView->setContentOffset(CGPointMake(sWidth, 0));
    _pvScrollView->setScrollsToTop(false);
    _pvScrollView->setShowsHorizontalScrollIndicator(false);
    _pvScrollView->setShowsVerticalScrollIndicator(false);
    _pvScrollView->setPagingEnabled(true);
    _pvScrollView->setDelegate(this);
    _pvScrollView->setBackgroundColor(UIColor::blackColor());
    _pvScrollView->setBounces(false);

    _pvView = std::make_shared<UIView>(CGRectMake(0, 0, 3 * sWidth, sHeight));
    _pvView->setUserInteractionEnabled(true);
    _imageView0 = std::make_shared<UIImageView>(page);
    _imageView1 = std::make_shared<mPvImageView>(page.offsetBy(sWidth, 0));
    _imageView1->setUserInteractionEnabled(true);
    _imageView1->delegate = this;
    _imageView2 = std::make_shared<UIImageView>(page.offsetBy(2 * sWidth, 0));
    for (const std::shared_ptr<UIImageView>& imageView :
         {_imageView0, std::static_pointer_cast<UIImageView>(_imageView1), _imageView2}) {
        imageView->setBackgroundColor(UIColor::blackColor());
        imageView->setContentMode(UIViewContentMode::ScaleAspectFit);
        imageView->setClipsToBounds(true);
        _pvView->addSubview(imageView);
    }
    _pvScrollView->addSubview(_pvView);
    view()->addSubview(_pvScrollView);

    _filterButton = UIBarButtonItem::initWithImage(
        UIImage::imageNamed("filter_toolbar.png"), UIBarButtonItemStyle::Plain, this,
        UIBarButtonItem::actionFor(this, &mPvViewController::filterAction));
    _activityButton = UIBarButtonItem::initWithBarButtonSystemItem(
        UIBarButtonSystemItem::Action, this,
        UIBarButtonItem::actionFor(this, &mPvViewController::activityAction));
    auto flexible = [] {
        return UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem::FlexibleSpace);
    };
    setToolbarItems({flexible(), _activityButton, flexible(), _filterButton, flexible()}, false);

    counter_ = UILabel::make(CGRectMake(0, 0, 200, 40));
    counter_->setFont(UIFont::boldSystemFontOfSize(20));
    counter_->setAdjustsFontSizeToFitWidth(true);
    counter_->setMinimumScaleFactor(0.4);
    counter_->setNumberOfLines(1);
    counter_->setTextAlignment(NSTextAlignment::Center);
    counter_->setTextColor(UIColor::whiteColor());
    counter_->setBackgroundColor(UIColor::clearColor());
    navigationItem().setTitleView(counter_);

    _diController = nullptr;
    layoutPages(static_cast<int64_t>(UIWindowScene::mainScene().interfaceOrientation()));
}

void mPvViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    updateAll = true;
    if (pvNumber > static_cast<int32_t>(pvphotos.size()))
        pvNumber = static_cast<int32_t>(pvphotos.size());
    updateImage();
    if (auto* navigation = navigationController()) {
        navigation->setNavigationBarHidden(false, false);
        navigation->setToolbarHidden(false, false);
    }
}

void mPvViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    layoutPages(static_cast<int64_t>(UIWindowScene::mainScene().interfaceOrientation()));
}

void mPvViewController::viewWillDisappear(bool animated) {
    UIViewController::viewWillDisappear(animated);
    if (_diController) _diController->dismissMenuAnimated(false);
}

void mPvViewController::willTransitionToTraitCollection(
    const UITraitCollection& collection,
    const std::shared_ptr<UIViewControllerTransitionCoordinator>& coordinator) {
    UIViewController::willTransitionToTraitCollection(collection, coordinator);
    auto relayout = [this] {
        layoutPages(static_cast<int64_t>(UIWindowScene::mainScene().interfaceOrientation()));
    };
    if (coordinator)
        coordinator->animateAlongsideTransition([relayout](auto&) { relayout(); }, nullptr);
    else
        relayout();
}

UIImageView* mPvViewController::pageView(int slot) const {
    switch (slot) {
        case 0:
            return _imageView0.get();
        case 1:
            return _imageView1.get();
        default:
            return _imageView2.get();
    }
}

void mPvViewController::layoutPages(int64_t orientation) {
    double width = sWidth, height = sHeight;
    if (orientation == 3 || orientation == 4) std::swap(width, height);
    layoutPagesOfSize(width, height);
}

void mPvViewController::layoutPagesOfSize(double width, double height) {
    if (!_pvScrollView) return;
    const bool wasUpdating = updating_;
    updating_ = true;  // the offset changes below are no page steps
    _pvScrollView->setFrame(CGRectMake(0, 0, width, height));
    const int n = static_cast<int>(pvphotos.size());
    const bool hasPrevious = pvNumber > 0 && n > 0;
    const bool hasNext = pvNumber < n - 1;
    const CGRect page = CGRectMake(0, 0, width, height);
    _imageView0->setFrame(hasPrevious ? page : CGRectZero);
    _imageView1->setFrame(page.offsetBy(hasPrevious ? width : 0, 0));
    _imageView2->setFrame(hasNext ? page.offsetBy(_imageView1->frame().maxX(), 0) : CGRectZero);
    const double content = hasNext ? _imageView2->frame().maxX() : _imageView1->frame().maxX();
    _pvView->setFrame(CGRectMake(0, 0, content, height));
    _pvScrollView->setContentSize(CGSizeMake(content, height));
    _pvScrollView->setContentOffset(_imageView1->frame().origin);
    updating_ = wasUpdating;
}

void mPvViewController::clearPage(int slot) {
    auto& manager = photos::ImageManager::defaultManager();
    if (requests_[slot] != photos::PHInvalidImageRequestID)
        manager.cancelImageRequest(requests_[slot]);
    requests_[slot] = photos::PHInvalidImageRequestID;
    expected_[slot].clear();
    pageView(slot)->setImage(nullptr);
}

void mPvViewController::requestPicture(int slot, const std::string& identifier) {
    clearPage(slot);
    expected_[slot] = identifier;
    auto asset = assetWithIdentifier(identifier);
    if (!asset) {
        hxLog("no photo %s in the library for the viewer", identifier.c_str());
        return;
    }
    const double scale = UIScreen::mainScreen().scale();
    const double side = std::max(sWidth, sHeight) * scale;
    photos::ImageRequestOptions options;
    options.deliveryMode = photos::ImageRequestOptionsDeliveryMode::HighQualityFormat;
    options.resizeMode = photos::ImageRequestOptionsResizeMode::None;
    options.networkAccessAllowed = true;
    std::weak_ptr<bool> alive = alive_;
    requests_[slot] = photos::ImageManager::defaultManager().requestImageForAsset(
        asset, {side, side}, photos::ImageContentMode::AspectFit, &options,
        [this, alive, identifier, scale](image::ImageRef result,
                                         const photos::ImageResultInfo& info) {
            if (!alive.lock()) return;
            // The picture goes to whichever page still waits for this photo: pages may have
            // moved since it was asked for.
            for (int slot = 0; slot < 3; ++slot) {
                if (expected_[slot] != identifier) continue;
                requests_[slot] = photos::PHInvalidImageRequestID;
                if (result)
                    pageView(slot)->setImage(UIImage::imageWithCGImage(
                        result, scale, UIImageOrientationFromExif(info.orientation)));
            }
        });
}

void mPvViewController::updateImage() {
    if (updating_ || !_pvScrollView) return;
    updating_ = true;
    if (delegate) delegate->updatePvphotos(*this);
    const int n = static_cast<int>(pvphotos.size());
    const int32_t old = pvNumber;
    const double x = _pvScrollView->contentOffset().x;
    // A fresh showing lays its pages out for the chosen photo: the offset left from an earlier
    // showing is no page step.
    if (!updateAll) {
        if (x <= 0)
            --pvNumber;
        else if (x >= _pvScrollView->contentSize().width - _pvScrollView->frame().width())
            ++pvNumber;
    }
    if (pvNumber < 0) pvNumber = 0;
    if (n > 0 && pvNumber > n - 1) pvNumber = n - 1;
    if (!updateAll && pvNumber == old) {
        updating_ = false;
        return;
    }
    if (!updateAll) {
        auto* a = pageView(0);
        auto* b = pageView(1);
        auto* c = pageView(2);
        if (pvNumber > old) {
            a->setImage(b->image());
            b->setImage(c->image());
            expected_[0] = expected_[1];
            expected_[1] = expected_[2];
            requests_[0] = requests_[1];
            requests_[1] = requests_[2];
            requests_[2] = photos::PHInvalidImageRequestID;
            expected_[2].clear();
            c->setImage(nullptr);
            if (pvNumber < n - 1) requestPicture(2, pvphotos[static_cast<size_t>(pvNumber) + 1]);
        } else {
            c->setImage(b->image());
            b->setImage(a->image());
            expected_[2] = expected_[1];
            expected_[1] = expected_[0];
            requests_[2] = requests_[1];
            requests_[1] = requests_[0];
            requests_[0] = photos::PHInvalidImageRequestID;
            expected_[0].clear();
            a->setImage(nullptr);
            if (pvNumber > 0) requestPicture(0, pvphotos[static_cast<size_t>(pvNumber) - 1]);
        }
    } else {
        for (int slot = 0; slot < 3; ++slot) clearPage(slot);
        if (n > 0) {
            if (pvNumber >= 1) requestPicture(0, pvphotos[static_cast<size_t>(pvNumber) - 1]);
            requestPicture(1, pvphotos[static_cast<size_t>(pvNumber)]);
            if (pvNumber < n - 1) requestPicture(2, pvphotos[static_cast<size_t>(pvNumber) + 1]);
        }
        updateAll = false;
    }
    if (pvNumber == 0) clearPage(0);
    if (pvNumber >= n - 1) clearPage(2);
    const CGSize page = _imageView1->frame().size;
    layoutPagesOfSize(page.width > 0 ? page.width : _pvScrollView->frame().width(),
                      page.height > 0 ? page.height : _pvScrollView->frame().height());
    updateCounter();
    setSharingEnabled();
    updating_ = false;
}

void mPvViewController::updateCounter() {
    if (!counter_) return;
    if (pvphotos.empty()) {
        counter_->setText("0 of 0");
        return;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%d of %lu", pvNumber + 1,
                  static_cast<unsigned long>(pvphotos.size()));
    counter_->setText(text);
}

void mPvViewController::setSharingEnabled() {
    const bool any = !pvphotos.empty();
    if (_activityButton) _activityButton->setEnabled(any);
    if (_filterButton) _filterButton->setEnabled(any);
}

std::string mPvViewController::currentIdentifier() const {
    if (pvNumber < 0 || static_cast<size_t>(pvNumber) >= pvphotos.size()) return {};
    return pvphotos[static_cast<size_t>(pvNumber)];
}

void mPvViewController::showHideTools() {
    auto* navigation = navigationController();
    if (!navigation) return;
    const bool show = navigation->isNavigationBarHidden();
    navigation->setNavigationBarHidden(!show, true);
    navigation->setToolbarHidden(!show, true);
}

void mPvViewController::scrollViewDidScroll(UIScrollView& scrollView) {
    if (updating_) return;
    const double x = scrollView.contentOffset().x;
    if (x <= 0 || x >= scrollView.contentSize().width - scrollView.frame().width()) updateImage();
}

void mPvViewController::scrollViewDidEndDecelerating(UIScrollView& scrollView) {
    const double target = _imageView1 ? _imageView1->frame().minX() : 0;
    const CGPoint offset = scrollView.contentOffset();
    if (offset.x != target) scrollView.setContentOffset(CGPointMake(target, offset.y), true);
}

// ---- sharing

bool mPvViewController::readPhotoFile(FileHandler use) {
    if (delegate) delegate->updatePvphotos(*this);
    // The photo is fixed now: the list may change before the file arrives.
    const std::string identifier = currentIdentifier();
    if (identifier.empty()) return false;
    auto asset = assetWithIdentifier(identifier);
    if (!asset) {
        hxLog("no photo %s in the library to share", identifier.c_str());
        return false;
    }
    shareInFlight_ = true;
    std::weak_ptr<bool> alive = alive_;
    photos::ContentEditingInputRequestOptions inputOptions;
    inputOptions.networkAccessAllowed = true;
    asset->requestContentEditingInputWithOptions(
        &inputOptions,
        [this, alive, asset, use](std::shared_ptr<const photos::ContentEditingInput> input,
                                  const photos::ContentEditingInputInfo& info) {
            if (!alive.lock()) return;
            std::string name;
            if (input && !input->fullSizeImageURL().empty())
                name = std::filesystem::path(input->fullSizeImageURL()).filename().string();
            else if (info.error)
                hxLog("no full-size file for %s: %s", asset->localIdentifier().c_str(),
                      info.error->description().c_str());
            photos::ImageRequestOptions options;
            options.deliveryMode = photos::ImageRequestOptionsDeliveryMode::HighQualityFormat;
            options.resizeMode = photos::ImageRequestOptionsResizeMode::Exact;
            options.networkAccessAllowed = true;
            photos::ImageManager::defaultManager().requestImageDataAndOrientationForAsset(
                asset, &options,
                [this, alive, use, name](photos::Bytes data, const std::string& type, int,
                                         const photos::ImageResultInfo& result) {
                    if (!alive.lock()) return;
                    shareInFlight_ = false;
                    if (!data || data->empty()) {
                        const std::string why =
                            result.error ? result.error->description() : "no image data";
                        hxLog("cannot share the photo: %s", why.c_str());
                        use(nullptr, {}, why);
                        return;
                    }
                    use(data, sanitizedFileName(name, extensionForType(type)), {});
                });
        });
    return true;
}

void mPvViewController::activityAction(UIBarButtonItem*) {
    if (_diController || shareInFlight_) return;
    std::weak_ptr<bool> alive = alive_;
    readPhotoFile([this, alive](std::shared_ptr<const std::vector<uint8_t>> bytes,
                                const std::string& name, const std::string&) {
        if (!alive.lock() || !bytes) return;
        std::string error;
        auto path = writeNewFile(shareFolder(), name, *bytes, &error);
        if (!path) {
            hxLog("cannot share the photo: %s", error.c_str());
            return;
        }
        presentShareMenu(*path, hasLocation(*bytes), bytes, name);
    });
}

void mPvViewController::presentShareMenu(const std::string& path, bool offerWithoutLocation,
                                         std::shared_ptr<const std::vector<uint8_t>> bytes,
                                         const std::string& name) {
    if (_diController || !_activityButton) return;
    auto controller =
        UIDocumentInteractionController::interactionControllerWithURL(NSURL::fileURLWithPath(path));
    controller->setAnnotation({{"tags", kShareTag}});
    controller->setDelegate(this);
    _diController = controller;
    if (!controller->presentOptionsMenuFromBarButtonItem(*_activityButton, true)) {
        _diController = nullptr;
        return;
    }
    auto menu = controller->menu();
    if (!menu) return;
    std::weak_ptr<bool> alive = alive_;
    menu->addAction(UIAlertAction::actionWithTitle(
        kSaveCopyTitle, UIAlertActionStyle::Default, [this, alive, bytes, name](UIAlertAction&) {
            if (!alive.lock()) return;
            // The menu is gone: entries of the program's own end the share themselves.
            _diController = nullptr;
            auto& chooser = folderChooser();
            std::optional<std::string> folder =
                chooser ? chooser() : std::optional<std::string>(photos::picturesFolder());
            if (!folder) return;
            std::string error;
            if (auto saved = writeNewFile(*folder, name, *bytes, &error))
                hxLog("saved a copy of the photo as %s", saved->c_str());
            else
                hxLog("cannot save a copy of the photo: %s", error.c_str());
        }));
    if (offerWithoutLocation) {
        menu->addAction(UIAlertAction::actionWithTitle(
            kWithoutLocationTitle, UIAlertActionStyle::Default,
            [this, alive, bytes, name](UIAlertAction&) {
                if (!alive.lock()) return;
                _diController = nullptr;
                std::string error;
                auto stripped = withoutLocation(*bytes, &error);
                std::optional<std::string> path;
                if (stripped) path = writeNewFile(shareFolder(), name, *stripped, &error);
                if (!path) {
                    hxLog("cannot share the photo without its location: %s", error.c_str());
                    return;
                }
                // The menu this came from is going away; the new one follows once it has.
                RunLoop::main().post([this, alive, path = *path] {
                    if (!alive.lock()) return;
                    presentShareMenu(path, false, nullptr, {});
                });
            }));
    }
}

bool mPvViewController::saveCopyToFolder(const std::string& folder, bool withoutLocationWanted,
                                         SaveDone done) {
    if (shareInFlight_ || _diController) return false;
    std::weak_ptr<bool> alive = alive_;
    return readPhotoFile(
        [folder, withoutLocationWanted, done](std::shared_ptr<const std::vector<uint8_t>> bytes,
                                              const std::string& name, const std::string& failure) {
            if (!bytes) {
                done(std::nullopt, failure);
                return;
            }
            std::string error;
            std::optional<std::vector<uint8_t>> stripped;
            if (withoutLocationWanted) {
                stripped = withoutLocation(*bytes, &error);
                if (!stripped) {
                    done(std::nullopt, error);
                    return;
                }
            }
            auto path = writeNewFile(folder, name, stripped ? *stripped : *bytes, &error);
            done(path, error);
        });
}

void mPvViewController::documentInteractionControllerDidDismissOpenInMenu(
    UIDocumentInteractionController&) {
    _diController = nullptr;
}

void mPvViewController::documentInteractionControllerDidDismissOptionsMenu(
    UIDocumentInteractionController&) {
    _diController = nullptr;
}

// ---- re-filtering

void mPvViewController::filterAction(UIBarButtonItem*) {
    if (delegate) delegate->updatePvphotos(*this);
    const std::string identifier = currentIdentifier();
    if (identifier.empty() || !filterDelegate) return;
    auto filter = std::make_shared<hxFilterViewController>();
    filter->inputImageIdentifier = identifier;
    filter->delegate = filterDelegate;
    presentViewController(filter, true);
}

std::shared_ptr<UIView> mPvViewController::viewForField(const std::string& field) const {
    if (field == "_filterButton" && _filterButton) return _filterButton->view();
    if (field == "_activityButton" && _activityButton) return _activityButton->view();
    if (field == "_pvScrollView") return _pvScrollView;
    if (field == "_imageView1") return _imageView1;
    if (field == "_backButton") {
        if (auto* navigation = navigationController())
            return navigation->navigationBar()->backButton();
    }
    return nullptr;
}

}  // namespace hx::app

#pragma once
// The re-filter screen: shows a photo of the library, a grid of the nine monochrome films, and
// the photo through the chosen film; OK stores the result as a new photo with the source
// photo's metadata, Cancel closes without saving. The camera screen (the delegate) renders and
// saves. A fresh screen is made for every opening.
//
// The source photo is read once, from its original file, on a background queue: its pixels
// and its metadata (the file's Exif, TIFF and GPS properties; decoded pixels carry none). Each
// film choice renders from those pixels on the main thread, one render at a time; OK and
// Cancel are hidden while a render runs. However the screen closes (OK, Cancel, the browser
// closed under it by a quick action), the delegate hears willCloseFilterView once.
//
// Threads: main thread only; the photo's bytes are decoded on a global queue.

#include <cstdint>
#include <memory>
#include <string>

#include "app/browse/BrowseProtocols.h"
#include "platform/image/Image.h"
#include "platform/image/PropertyDictionary.h"
#include "platform/ui/controllers/UIViewController.h"
#include "platform/ui/controls/UIActivityIndicatorView.h"
#include "platform/ui/controls/UIButton.h"
#include "platform/ui/controls/UIImageView.h"
#include "platform/ui/scroll/UICollectionView.h"

namespace hx::app {

class hxFilterViewController : public UIViewController,
                               public UICollectionViewDataSource,
                               public UICollectionViewDelegate,
                               public hxScriptableScreen {
  public:
    static constexpr NSInteger kFilmCount = 9;
    // The wait between a film choice and its render, so that the busy indicator shows first.
    static constexpr double kRenderDelay = 0.1;

    hxFilterViewController();
    ~hxFilterViewController() override;

    std::string inputImageIdentifier;
    hxFilterViewControllerDelegate* delegate = nullptr;

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    UIInterfaceOrientationMask supportedInterfaceOrientations() const override;
    void willTransitionToTraitCollection(
        const UITraitCollection& collection,
        const std::shared_ptr<UIViewControllerTransitionCoordinator>& coordinator) override;
    void viewWillTransitionToSize(
        CGSize, const std::shared_ptr<UIViewControllerTransitionCoordinator>&) override {}

    void loadAndDisplay();
    void loadAndFilter();
    void imageFilter(const image::ImageRef& picture, const image::PropertyDictionary& meta);
    void okButtonAction(UIControl* sender);
    void cancelButtonAction(UIControl* sender);

    NSInteger collectionViewNumberOfItemsInSection(UICollectionView& collectionView,
                                                   NSInteger section) override;
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        UICollectionView& collectionView, const NSIndexPath& indexPath) override;
    void collectionViewDidSelectItemAtIndexPath(UICollectionView& collectionView,
                                                const NSIndexPath& indexPath) override;
    void collectionViewDidDeselectItemAtIndexPath(UICollectionView& collectionView,
                                                  const NSIndexPath& indexPath) override;

    std::shared_ptr<UIView> viewForField(const std::string& field) const override;

    // For tests: the photo as read, the last render and the metadata OK would save with.
    const image::ImageRef& sourceImage() const { return source_; }
    const image::ImageRef& renderedImage() const { return rendered_; }
    image::PropertyDictionary resultMeta() const;
    bool isRendering() const { return renderScheduled_; }
    // The photo is being read, or a film waits for its render.
    bool isBusy() const { return loading_ || renderScheduled_; }
    bool hasClosed() const { return closed_; }

    std::shared_ptr<UIImageView> _previewImageView;
    std::shared_ptr<UIButton> _okButton, _cancelButton;
    std::shared_ptr<UICollectionView> _filmCollectionView;
    image::PropertyDictionary _inputMeta;
    int32_t _selectedFilm = 0;
    std::shared_ptr<UIView> _hud;
    std::shared_ptr<UIActivityIndicatorView> _indicator;
    float _sWidth = 0, _sHeight = 0;

  private:
    void relayout();
    void showBusy(bool busy);
    // The photo cannot be read: nothing to render, only Cancel.
    void loadFailed();
    // Tells the delegate the screen closes, the first time only.
    void closeOnce();

    image::ImageRef source_;
    image::ImageRef rendered_;
    int64_t sourceOrientation_ = 1;
    bool loading_ = false;
    bool renderScheduled_ = false;
    bool closed_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace hx::app

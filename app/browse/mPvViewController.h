#pragma once
// The photo viewer: one photo of the library list at full screen, swiped to the previous or
// next one, shared through the desktop's menu (also as a copy saved into a folder, and without
// its location), or opened in the re-filter screen. The grid owns one viewer and pushes it for
// every photo. Paging uses one horizontally paging scroll view of at most three pages
// (previous, current, next); a page step moves the two pictures already loaded between the
// pages and loads only the newly uncovered neighbour.
//
// Threads: main thread only; pictures and the share's steps arrive on the main queue.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/browse/BrowseProtocols.h"
#include "platform/photos/imaging/ImageRequestOptions.h"
#include "platform/ui/controllers/UIViewController.h"
#include "platform/ui/controls/UIImageView.h"
#include "platform/ui/controls/UILabel.h"
#include "platform/ui/navigation/UIBarButtonItem.h"
#include "platform/ui/scroll/UIScrollView.h"
#include "platform/ui/sharing/UIDocumentInteractionController.h"

namespace hx::app {

// The current page's picture: a tap on it shows or hides the bars. The tap counts when the
// finger lifts: a finger that moves turns the page instead (the pager cancels its touch).
class mPvImageView : public UIImageView {
  public:
    explicit mPvImageView(const CGRect& frame = CGRectZero) : UIImageView(frame) {}
    mPvImageViewDelegate* delegate = nullptr;
    void touchesBegan(const UITouchSet&, UIEvent*) override { touched_ = true; }
    void touchesMoved(const UITouchSet&, UIEvent*) override {}
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet&, UIEvent*) override { touched_ = false; }

  private:
    bool touched_ = false;
};

class mPvViewController : public UIViewController,
                          public UIScrollViewDelegate,
                          public UIDocumentInteractionControllerDelegate,
                          public mPvImageViewDelegate,
                          public hxScriptableScreen {
  public:
    // The annotation every shared file carries.
    static constexpr const char* kShareTag = "HalidexCamera";
    static constexpr const char* kSaveCopyTitle = "Save a Copy";
    static constexpr const char* kWithoutLocationTitle = "Share Without Location";

    mPvViewController();
    ~mPvViewController() override;

    std::vector<std::string> pvphotos;
    int32_t pvNumber = 0;
    bool updateAll = false;
    // The page size in portrait terms (the short side as the width).
    float sWidth = 320, sHeight = 480;
    mPvViewControllerDelegate* delegate = nullptr;
    // Who renders and saves for the re-filter screen: the camera screen.
    hxFilterViewControllerDelegate* filterDelegate = nullptr;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void willTransitionToTraitCollection(
        const UITraitCollection& collection,
        const std::shared_ptr<UIViewControllerTransitionCoordinator>& coordinator) override;
    void viewWillTransitionToSize(
        CGSize, const std::shared_ptr<UIViewControllerTransitionCoordinator>&) override {}
    void willMoveToParentViewController(UIViewController*) override {}
    bool prefersStatusBarHidden() const override { return true; }
    UIInterfaceOrientationMask supportedInterfaceOrientations() const override;

    // Page step, picture loading, layout and counter.
    void updateImage();
    void showHideTools() override;
    void activityAction(UIBarButtonItem* sender);
    void filterAction(UIBarButtonItem* sender);

    // Saves the current photo's file into `folder` as the menu's "Save a Copy" does, without
    // its location when asked. `done` gets the path written, or nothing with the reason; it
    // runs on the main queue, never inside this call. False (and `done` not called) when there
    // is no photo to share or a share is already under way.
    using SaveDone = std::function<void(std::optional<std::string> path, const std::string& error)>;
    bool saveCopyToFolder(const std::string& folder, bool withoutLocationWanted, SaveDone done);
    // Where "Save a Copy" from the menu saves: asked each time; nothing cancels. By default the
    // user's pictures folder.
    using FolderChooser = std::function<std::optional<std::string>()>;
    static void setFolderChooser(FolderChooser chooser);
    // Whether a share (reading the photo, writing the copy) or its menu is under way.
    bool isSharing() const { return shareInFlight_ || _diController != nullptr; }

    // UIScrollViewDelegate
    void scrollViewDidScroll(UIScrollView& scrollView) override;
    void scrollViewDidEndDecelerating(UIScrollView& scrollView) override;
    // UIDocumentInteractionControllerDelegate
    void documentInteractionControllerDidDismissOpenInMenu(
        UIDocumentInteractionController& controller) override;
    void documentInteractionControllerDidDismissOptionsMenu(
        UIDocumentInteractionController& controller) override;
    UIViewController* documentInteractionControllerViewControllerForPreview(
        UIDocumentInteractionController&) override {
        return this;
    }

    std::shared_ptr<UIView> viewForField(const std::string& field) const override;
    // The identifier of the photo shown, empty when none.
    std::string currentIdentifier() const;
    const std::shared_ptr<UILabel>& counterLabel() const { return counter_; }

    std::shared_ptr<UIScrollView> _pvScrollView;
    std::shared_ptr<UIView> _pvView;
    std::shared_ptr<UIImageView> _imageView0;
    std::shared_ptr<mPvImageView> _imageView1;
    std::shared_ptr<UIImageView> _imageView2;
    std::shared_ptr<UIBarButtonItem> _filterButton, _activityButton;
    std::shared_ptr<UIDocumentInteractionController> _diController;

  private:
    // The pages for the photo `pvNumber` at the page size of the orientation (portrait when the
    // orientation is unknown): one page with no neighbours, two at either end, three between.
    void layoutPages(int64_t orientation);
    void layoutPagesOfSize(double width, double height);
    // Asks for the picture of `identifier` for page `slot` (0 previous, 1 current, 2 next); the
    // answer lands on the page that still expects that photo.
    void requestPicture(int slot, const std::string& identifier);
    void clearPage(int slot);
    void updateCounter();
    void setSharingEnabled();
    // Reads the photo's file and its name, then calls `use` with them on the main queue.
    using FileHandler = std::function<void(std::shared_ptr<const std::vector<uint8_t>> bytes,
                                           const std::string& name, const std::string& error)>;
    bool readPhotoFile(FileHandler use);
    void presentShareMenu(const std::string& path, bool offerWithoutLocation,
                          std::shared_ptr<const std::vector<uint8_t>> bytes,
                          const std::string& name);

    UIImageView* pageView(int slot) const;
    // The photo each page shows or waits for.
    std::string expected_[3];
    photos::ImageRequestID requests_[3] = {};
    std::shared_ptr<UILabel> counter_;
    bool updating_ = false;
    bool shareInFlight_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace hx::app

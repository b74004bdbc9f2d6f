#pragma once
// The demo's main screen, from the interface file "DemoViewController": an image view, a view
// that draws itself, buttons in their states, sliders, labels, an activity indicator, a
// collection view of tiles and a paging scroll view; its navigation item and toolbar items open
// an alert, the detail screen, the share menu, the mail client and the settings page.

#include <memory>

#include "platform/ui/controllers/UIViewController.h"
#include "platform/ui/controls/UIActivityIndicatorView.h"
#include "platform/ui/controls/UIButton.h"
#include "platform/ui/controls/UILabel.h"
#include "platform/ui/controls/UISlider.h"
#include "platform/ui/scroll/UICollectionView.h"
#include "platform/ui/sharing/UIDocumentInteractionController.h"

namespace demo {

class DemoViewController : public hx::UIViewController,
                           public hx::UICollectionViewDataSource,
                           public hx::UICollectionViewDelegate,
                           public hx::UIDocumentInteractionControllerDelegate {
  public:
    static constexpr int kTileCount = 6;
    static constexpr int kPageCount = 3;

    DemoViewController();

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    bool prefersStatusBarHidden() const override { return true; }

    // Actions, also for the command line's --show.
    void showAlert(hx::UIControl* sender);
    void pushDetail(hx::UIControl* sender);
    void share();
    void toggleBars();

    hx::NSInteger collectionViewNumberOfItemsInSection(hx::UICollectionView& collectionView,
                                                       hx::NSInteger section) override;
    std::shared_ptr<hx::UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        hx::UICollectionView& collectionView, const hx::NSIndexPath& indexPath) override;
    void collectionViewDidSelectItemAtIndexPath(hx::UICollectionView& collectionView,
                                                const hx::NSIndexPath& indexPath) override;
    void scrollViewDidEndDecelerating(hx::UIScrollView& scrollView) override;
    void documentInteractionControllerDidDismissOptionsMenu(
        hx::UIDocumentInteractionController& controller) override;

  private:
    void toggleSelected(hx::UIControl* sender);
    void sliderChanged(hx::UISlider* slider);
    void buildPages();
    void updateCounter();

    std::shared_ptr<hx::UIView> photoView_;
    std::shared_ptr<hx::UIView> drawingView_;
    std::shared_ptr<hx::UIButton> stateButton_;
    std::shared_ptr<hx::UIButton> alertButton_;
    std::shared_ptr<hx::UIButton> pushButton_;
    std::shared_ptr<hx::UISlider> imageSlider_;
    std::shared_ptr<hx::UILabel> valueLabel_;
    std::shared_ptr<hx::UIActivityIndicatorView> indicator_;
    std::shared_ptr<hx::UICollectionView> collectionView_;
    std::shared_ptr<hx::UIScrollView> pager_;
    std::shared_ptr<hx::UILabel> counterLabel_;
    std::shared_ptr<hx::UIBarButtonItem> shareItem_;
    std::shared_ptr<hx::UIDocumentInteractionController> shareController_;
};

}  // namespace demo

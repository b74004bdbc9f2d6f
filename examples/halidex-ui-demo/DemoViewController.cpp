#include "examples/halidex-ui-demo/DemoViewController.h"

#include <cstdio>
#include <string>

#include "examples/halidex-ui-demo/DemoCell.h"
#include "examples/halidex-ui-demo/DemoDetailViewController.h"
#include "platform/bundle/Bundle.h"
#include "platform/ui/alerts/UIAlertController.h"
#include "platform/ui/interface/UINib.h"
#include "platform/ui/navigation/UIBarButtonItem.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/navigation/UINavigationItem.h"
#include "platform/ui/sharing/OpenURL.h"

namespace demo {

using namespace hx;

namespace {

constexpr const char* kCellIdentifier = "Cell";
constexpr const char* kSupportAddress = "support@halidex.invalid";

const UIColor kPageColors[DemoViewController::kPageCount] = {
    UIColor::colorWithRed(0.55, 0.22, 0.18, 1),
    UIColor::colorWithRed(0.18, 0.42, 0.30, 1),
    UIColor::colorWithRed(0.20, 0.30, 0.55, 1),
};

}  // namespace

DemoViewController::DemoViewController() : UIViewController("DemoViewController") {
    declareOutlet("photoView", photoView_);
    declareOutlet("drawingView", drawingView_);
    declareOutlet("stateButton", stateButton_);
    declareOutlet("alertButton", alertButton_);
    declareOutlet("pushButton", pushButton_);
    declareOutlet("imageSlider", imageSlider_);
    declareOutlet("valueLabel", valueLabel_);
    declareOutlet("indicator", indicator_);
    declareOutlet("collectionView", collectionView_);
    declareOutlet("pager", pager_);
    declareAction("toggleSelected:", this, &DemoViewController::toggleSelected);
    declareAction("showAlert:", this, &DemoViewController::showAlert);
    declareAction("pushDetail:", this, &DemoViewController::pushDetail);
    declareAction("sliderChanged:", this, &DemoViewController::sliderChanged);
    setTitle("Demo");
}

void DemoViewController::viewDidLoad() {
    if (collectionView_) {
        collectionView_->registerNib(UINib::nibWithNibName("DemoCell"), kCellIdentifier);
        collectionView_->setDataSource(this);
        collectionView_->setDelegate(this);
        collectionView_->selectItemAtIndexPath(NSIndexPath::indexPathForItem(1, 0), false,
                                               UICollectionViewScrollPositionNone);
    }
    buildPages();

    counterLabel_ = UILabel::make(CGRectMake(0, 0, 200, 40));
    counterLabel_->setFont(UIFont::boldSystemFontOfSize(20));
    counterLabel_->setAdjustsFontSizeToFitWidth(true);
    counterLabel_->setMinimumScaleFactor(0.5);
    counterLabel_->setTextAlignment(NSTextAlignment::Center);
    counterLabel_->setTextColor(UIColor::whiteColor());
    navigationItem().setTitleView(counterLabel_);
    updateCounter();

    navigationItem().setLeftBarButtonItem(UIBarButtonItem::initWithTitle(
        "Settings", UIBarButtonItemStyle::Plain, this, [](UIBarButtonItem*) {
            openURL(*NSURL::URLWithString(UIApplicationOpenSettingsURLString));
        }));
    navigationItem().setRightBarButtonItem(UIBarButtonItem::initWithBarButtonSystemItem(
        UIBarButtonSystemItem::Done, this, [](UIBarButtonItem*) {
            std::string mail = std::string("mailto:") + kSupportAddress +
                               "?subject=Support Request:Halidex UI demo&body=Sent from the demo";
            std::string encoded = stringByAddingPercentEncodingWithAllowedCharacters(
                mail, NSCharacterSet::URLFragmentAllowedCharacterSet());
            if (auto url = NSURL::URLWithString(encoded)) openURL(*url);
        }));

    auto flexible = [] {
        return UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem::FlexibleSpace);
    };
    shareItem_ = UIBarButtonItem::initWithBarButtonSystemItem(
        UIBarButtonSystemItem::Action, this,
        UIBarButtonItem::actionFor(this, &DemoViewController::share));
    auto bars = UIBarButtonItem::initWithImage(
        UIImage::imageNamed("demo_toolbar_filter"), UIBarButtonItemStyle::Plain, this,
        UIBarButtonItem::actionFor(this, &DemoViewController::toggleBars));
    setToolbarItems({flexible(), shareItem_, flexible(), bars, flexible()});
}

void DemoViewController::viewDidAppear(bool) {
    if (collectionView_) collectionView_->flashScrollIndicators();
}

void DemoViewController::buildPages() {
    if (!pager_) return;
    const CGRect b = pager_->bounds();
    for (int i = 0; i < kPageCount; ++i) {
        auto page = UILabel::make(CGRectMake(b.width() * i, 0, b.width(), b.height()));
        page->setBackgroundColor(kPageColors[i]);
        page->setTextColor(UIColor::whiteColor());
        page->setTextAlignment(NSTextAlignment::Center);
        page->setFont(UIFont::systemFontOfSize(15));
        page->setText("Page " + std::to_string(i + 1) + " of " + std::to_string(kPageCount) +
                      ": swipe sideways");
        pager_->addSubview(page);
    }
    pager_->setContentSize(CGSizeMake(b.width() * kPageCount, b.height()));
    pager_->setContentOffset(CGPointMake(b.width(), 0));
    pager_->setDelegate(this);
}

void DemoViewController::updateCounter() {
    if (!counterLabel_ || !pager_) return;
    const double width = pager_->bounds().width();
    const int page = width > 0 ? static_cast<int>(pager_->contentOffset().x / width + 0.5) : 0;
    counterLabel_->setText(std::to_string(page + 1) + " of " + std::to_string(kPageCount));
}

void DemoViewController::toggleSelected(UIControl* sender) {
    if (sender) sender->setSelected(!sender->isSelected());
}

void DemoViewController::sliderChanged(UISlider* slider) {
    if (!slider || !valueLabel_) return;
    char text[64];
    std::snprintf(text, sizeof text, "Slider at %.2f", static_cast<double>(slider->value()));
    valueLabel_->setText(text);
}

void DemoViewController::showAlert(UIControl*) {
    auto alert = UIAlertController::alertControllerWithTitle(
        "Halidex UI", "An alert with a cancel and a default action.",
        UIAlertControllerStyle::Alert);
    alert->addAction(UIAlertAction::actionWithTitle("Cancel", UIAlertActionStyle::Cancel));
    std::weak_ptr<UILabel> label = valueLabel_;
    alert->addAction(
        UIAlertAction::actionWithTitle("OK", UIAlertActionStyle::Default, [label](UIAlertAction&) {
            if (auto l = label.lock()) l->setText("OK chosen");
        }));
    presentViewController(alert, true);
}

void DemoViewController::pushDetail(UIControl*) {
    if (auto* navigation = navigationController())
        navigation->pushViewController(std::make_shared<DemoDetailViewController>(), true);
}

void DemoViewController::share() {
    if (shareController_) return;
    std::optional<std::string> path = Bundle::main().pathForResource("demo_photo@2x.png");
    if (!path) return;
    shareController_ = UIDocumentInteractionController::interactionControllerWithURL(
        NSURL::fileURLWithPath(*path));
    shareController_->setAnnotation({{"tags", "HalidexCamera"}});
    shareController_->setDelegate(this);
    if (!shareController_->presentOptionsMenuFromBarButtonItem(*shareItem_, true))
        shareController_.reset();
}

void DemoViewController::documentInteractionControllerDidDismissOptionsMenu(
    UIDocumentInteractionController&) {
    shareController_.reset();
}

void DemoViewController::toggleBars() {
    if (auto* navigation = navigationController())
        navigation->setNavigationBarHidden(!navigation->isNavigationBarHidden(), true);
}

NSInteger DemoViewController::collectionViewNumberOfItemsInSection(UICollectionView&, NSInteger) {
    return kTileCount;
}

std::shared_ptr<UICollectionViewCell> DemoViewController::collectionViewCellForItemAtIndexPath(
    UICollectionView& collectionView, const NSIndexPath& indexPath) {
    auto cell = collectionView.dequeueReusableCellWithReuseIdentifier(kCellIdentifier, indexPath);
    if (auto tile = std::dynamic_pointer_cast<DemoCell>(cell); tile && tile->tileImage)
        tile->tileImage->setImage(
            UIImage::imageNamed("demo_tile_" + std::to_string(indexPath.item)));
    return cell;
}

void DemoViewController::collectionViewDidSelectItemAtIndexPath(UICollectionView&,
                                                                const NSIndexPath& indexPath) {
    if (valueLabel_)
        valueLabel_->setText("Tile " + std::to_string(indexPath.item + 1) + " selected");
}

void DemoViewController::scrollViewDidEndDecelerating(UIScrollView& scrollView) {
    if (&scrollView == pager_.get()) updateCounter();
}

}  // namespace demo

#include "examples/halidex-ui-demo/DemoDetailViewController.h"

#include "platform/ui/navigation/UIBarButtonItem.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/navigation/UINavigationItem.h"

namespace demo {

using namespace hx;

DemoDetailViewController::DemoDetailViewController()
    : UIViewController("DemoDetailViewController") {
    declareOutlet("messageLabel", messageLabel_);
    setTitle("Detail");
}

void DemoDetailViewController::viewDidLoad() {
    auto flexible = [] {
        return UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem::FlexibleSpace);
    };
    auto back = UIBarButtonItem::initWithBarButtonSystemItem(
        UIBarButtonSystemItem::Rewind, this, [this](UIBarButtonItem*) {
            if (auto* navigation = navigationController())
                navigation->popViewControllerAnimated(true);
        });
    setToolbarItems({flexible(), back, flexible()});
}

}  // namespace demo

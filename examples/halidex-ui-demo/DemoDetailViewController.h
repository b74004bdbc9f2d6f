#pragma once
// The screen the demo pushes, from the interface file "DemoDetailViewController", with toolbar
// items of its own.

#include <memory>

#include "platform/ui/controllers/UIViewController.h"
#include "platform/ui/controls/UILabel.h"

namespace demo {

class DemoDetailViewController : public hx::UIViewController {
  public:
    DemoDetailViewController();
    void viewDidLoad() override;
    bool prefersStatusBarHidden() const override { return true; }

  private:
    std::shared_ptr<hx::UILabel> messageLabel_;
};

}  // namespace demo

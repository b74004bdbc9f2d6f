#pragma once
// A message with choices, presented modally over the current screen (which stays visible,
// dimmed): a title, a message and one button per action. The alert style is a box in the
// middle; with two actions the buttons stand side by side (cancel on the left), otherwise one
// above the other (cancel last). The action sheet style is a box at the bottom. Tapping a
// button dismisses the alert, then runs the action's handler.
//
// Threads: main thread only.

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/alerts/UIAlertAction.h"
#include "platform/ui/controllers/UIViewController.h"

namespace hx {

class UIButton;
class UILabel;

enum class UIAlertControllerStyle { ActionSheet = 0, Alert = 1 };

class UIAlertController : public UIViewController {
  public:
    static std::shared_ptr<UIAlertController> alertControllerWithTitle(
        std::string title, std::string message, UIAlertControllerStyle preferredStyle) {
        return std::make_shared<UIAlertController>(std::move(title), std::move(message),
                                                   preferredStyle);
    }
    UIAlertController(std::string title, std::string message,
                      UIAlertControllerStyle preferredStyle);

    const std::string& message() const { return message_; }
    void setMessage(std::string message);
    UIAlertControllerStyle preferredStyle() const { return style_; }

    void addAction(std::shared_ptr<UIAlertAction> action);
    const std::vector<std::shared_ptr<UIAlertAction>>& actions() const { return actions_; }
    // The button showing the action once the view is loaded; null for an unknown action.
    std::shared_ptr<UIButton> buttonForAction(const UIAlertAction& action);
    // The box holding the texts and buttons (for tests and hosts).
    const std::shared_ptr<UIView>& contentView();

    void loadView() override;

  private:
    class AlertView;
    void rebuild();
    void layout();
    void choose(const std::shared_ptr<UIAlertAction>& action);
    // The actions in the order the buttons show them.
    std::vector<std::shared_ptr<UIAlertAction>> orderedActions() const;

    std::string message_;
    UIAlertControllerStyle style_;
    std::vector<std::shared_ptr<UIAlertAction>> actions_;
    std::shared_ptr<UIView> box_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UILabel> messageLabel_;
    std::vector<std::pair<std::shared_ptr<UIAlertAction>, std::shared_ptr<UIButton>>> buttons_;
    std::vector<std::shared_ptr<UIView>> separators_;
    bool chosen_ = false;
};

}  // namespace hx

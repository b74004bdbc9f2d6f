#pragma once
// One choice of an alert: a title, a style (default, cancel, destructive) and a handler that
// runs once the alert has gone.
//
// Threads: main thread only.

#include <functional>
#include <memory>
#include <string>

namespace hx {

enum class UIAlertActionStyle { Default = 0, Cancel = 1, Destructive = 2 };

class UIAlertAction {
  public:
    using Handler = std::function<void(UIAlertAction& action)>;

    static std::shared_ptr<UIAlertAction> actionWithTitle(std::string title,
                                                          UIAlertActionStyle style,
                                                          Handler handler = nullptr) {
        return std::make_shared<UIAlertAction>(std::move(title), style, std::move(handler));
    }
    UIAlertAction(std::string title, UIAlertActionStyle style, Handler handler)
        : title_(std::move(title)), style_(style), handler_(std::move(handler)) {}

    const std::string& title() const { return title_; }
    UIAlertActionStyle style() const { return style_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

    // Runs the handler (the alert does, after dismissing itself).
    void perform() {
        if (handler_) handler_(*this);
    }

  private:
    std::string title_;
    UIAlertActionStyle style_;
    Handler handler_;
    bool enabled_ = true;
};

using UIAlertActionRef = std::shared_ptr<UIAlertAction>;

}  // namespace hx

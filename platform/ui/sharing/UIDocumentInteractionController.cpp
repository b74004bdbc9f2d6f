#include "platform/ui/sharing/UIDocumentInteractionController.h"

#include <filesystem>

#include "platform/log/Log.h"
#include "platform/ui/alerts/UIAlertController.h"
#include "platform/ui/navigation/UIBarButtonItem.h"
#include "platform/ui/sharing/Desktop.h"
#include "platform/ui/window/UIWindow.h"

namespace hx {

namespace {

bool isExistingFile(const NSURL& url) {
    std::error_code ec;
    return url.isFileURL() && std::filesystem::is_regular_file(url.path(), ec);
}

}  // namespace

UIDocumentInteractionController::~UIDocumentInteractionController() = default;

bool UIDocumentInteractionController::presentOptionsMenuFromBarButtonItem(UIBarButtonItem& item,
                                                                          bool animated) {
    return presentMenu(Menu::Options, item.view().get(), animated);
}

bool UIDocumentInteractionController::presentOptionsMenuFromRect(const CGRect&, UIView& view,
                                                                 bool animated) {
    return presentMenu(Menu::Options, &view, animated);
}

bool UIDocumentInteractionController::presentOpenInMenuFromBarButtonItem(UIBarButtonItem& item,
                                                                         bool animated) {
    return presentMenu(Menu::OpenIn, item.view().get(), animated);
}

bool UIDocumentInteractionController::presentOpenInMenuFromRect(const CGRect&, UIView& view,
                                                                bool animated) {
    return presentMenu(Menu::OpenIn, &view, animated);
}

bool UIDocumentInteractionController::presentMenu(Menu kind, UIView* anchor, bool animated) {
    if (menu_.lock()) {
        hxLog("Cannot offer %s: its menu is up already", name().c_str());
        return false;
    }
    if (!isExistingFile(url_)) {
        hxLog("Cannot offer %s: it is not an existing file", url_.absoluteString().c_str());
        return false;
    }
    std::shared_ptr<UIWindow> window = anchor ? anchor->window() : nullptr;
    if (!window) window = UIWindowScene::mainScene().keyWindow();
    std::shared_ptr<UIViewController> top = window ? window->rootViewController() : nullptr;
    while (top && top->presentedViewController()) top = top->presentedViewController();
    if (!top) {
        hxLog("Cannot offer %s: there is no screen to show the menu on", name().c_str());
        return false;
    }

    auto menu = UIAlertController::alertControllerWithTitle(name(), "",
                                                            UIAlertControllerStyle::ActionSheet);
    std::weak_ptr<UIDocumentInteractionController> weak = weak_from_this();
    auto entry = [&](const char* title, UIAlertActionStyle style, const char* application,
                     std::function<bool(UIDocumentInteractionController&)> hand) {
        menu->addAction(UIAlertAction::actionWithTitle(
            title, style, [weak, kind, application, hand](UIAlertAction&) {
                auto self = weak.lock();
                if (!self) return;
                if (hand) self->send(application, [&] { return hand(*self); });
                self->menuDismissed(kind);
            }));
    };
    entry(kOpenTitle, UIAlertActionStyle::Default, "Default Application",
          [](UIDocumentInteractionController& self) {
              return ui::Desktop::current()->openURL(self.url_);
          });
    entry(kShowTitle, UIAlertActionStyle::Default, "File Manager",
          [](UIDocumentInteractionController& self) {
              return ui::Desktop::current()->showInFileManager(self.url_.path());
          });
    if (kind == Menu::Options)
        entry(kCopyTitle, UIAlertActionStyle::Default, "Clipboard",
              [](UIDocumentInteractionController& self) {
                  return ui::Desktop::current()->copyFileToClipboard(self.url_.path());
              });
    entry(kCancelTitle, UIAlertActionStyle::Cancel, "", nullptr);

    if (delegate_) {
        if (kind == Menu::Options)
            delegate_->documentInteractionControllerWillPresentOptionsMenu(*this);
        else
            delegate_->documentInteractionControllerWillPresentOpenInMenu(*this);
    }
    menuKind_ = kind;
    menu_ = menu;
    top->presentViewController(menu, animated);
    if (!menu->presentingViewController()) {
        menu_.reset();
        return false;
    }
    return true;
}

void UIDocumentInteractionController::send(const std::string& application,
                                           const std::function<bool()>& hand) {
    if (!annotation_.empty()) ui::Desktop::current()->annotateFile(url_.path(), annotation_);
    if (delegate_)
        delegate_->documentInteractionControllerWillBeginSendingToApplication(*this, application);
    if (!hand()) hxLog("The desktop did not take %s", name().c_str());
    if (delegate_)
        delegate_->documentInteractionControllerDidEndSendingToApplication(*this, application);
}

void UIDocumentInteractionController::menuDismissed(Menu kind) {
    menu_.reset();
    if (!delegate_) return;
    if (kind == Menu::Options)
        delegate_->documentInteractionControllerDidDismissOptionsMenu(*this);
    else
        delegate_->documentInteractionControllerDidDismissOpenInMenu(*this);
}

void UIDocumentInteractionController::dismissMenuAnimated(bool animated) {
    std::shared_ptr<UIAlertController> menu = menu_.lock();
    if (!menu) return;
    std::weak_ptr<UIDocumentInteractionController> weak = weak_from_this();
    Menu kind = menuKind_;
    menu->dismissViewControllerAnimated(animated, [weak, kind] {
        if (auto self = weak.lock()) self->menuDismissed(kind);
    });
}

}  // namespace hx

#pragma once
// Offers a file to the rest of the desktop: a menu presented over the current screen with
// "Open with Default Application", "Show in File Manager" and (in the options menu) "Copy",
// plus "Cancel". The chosen entry first stores the annotation with the file (its "tags" become
// the file's tags), then hands the file to the desktop (Desktop::current()).
//
// Memory: keep the controller while its menu is up (the menu holds it weakly); the delegate is
// a plain, non-owning pointer.
//
// Threads: main thread only.

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/geometry/Geometry.h"
#include "platform/ui/sharing/NSURL.h"

namespace hx {

class UIDocumentInteractionController;
class UIAlertController;
class UIBarButtonItem;
class UIView;
class UIViewController;

class UIDocumentInteractionControllerDelegate {
  public:
    virtual ~UIDocumentInteractionControllerDelegate() = default;
    virtual UIViewController* documentInteractionControllerViewControllerForPreview(
        UIDocumentInteractionController& controller) {
        return nullptr;
    }
    virtual void documentInteractionControllerWillPresentOptionsMenu(
        UIDocumentInteractionController& controller) {}
    virtual void documentInteractionControllerDidDismissOptionsMenu(
        UIDocumentInteractionController& controller) {}
    virtual void documentInteractionControllerWillPresentOpenInMenu(
        UIDocumentInteractionController& controller) {}
    virtual void documentInteractionControllerDidDismissOpenInMenu(
        UIDocumentInteractionController& controller) {}
    // `application` names what the file went to ("Default Application", "File Manager",
    // "Clipboard").
    virtual void documentInteractionControllerWillBeginSendingToApplication(
        UIDocumentInteractionController& controller, const std::string& application) {}
    virtual void documentInteractionControllerDidEndSendingToApplication(
        UIDocumentInteractionController& controller, const std::string& application) {}
};

class UIDocumentInteractionController
    : public std::enable_shared_from_this<UIDocumentInteractionController> {
  public:
    static constexpr const char* kOpenTitle = "Open with Default Application";
    static constexpr const char* kShowTitle = "Show in File Manager";
    static constexpr const char* kCopyTitle = "Copy";
    static constexpr const char* kCancelTitle = "Cancel";

    static std::shared_ptr<UIDocumentInteractionController> interactionControllerWithURL(
        NSURL url) {
        return std::make_shared<UIDocumentInteractionController>(std::move(url));
    }
    explicit UIDocumentInteractionController(NSURL url) : url_(std::move(url)) {}
    ~UIDocumentInteractionController();

    const NSURL& URL() const { return url_; }
    void setURL(NSURL url) { url_ = std::move(url); }
    // The file's name, from the URL.
    std::string name() const { return url_.lastPathComponent(); }
    const std::map<std::string, std::string>& annotation() const { return annotation_; }
    void setAnnotation(std::map<std::string, std::string> annotation) {
        annotation_ = std::move(annotation);
    }
    UIDocumentInteractionControllerDelegate* delegate() const { return delegate_; }
    void setDelegate(UIDocumentInteractionControllerDelegate* delegate) { delegate_ = delegate; }

    // Present the menu over the top-most screen of the window the anchor is in (the key window
    // when it is in none). False, with a log line, when the URL is not of an existing file or
    // there is no screen to present from, or a menu is up already.
    bool presentOptionsMenuFromBarButtonItem(UIBarButtonItem& item, bool animated);
    bool presentOptionsMenuFromRect(const CGRect& rect, UIView& view, bool animated);
    bool presentOpenInMenuFromBarButtonItem(UIBarButtonItem& item, bool animated);
    bool presentOpenInMenuFromRect(const CGRect& rect, UIView& view, bool animated);
    // Takes the menu away as Cancel would.
    void dismissMenuAnimated(bool animated);
    // The menu while it is up; null otherwise.
    std::shared_ptr<UIAlertController> menu() const { return menu_.lock(); }

  private:
    enum class Menu { Options, OpenIn };
    bool presentMenu(Menu kind, UIView* anchor, bool animated);
    void send(const std::string& application, const std::function<bool()>& hand);
    void menuDismissed(Menu kind);

    NSURL url_;
    std::map<std::string, std::string> annotation_;
    UIDocumentInteractionControllerDelegate* delegate_ = nullptr;
    std::weak_ptr<UIAlertController> menu_;
    Menu menuKind_ = Menu::Options;
};

}  // namespace hx

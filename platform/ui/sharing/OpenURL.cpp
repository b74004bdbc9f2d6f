#include "platform/ui/sharing/OpenURL.h"

#include "platform/log/Log.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/ui/sharing/Desktop.h"

namespace hx {

bool canOpenURL(const NSURL& url) {
    std::string scheme = url.scheme();
    return scheme == "app-settings" || scheme == "mailto" || scheme == "file" || scheme == "http" ||
           scheme == "https";
}

void openURL(const NSURL& url, std::function<void(bool success)> completion) {
    bool opened = false;
    if (!canOpenURL(url)) {
        hxLog("Cannot open %s: no application handles \"%s\" URLs", url.absoluteString().c_str(),
              url.scheme().c_str());
    } else if (url.scheme() == "app-settings") {
        opened = ui::Desktop::current()->openApplicationSettings();
    } else {
        opened = ui::Desktop::current()->openURL(url);
    }
    if (completion) DispatchQueue::main().async([completion, opened] { completion(opened); });
}

}  // namespace hx

#pragma once
// The freedesktop backend of Desktop: xdg-open for URLs and files, the file manager's
// org.freedesktop.FileManager1 interface (through dbus-send, falling back to opening the
// folder), the Qt clipboard with the file's URL in the forms file managers paste, and user.xdg.*
// extended attributes for annotations.

#include "platform/ui/sharing/Desktop.h"

namespace hx::ui::desktop {

class XdgDesktop : public Desktop {
  public:
    bool openURL(const NSURL& url) override;
    bool openApplicationSettings() override;
    bool showInFileManager(const std::string& path) override;
    bool copyFileToClipboard(const std::string& path) override;
    bool annotateFile(const std::string& path,
                      const std::map<std::string, std::string>& annotation) override;
};

}  // namespace hx::ui::desktop

#pragma once
// What the desktop does for the programs with URLs and files: open a URL in the application it
// chooses (the mail client for mailto, the default application of a file, the browser), open the
// camera's settings page, show a file in the file manager, put a file on the clipboard, and
// record an annotation with a file. The default backend is the freedesktop one (xdg-open, the
// file manager's D-Bus interface, the Qt clipboard, extended attributes); tests may install
// another.
//
// Threads: current() and setCurrent() may be called from any thread. copyFileToClipboard needs
// the Qt application and runs on the main thread only; the other operations may run anywhere.

#include <map>
#include <memory>
#include <string>

#include "platform/ui/sharing/NSURL.h"

namespace hx::ui {

class Desktop {
  public:
    virtual ~Desktop() = default;

    // Each returns whether the desktop took the request; a false result has been logged.
    virtual bool openURL(const NSURL& url) = 0;
    virtual bool openApplicationSettings() = 0;
    virtual bool showInFileManager(const std::string& path) = 0;
    virtual bool copyFileToClipboard(const std::string& path) = 0;
    // Stores each key and value with the file where desktop tools look for them ("tags" becomes
    // the file's tags).
    virtual bool annotateFile(const std::string& path,
                              const std::map<std::string, std::string>& annotation) = 0;

    // The backend in use: the one set with setCurrent, else the freedesktop one.
    static std::shared_ptr<Desktop> current();
    // Installs a backend; null puts the freedesktop one back.
    static void setCurrent(std::shared_ptr<Desktop> desktop);
};

}  // namespace hx::ui

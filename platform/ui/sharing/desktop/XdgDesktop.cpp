#include "platform/ui/sharing/desktop/XdgDesktop.h"

#include <sys/xattr.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/defaults/OpenSettings.h"
#include "platform/log/Log.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/sharing/desktop/Spawn.h"

namespace hx::ui::desktop {

namespace {

constexpr const char* kOpener = "xdg-open";
constexpr const char* kSettingsScheme = "app-settings";

bool fileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

std::string folderOf(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

}  // namespace

bool XdgDesktop::openURL(const NSURL& url) {
    if (url.scheme() == kSettingsScheme) return openApplicationSettings();
    if (url.isFileURL() && !fileExists(url.path())) {
        hxLog("Cannot open %s: no such file", url.path().c_str());
        return false;
    }
    return spawnDetached({kOpener, url.absoluteString()});
}

bool XdgDesktop::openApplicationSettings() {
    return hx::openApplicationSettings();
}

bool XdgDesktop::showInFileManager(const std::string& path) {
    if (!fileExists(path)) {
        hxLog("Cannot show %s in the file manager: no such file", path.c_str());
        return false;
    }
    std::string folder = folderOf(path);
    std::string item = "array:string:" + NSURL::fileURLWithPath(path).absoluteString();
    // The file manager selects the file in its folder; without one on the bus, the folder opens.
    bool started = spawnDetached(
        {"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.FileManager1",
         "--type=method_call", "/org/freedesktop/FileManager1",
         "org.freedesktop.FileManager1.ShowItems", item, "string:"},
        [folder](int status) {
            if (status != 0) spawnDetached({kOpener, folder});
        });
    return started || spawnDetached({kOpener, folder});
}

bool XdgDesktop::copyFileToClipboard(const std::string& path) {
    if (!fileExists(path)) {
        hxLog("Cannot copy %s: no such file", path.c_str());
        return false;
    }
    if (!RunLoop::isMainThread() || !QGuiApplication::instance()) {
        hxLog("Cannot copy %s: the clipboard needs the main thread of the window", path.c_str());
        return false;
    }
    std::string url = NSURL::fileURLWithPath(path).absoluteString();
    auto* data = new QMimeData;  // the clipboard takes ownership
    data->setUrls({QUrl(QString::fromStdString(url))});
    data->setText(QString::fromStdString(path));
    // File managers paste a file (not its name) from this form.
    data->setData("x-special/gnome-copied-files", QByteArray("copy\n") + url.c_str());
    QGuiApplication::clipboard()->setMimeData(data);
    return true;
}

bool XdgDesktop::annotateFile(const std::string& path,
                              const std::map<std::string, std::string>& annotation) {
    bool stored = true;
    for (const auto& [key, value] : annotation) {
        std::string attribute = "user.xdg." + key;
        if (::setxattr(path.c_str(), attribute.c_str(), value.data(), value.size(), 0) != 0) {
            hxLog("Cannot annotate %s with %s: %s", path.c_str(), attribute.c_str(),
                  std::strerror(errno));
            stored = false;
        }
    }
    return stored;
}

}  // namespace hx::ui::desktop

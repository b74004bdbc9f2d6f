#include "platform/ui/host/QtApplication.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <QApplication>
#include <QFont>
#include <QGuiApplication>

namespace hx::ui {

namespace {

bool socketAnswers(const std::string& path) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof(address.sun_path)) return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    bool answered = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return answered;
}

// Whether a display server is there to talk to. Qt ends the process when it cannot reach the
// display it was told about, so a local display is checked first; a remote one is trusted.
bool displayAnswers() {
    if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland) {
        std::string path = wayland;
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (path.front() != '/' && runtime) path = std::string(runtime) + "/" + path;
        if (socketAnswers(path)) return true;
    }
    const char* x11 = std::getenv("DISPLAY");
    if (!x11 || !*x11) return false;
    if (x11[0] != ':') return true;
    std::string number(x11 + 1);
    number = number.substr(0, number.find('.'));
    return socketAnswers("/tmp/.X11-unix/X" + number);
}

}  // namespace

bool ensureQtApplication() {
    if (QCoreApplication::instance()) return true;
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if ((!platform || !*platform) && !displayAnswers()) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // Lives for the rest of the process, as Qt expects of its application object.
    static int argc = 1;
    static char name[] = "halidex";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    QFont font("DejaVu Sans");
    font.setHintingPreference(QFont::PreferNoHinting);
    QGuiApplication::setFont(font);
    return QCoreApplication::instance() != nullptr;
}

bool hasDisplay() {
    if (!QCoreApplication::instance()) return false;
    QString name = QGuiApplication::platformName();
    return name != "offscreen" && name != "minimal";
}

}  // namespace hx::ui

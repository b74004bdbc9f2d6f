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
#include <QOpenGLContext>
#include <QSurfaceFormat>

#include "platform/gpu/gl/GlPresentation.h"
#include "platform/log/Log.h"

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

// Whether windows may show the GPU layer's GL textures directly: the GL backend is likely and
// Qt is to draw on a display (the offscreen and minimal platforms have no GL).
bool wantsGlWindows() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const std::string name = platform ? platform : "";
    if (name.starts_with("offscreen") || name.starts_with("minimal")) return false;
    return gpu::gl::glBackendLikely();
}

// Hands Qt's shared GL context to the GPU layer, whose GL devices then share textures with it.
// Needs an EGL context: the GPU layer's contexts are EGL ones, and contexts share only on one
// EGL display.
void shareGlWithGpuLayer() {
    QOpenGLContext* context = QOpenGLContext::globalShareContext();
    if (!context || !context->isValid()) {
        hxLog("window: Qt has no GL context; GPU views are read back");
        return;
    }
    auto* egl = context->nativeInterface<QNativeInterface::QEGLContext>();
    if (!egl || !context->isOpenGLES()) {
        hxLog("window: Qt's GL context is not an OpenGL ES one over EGL; GPU views are read back");
        return;
    }
    gpu::gl::setPresentationContext(egl->display(), egl->nativeContext());
}

}  // namespace

bool ensureQtApplication() {
    if (QCoreApplication::instance()) return true;
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if ((!platform || !*platform) && !displayAnswers()) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    const bool glWindows = wantsGlWindows();
    if (glWindows) {
        // Qt draws X11 windows with GLX unless told otherwise; sharing with the GPU layer needs
        // EGL. A choice already made in the environment stands (and may rule sharing out).
        setenv("QT_XCB_GL_INTEGRATION", "xcb_egl", 0);
        // Every Qt context then shares with one global context, which the GPU layer joins.
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        QSurfaceFormat format = QSurfaceFormat::defaultFormat();
        format.setRenderableType(QSurfaceFormat::OpenGLES);
        format.setVersion(3, 0);
        QSurfaceFormat::setDefaultFormat(format);
    }
    // Lives for the rest of the process, as Qt expects of its application object.
    static int argc = 1;
    static char name[] = "halidex";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    QFont font("DejaVu Sans");
    font.setHintingPreference(QFont::PreferNoHinting);
    QGuiApplication::setFont(font);
    if (glWindows && hasDisplay()) shareGlWithGpuLayer();
    return QCoreApplication::instance() != nullptr;
}

bool hasDisplay() {
    if (!QCoreApplication::instance()) return false;
    QString name = QGuiApplication::platformName();
    return name != "offscreen" && name != "minimal";
}

}  // namespace hx::ui

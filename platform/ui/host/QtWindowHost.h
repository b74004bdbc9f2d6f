#pragma once
// Shows a window on the desktop in a Qt window, zoomed to fit the monitor, redrawn whenever
// the run loop has run, and pumps the main run loop from Qt's event loop.
//
// Input: the mouse is one finger; with Ctrl held, a second finger mirrored through the window's
// centre goes down too (two-finger taps and pinches); the wheel pinches about the pointer.
// Keys: volume up, volume down and space press the hardware capture button; arrow keys tilt the
// simulated accelerometer; B sends the application to the background and brings it back. Other
// printable keys go to the application's key handler.
// Focus alone changes nothing, so the camera keeps running while the user works in another
// window. Minimising or hiding the window, or the desktop suspending or hiding the program (a
// locked session), is resign-active then background; restoring it is foreground then
// become-active (DesktopPresence.h), through UIApplication and so its notifications.
//
// Drawing: with the GPU layer's GL backend sharing textures with Qt's GL context (set up by
// ensureQtApplication), the window is drawn by a GL surface that shows GPU views from their
// textures (GlWindowSurface.h); otherwise it is drawn into an image, GPU views read back.
//
// Threads: main thread only.

#include <functional>
#include <memory>

class QOpenGLWidget;

namespace hx {

class UIWindow;

class QtWindowHost {
  public:
    // Ensures the Qt application exists.
    explicit QtWindowHost(std::shared_ptr<UIWindow> window);
    ~QtWindowHost();
    QtWindowHost(const QtWindowHost&) = delete;
    QtWindowHost& operator=(const QtWindowHost&) = delete;

    // The hardware capture button; `pressed` is true on press, false on release.
    void setCaptureButtonHandler(std::function<void(bool pressed)> handler);
    // The same keys told apart (space is the capture key); when set, it takes the keys instead
    // of the capture button's handler.
    enum class HardwareKey { VolumeUp, VolumeDown, Capture };
    void setHardwareKeyHandler(std::function<void(HardwareKey key, bool pressed)> handler);
    // The tilt asked for by the arrow keys, in g along x and y (z makes up the rest).
    void setTiltHandler(std::function<void(double x, double y)> handler);
    // A printable key pressed (its character, as typed: 'g', 'G', '['); returns whether the
    // application took it.
    void setKeyHandler(std::function<bool(char key)> handler);
    // Window zoom (window pixels per point); chosen to fit the monitor when not set.
    void setZoom(double zoom);
    double zoom() const;

    // The GL surface that draws the window; null when it is drawn without GL.
    QOpenGLWidget* glSurface() const;

    void show();
    // Runs Qt's event loop (pumping the main run loop) until the window is closed or quit()
    // is called; returns the exit code.
    int exec();
    void quit();

  private:
    class Widget;
    std::unique_ptr<Widget> widget_;
};

}  // namespace hx

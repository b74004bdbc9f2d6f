#pragma once
// The Qt application object that fonts, images and windows need.

namespace hx::ui {

// Creates the Qt application once (a QApplication, so that windows work too), with DejaVu Sans
// as its font. When QT_QPA_PLATFORM is unset and no display answers (no DISPLAY or
// WAYLAND_DISPLAY, or nothing listening on a local one), the offscreen platform is chosen.
// Safe to call repeatedly; main thread only. Returns whether an application exists.
bool ensureQtApplication();

// Whether the running Qt platform shows windows on a display (not offscreen or minimal).
bool hasDisplay();

}  // namespace hx::ui

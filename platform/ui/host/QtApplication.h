#pragma once
// The Qt application object that fonts, images and windows need.

namespace hx::ui {

// Creates the Qt application once (a QApplication, so that windows work too), with DejaVu Sans
// as its font. When QT_QPA_PLATFORM is unset and no display answers (no DISPLAY or
// WAYLAND_DISPLAY, or nothing listening on a local one), the offscreen platform is chosen.
// When the GPU layer's GL backend is likely (HALIDEX_GPU, see glBackendLikely()) and a display
// is used, Qt is set up to draw windows with OpenGL ES over EGL, all its contexts sharing with
// one, which is handed to the GPU layer so that windows show GPU views without a read-back
// (platform/gpu/gl/GlPresentation.h). Safe to call repeatedly; main thread only. Returns whether
// an application exists.
bool ensureQtApplication();

// Whether the running Qt platform shows windows on a display (not offscreen or minimal).
bool hasDisplay();

}  // namespace hx::ui

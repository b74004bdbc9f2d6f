#pragma once
// Showing the GL backend's textures in windows without reading them back.
//
// A window system draws with GL contexts of its own. A texture can be sampled by such a context
// only when both contexts are in one share group, which EGL allows only on one EGL display, and
// only when the share group is named as the later context is made. So the window system's
// context is made first and handed over here; every GL device made afterwards makes its context
// on that context's display, sharing with it, and its textures can be drawn straight into the
// window. Devices made before, or on a display that would not share, are left as they were: their
// textures are shown by reading them back.

#include "platform/gpu/Texture.h"

namespace hx::gpu::gl {

// The window system's context (EGLDisplay, EGLContext) that GL devices made from now on share
// with; nulls forget it. Any thread.
void setPresentationContext(void* eglDisplay, void* eglContext);
// The display and context set above; nulls when none is set.
struct PresentationContext {
    void* display = nullptr;
    void* context = nullptr;
};
PresentationContext presentationContext();

// The GL name of `texture` as the presentation context sees it: a texture of a GL device sharing
// with the presentation context now set, not over a pixel buffer; 0 for any other texture.
// The caller samples it only after the passes that render into it have completed, and keeps the
// texture alive until its own commands reading it have finished.
unsigned presentableTextureName(const Texture& texture);

// Whether the GL backend is the one HALIDEX_GPU asks for: "gl", or "auto" (or nothing) on a
// machine with a GPU node. Lets a window system set up a shareable context before any device is
// made; the device itself still decides.
bool glBackendLikely();

// Whether the machine has a GPU node at all; without one, a GL driver can only be a software
// one.
bool hasGpuNode();

}  // namespace hx::gpu::gl

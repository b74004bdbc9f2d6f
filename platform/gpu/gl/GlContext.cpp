#include "platform/gpu/gl/GlContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl31.h>

#include <cstdlib>
#include <cstring>
#include <future>
#include <iterator>
#include <vector>

#include "platform/gpu/gl/GlPresentation.h"

namespace hx::gpu::gl {

namespace {

bool hasExtension(const char* list, const char* name) {
    if (!list) return false;
    const size_t length = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)); p += length)
        if ((p == list || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0')) return true;
    return false;
}

std::string eglErrorText(const char* step) {
    char text[96];
    std::snprintf(text, sizeof text, "%s failed (EGL error 0x%04x)", step, unsigned(eglGetError()));
    return text;
}

struct Egl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;
};

// An OpenGL ES 3.1 context on `display` in the share group of `share` (when not
// EGL_NO_CONTEXT), current on this thread; with `pbuffer` drawing to a 1 × 1 pbuffer, otherwise
// to no surface at all.
bool makeCurrent(Egl& egl, EGLDisplay display, bool pbuffer, EGLContext share, std::string* error) {
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY) {
        *error = "no EGL display";
        return false;
    }
    if (!eglInitialize(display, &major, &minor)) {
        *error = eglErrorText("eglInitialize");
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_ES_API)) {
        *error = eglErrorText("eglBindAPI");
        return false;
    }
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                       pbuffer ? EGL_PBUFFER_BIT : 0,
                                       EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_ES3_BIT,
                                       EGL_RED_SIZE,
                                       8,
                                       EGL_GREEN_SIZE,
                                       8,
                                       EGL_BLUE_SIZE,
                                       8,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1) {
        if (pbuffer ||
            !hasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_no_config_context")) {
            *error = "no EGL configuration for OpenGL ES 3";
            return false;
        }
        config = EGL_NO_CONFIG_KHR;
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 1,
                                        EGL_NONE};
    EGLContext context = eglCreateContext(display, config, share, contextAttributes);
    if (context == EGL_NO_CONTEXT) {
        *error = eglErrorText("creating an OpenGL ES 3.1 context");
        return false;
    }
    EGLSurface surface = EGL_NO_SURFACE;
    if (pbuffer) {
        const EGLint surfaceAttributes[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
        surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
        if (surface == EGL_NO_SURFACE) {
            *error = eglErrorText("eglCreatePbufferSurface");
            eglDestroyContext(display, context);
            return false;
        }
    } else if (!hasExtension(eglQueryString(display, EGL_EXTENSIONS),
                             "EGL_KHR_surfaceless_context")) {
        *error = "the display cannot make a context current without a surface";
        eglDestroyContext(display, context);
        return false;
    }
    if (!eglMakeCurrent(display, surface, surface, context)) {
        *error = eglErrorText("eglMakeCurrent");
        if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
        eglDestroyContext(display, context);
        return false;
    }
    egl = {display, context, surface};
    return true;
}

std::string glString(GLenum name) {
    const auto* text = reinterpret_cast<const char*>(glGetString(name));
    return text ? text : "";
}

void release(Egl& egl) {
    eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (egl.surface != EGL_NO_SURFACE) eglDestroySurface(egl.display, egl.surface);
    eglDestroyContext(egl.display, egl.context);
    egl = {};
}

// Tries the platforms in turn: the window system's display sharing with its context (when one
// was handed over, see GlPresentation.h), Mesa's surfaceless platform, the default display with
// a pbuffer, then every EGL device (GPUs without a display server). The first hardware renderer
// wins; a software one is kept only when no platform offers hardware, since several drivers
// may be installed side by side (Mesa's llvmpipe next to a GPU vendor's driver). The first
// software one is the one kept, so a window that shares stays shared on a software renderer too.
bool openContext(Egl& egl, ContextInfo& info, std::string* error) {
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    std::vector<std::string> failures;
    Egl software;
    std::string softwarePlatform;
    EGLContext softwareShare = EGL_NO_CONTEXT;
    // True once a hardware context is current.
    auto attempt = [&](EGLDisplay display, bool pbuffer, const char* platform,
                       EGLContext share = EGL_NO_CONTEXT) {
        Egl candidate;
        std::string why;
        if (!makeCurrent(candidate, display, pbuffer, share, &why)) {
            failures.push_back(platform + (": " + why));
            return false;
        }
        if (!isSoftwareRenderer(glString(GL_RENDERER))) {
            if (software.context != EGL_NO_CONTEXT) release(software);
            egl = candidate;
            info.platform = platform;
            info.presentationContext = share;
            return true;
        }
        if (software.context == EGL_NO_CONTEXT) {
            eglMakeCurrent(candidate.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            software = candidate;
            softwarePlatform = platform;
            softwareShare = share;
        } else {
            release(candidate);
        }
        return false;
    };
    if (const PresentationContext window = presentationContext(); window.context) {
        if (attempt(static_cast<EGLDisplay>(window.display), false, "window",
                    static_cast<EGLContext>(window.context)))
            return true;
    }
    if (getPlatformDisplay && hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless") &&
        attempt(getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr),
                false, "surfaceless"))
        return true;
    if (attempt(eglGetDisplay(EGL_DEFAULT_DISPLAY), true, "pbuffer")) return true;
    auto queryDevices =
        reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    if (getPlatformDisplay && queryDevices &&
        hasExtension(clientExtensions, "EGL_EXT_platform_device")) {
        EGLDeviceEXT devices[16];
        EGLint count = 0;
        if (queryDevices(16, devices, &count))
            for (EGLint i = 0; i < count; ++i)
                if (attempt(getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr), false,
                            "device"))
                    return true;
    }
    if (software.context != EGL_NO_CONTEXT &&
        eglMakeCurrent(software.display, software.surface, software.surface, software.context)) {
        egl = software;
        info.platform = softwarePlatform;
        info.presentationContext = softwareShare;
        return true;
    }
    *error = "no OpenGL ES 3.1 context (";
    for (size_t i = 0; i < failures.size(); ++i) *error += (i ? "; " : "") + failures[i];
    *error += ")";
    return false;
}

}  // namespace

bool isSoftwareRenderer(const std::string& renderer) {
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
        if (renderer.find(name) != std::string::npos) return true;
    return false;
}

struct GlContext::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    std::vector<std::function<bool()>> polls;
    bool stopping = false;
    // The process is ending: new work is dropped (see stopContextsAtExit).
    bool exiting = false;
    // The thread has let go of its EGL context and ended its loop.
    bool ended = false;
    Egl egl;
};

namespace {

// Every context's state while its thread may run, for stopContextsAtExit. Never destroyed, so
// that it outlives every other static object.
struct LiveContexts {
    std::mutex mutex;
    std::vector<std::weak_ptr<GlContext::State>> states;
};

LiveContexts& liveContexts() {
    static auto* live = new LiveContexts;
    return *live;
}

// At exit, the GL driver tears itself down in handlers of its own, registered when EGL was first
// initialised; a context thread still working then (finishing a fence, say) would call into a
// driver that is gone. This handler is registered after the driver's, so it runs before them:
// each thread finishes the work already posted, lets go of its context and ends.
void stopContextsAtExit() {
    LiveContexts& live = liveContexts();
    std::lock_guard registry(live.mutex);
    for (const auto& weak : live.states) {
        auto state = weak.lock();
        if (!state) continue;
        std::unique_lock lock(state->mutex);
        state->stopping = state->exiting = true;
        state->wake.notify_all();
        state->wake.wait(lock, [&] { return state->ended; });
    }
}

}  // namespace

std::shared_ptr<GlContext> GlContext::create(std::string* error) {
    std::shared_ptr<GlContext> context(new GlContext);
    context->state_ = std::make_shared<State>();
    std::promise<std::string> opened;
    auto result = opened.get_future();
    ContextInfo* info = &context->info_;
    context->thread_ = std::thread([state = context->state_, info, &opened] {
        std::string why;
        if (!openContext(state->egl, *info, &why)) {
            opened.set_value(why);
            return;
        }
        static std::once_flag exitHandler;
        std::call_once(exitHandler, [] { std::atexit(stopContextsAtExit); });
        info->eglVendor = eglQueryString(state->egl.display, EGL_VENDOR);
        info->vendor = glString(GL_VENDOR);
        info->renderer = glString(GL_RENDERER);
        info->version = glString(GL_VERSION);
        info->software = isSoftwareRenderer(info->renderer);
        opened.set_value("");
        loop(*state);
    });
    context->threadId_ = context->thread_.get_id();
    std::string why = result.get();
    if (!why.empty()) {
        context->thread_.join();
        if (error) *error = why;
        return nullptr;
    }
    LiveContexts& live = liveContexts();
    std::lock_guard registry(live.mutex);
    std::erase_if(live.states, [](const auto& weak) { return weak.expired(); });
    live.states.push_back(context->state_);
    return context;
}

GlContext::~GlContext() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->wake.notify_all();
    // The last owner may be a task running on the context's own thread.
    if (onContextThread())
        thread_.detach();
    else
        thread_.join();
}

void GlContext::run(const std::function<void()>& task) {
    if (onContextThread()) {
        task();
        return;
    }
    std::promise<void> done;
    auto finished = done.get_future();
    {
        std::lock_guard lock(state_->mutex);
        // Past the exit handler nothing runs on the context any more.
        if (state_->exiting) return;
        state_->tasks.push_back([&] {
            task();
            done.set_value();
        });
    }
    state_->wake.notify_one();
    finished.get();
}

void GlContext::post(std::function<void()> task) {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->exiting) return;
        state_->tasks.push_back(std::move(task));
    }
    state_->wake.notify_one();
}

void GlContext::postPoll(std::function<bool()> poll) {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->exiting) return;
        state_->polls.push_back(std::move(poll));
    }
    state_->wake.notify_one();
}

void GlContext::loop(State& state) {
    std::unique_lock lock(state.mutex);
    for (;;) {
        if (!state.tasks.empty()) {
            auto task = std::move(state.tasks.front());
            state.tasks.pop_front();
            lock.unlock();
            task();
            task = nullptr;  // may release the last owner of the context
            lock.lock();
            continue;
        }
        if (!state.polls.empty()) {
            // Polls block briefly on their fences themselves, so this does not spin.
            auto polls = std::move(state.polls);
            state.polls.clear();
            lock.unlock();
            // Polls finish in the order they were posted, which is the order the command
            // buffers were committed in: once one is not done yet, the later ones wait behind
            // it, even if their fences have signalled, so completions never overtake.
            std::vector<std::function<bool()>> pending;
            for (auto& poll : polls)
                if (!pending.empty() || !poll()) pending.push_back(std::move(poll));
            polls.clear();
            lock.lock();
            state.polls.insert(state.polls.begin(), std::make_move_iterator(pending.begin()),
                               std::make_move_iterator(pending.end()));
            continue;
        }
        // Work already posted is finished before the context goes away.
        if (state.stopping) break;
        state.wake.wait(lock);
    }
    lock.unlock();
    Egl& egl = state.egl;
    eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (egl.surface != EGL_NO_SURFACE) eglDestroySurface(egl.display, egl.surface);
    eglDestroyContext(egl.display, egl.context);
    // The display is left initialised: other devices of the process may share it.
    eglReleaseThread();
    lock.lock();
    state.ended = true;
    state.wake.notify_all();
}

}  // namespace hx::gpu::gl

#pragma once
// One OpenGL ES 3.1 context on a thread of its own. Every GL call of a device runs as a task on
// that thread, so the context is never shared and work is serialised in the order it is posted.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace hx::gpu::gl {

// What the context reports about itself once it is made.
struct ContextInfo {
    // How EGL was reached: "window" (the window system's display, sharing with its context),
    // "surfaceless", "pbuffer" or "device".
    std::string platform;
    std::string eglVendor, vendor, renderer, version;
    bool software = false;  // a CPU rasteriser (llvmpipe, softpipe, swrast)
    // The window system's EGLContext this context shares textures with; null when none.
    void* presentationContext = nullptr;
};

class GlContext {
  public:
    // Makes the context on a new thread; null with the reason in *error when EGL offers no
    // OpenGL ES 3.1 context on any platform.
    static std::shared_ptr<GlContext> create(std::string* error);
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    const ContextInfo& info() const { return info_; }

    // Runs `task` on the context's thread and returns when it is done. Called on that thread, it
    // runs the task at once.
    void run(const std::function<void()>& task);
    // Queues `task` to run on the context's thread after everything posted before it.
    void post(std::function<void()> task);
    // Queues a task that runs whenever the thread has nothing else to do, until it returns true.
    // Used to wait for fences without holding up later work.
    void postPoll(std::function<bool()> poll);
    bool onContextThread() const { return std::this_thread::get_id() == threadId_; }

    struct State;

  private:
    GlContext() = default;
    static void loop(State& state);
    std::shared_ptr<State> state_;
    std::thread thread_;
    std::thread::id threadId_;
    ContextInfo info_;
};
using GlContextRef = std::shared_ptr<GlContext>;

// Whether a GL_RENDERER string names a CPU rasteriser.
bool isSoftwareRenderer(const std::string& renderer);

}  // namespace hx::gpu::gl

#include "platform/gpu/gl/GlPresentation.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

#include "platform/gpu/gl/GlResources.h"

namespace hx::gpu::gl {

namespace {

struct Presentation {
    std::mutex mutex;
    PresentationContext context;
};

Presentation& presentation() {
    static Presentation state;
    return state;
}

}  // namespace

void setPresentationContext(void* eglDisplay, void* eglContext) {
    Presentation& state = presentation();
    std::lock_guard lock(state.mutex);
    if (eglDisplay && eglContext)
        state.context = {eglDisplay, eglContext};
    else
        state.context = {};
}

PresentationContext presentationContext() {
    Presentation& state = presentation();
    std::lock_guard lock(state.mutex);
    return state.context;
}

unsigned presentableTextureName(const Texture& texture) {
    const auto* glTexture = dynamic_cast<const GlTexture*>(&texture);
    if (!glTexture || glTexture->pixelBuffer() || glTexture->textureType() != TextureType::Type2D)
        return 0;
    void* shared = glTexture->context()->info().presentationContext;
    if (!shared || shared != presentationContext().context) return 0;
    return glTexture->name();
}

bool hasGpuNode() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", error))
        if (entry.path().filename().string().starts_with("renderD")) return true;
    return std::filesystem::exists("/dev/nvidia0", error);
}

bool glBackendLikely() {
    const char* wanted = std::getenv("HALIDEX_GPU");
    const std::string backend = wanted ? wanted : "";
    if (backend == "gl") return true;
    return (backend.empty() || backend == "auto") && hasGpuNode();
}

}  // namespace hx::gpu::gl

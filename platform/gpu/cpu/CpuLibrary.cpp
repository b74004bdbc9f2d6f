#include "platform/gpu/cpu/CpuLibrary.h"

#include "platform/gpu/ShaderLibraryRegistry.h"

namespace hx::gpu::cpu {

namespace {
void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}
}  // namespace

void installDefaultLibrary(std::vector<ShaderFunction> functions) {
    auto library = std::make_shared<CpuLibrary>(functions);
    registerShaderLibrary(kBackendName, [library] { return library; });
}

CpuLibrary::CpuLibrary(const std::vector<ShaderFunction>& functions) {
    for (const auto& f : functions) {
        bool usable = f.type == FunctionType::Vertex ? f.vertex != nullptr : f.fragment != nullptr;
        if (usable && !f.name.empty()) functions_.emplace(f.name, f);
    }
}

FunctionRef CpuLibrary::newFunctionWithName(const std::string& name) const {
    auto it = functions_.find(name);
    if (it == functions_.end()) return nullptr;
    return std::make_shared<CpuFunction>(it->second);
}

std::vector<std::string> CpuLibrary::functionNames() const {
    std::vector<std::string> names;
    for (const auto& [name, function] : functions_) names.push_back(name);
    return names;
}

std::shared_ptr<CpuRenderPipelineState> makeRenderPipeline(const RenderPipelineDescriptor& d,
                                                           std::string* error) {
    auto vertex = std::dynamic_pointer_cast<CpuFunction>(d.vertexFunction);
    auto fragment = std::dynamic_pointer_cast<CpuFunction>(d.fragmentFunction);
    const std::string pipeline = "pipeline \"" + d.label + "\": ";
    if (!vertex) {
        setError(error, pipeline + "no vertex function");
        return nullptr;
    }
    if (vertex->functionType() != FunctionType::Vertex) {
        setError(error, pipeline + "\"" + vertex->name() + "\" is not a vertex function");
        return nullptr;
    }
    if (!fragment) {
        setError(error, pipeline + "no fragment function");
        return nullptr;
    }
    if (fragment->functionType() != FunctionType::Fragment) {
        setError(error, pipeline + "\"" + fragment->name() + "\" is not a fragment function");
        return nullptr;
    }
    PixelFormat format = d.colorAttachments[0].pixelFormat;
    if (format != PixelFormat::BGRA8Unorm && format != PixelFormat::RGBA8Unorm) {
        setError(error, pipeline + "colour attachment 0 format " + pixelFormatName(format) +
                            " is not renderable");
        return nullptr;
    }
    if (d.rasterSampleCount != 1) {
        setError(error, pipeline + "only a sample count of 1 is supported");
        return nullptr;
    }
    return std::make_shared<CpuRenderPipelineState>(d.label, vertex->shader().vertex,
                                                    fragment->shader().fragment, format);
}

}  // namespace hx::gpu::cpu

#include "platform/gpu/gl/GlLibrary.h"

#include "platform/gpu/ShaderLibraryRegistry.h"

namespace hx::gpu::gl {

namespace {

constexpr const char* kCommonPrelude = R"(#version 310 es
precision highp float;
precision highp int;
precision highp sampler2D;
uniform ivec3 hx_textures[8];
uniform int hx_vertexBuffers;
uniform int hx_fragmentBuffers;
ivec3 hx_texture(int slot) { return hx_textures[slot]; }
bool hx_vertexBufferBound(int slot) { return ((hx_vertexBuffers >> slot) & 1) != 0; }
bool hx_fragmentBufferBound(int slot) { return ((hx_fragmentBuffers >> slot) & 1) != 0; }
)";

// Rows of textures and targets run top down in memory on every backend, while GL puts window
// row 0 at the bottom of clip space: turning y over keeps memory row 0 at the top.
constexpr const char* kVertexPrelude = R"(out highp vec2 hx_texCoord;
void hx_emit(vec4 clipPosition, vec2 texCoord) {
    gl_Position = vec4(clipPosition.x, -clipPosition.y, clipPosition.z, clipPosition.w);
    hx_texCoord = texCoord;
}
)";

constexpr const char* kFragmentPrelude = R"(in highp vec2 hx_texCoord;
layout(location = 0) out highp vec4 hx_fragColor;
uniform bool hx_swapTarget;
uniform ivec2 hx_targetSize;
void hx_store(vec4 colour) { hx_fragColor = hx_swapTarget ? colour.bgra : colour; }
)";

}  // namespace

std::string completeSource(const GlShaderFunction& function) {
    std::string source = kCommonPrelude;
    source += function.type == FunctionType::Vertex ? kVertexPrelude : kFragmentPrelude;
    source += "#line 1\n";
    source += function.source;
    return source;
}

std::string bindingDefinitions(const std::vector<SlotName>& slots) {
    std::string text;
    for (const SlotName& s : slots) {
        size_t number = s.kind == SlotName::FragmentBuffer ? kFragmentBindingBase + s.slot : s.slot;
        text += std::string("#define ") + s.name +
                (s.kind == SlotName::FragmentTexture ? "_UNIT " : "_BINDING ") +
                std::to_string(number) + "\n";
    }
    return text;
}

GlLibrary::GlLibrary(const std::vector<GlShaderFunction>& functions) {
    for (const auto& f : functions)
        if (!f.name.empty() && !f.source.empty()) functions_.emplace(f.name, f);
}

FunctionRef GlLibrary::newFunctionWithName(const std::string& name) const {
    auto it = functions_.find(name);
    if (it == functions_.end()) return nullptr;
    return std::make_shared<GlFunction>(it->second);
}

std::vector<std::string> GlLibrary::functionNames() const {
    std::vector<std::string> names;
    for (const auto& [name, function] : functions_) names.push_back(name);
    return names;
}

void installDefaultLibrary(std::vector<GlShaderFunction> functions) {
    auto library = std::make_shared<GlLibrary>(functions);
    registerShaderLibrary(kBackendName, [library] { return library; });
}

}  // namespace hx::gpu::gl

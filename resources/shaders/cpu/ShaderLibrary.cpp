#include <mutex>

#include "resources/shaders/cpu/FilmShaders.h"
#include "resources/shaders/cpu/ShaderCommon.h"

namespace hx::shaders {

// Places strip vertex i at the corners bottom-left, bottom-right, top-left, top-right so the
// quad covers the target, and passes on coordinate pair i of the texture-coordinate table.
void mapVertex(const ShaderBindings& b, uint32_t vertexId, gpu::cpu::VertexOutput& out) {
    static constexpr float kCorners[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    const uint32_t corner = vertexId % 4;
    out.position[0] = kCorners[corner][0];
    out.position[1] = kCorners[corner][1];
    out.position[2] = 0;
    out.position[3] = 1;
    struct Table {
        float pairs[4][2];
    };
    static constexpr Table kUpright = {{{0, 1}, {1, 1}, {0, 0}, {1, 0}}};
    const Table table = b.vertexBuffers[kVertexTexCoords].as<Table>(kUpright);
    out.texCoord[0] = table.pairs[corner][0];
    out.texCoord[1] = table.pairs[corner][1];
}

void installShaderLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        using gpu::FunctionType;
        using gpu::cpu::ShaderFunction;
        auto vertex = [](const char* name) {
            return ShaderFunction{name, FunctionType::Vertex, mapVertex, nullptr};
        };
        auto fragment = [](const char* name, gpu::cpu::FragmentFunction f) {
            return ShaderFunction{name, FunctionType::Fragment, nullptr, f};
        };
        gpu::cpu::installDefaultLibrary({
            vertex("mapTexture"),
            fragment("displayTexture", monochromeFragment),
            fragment("displayColorTexture", colorFragment),
            fragment("preDisplayTexture", softenFragment),
            vertex("offMapTexture"),
            fragment("offDisplayTexture", monochromeFragment),
            fragment("offDisplayColorTexture", colorFragment),
            fragment("offPreDisplayTexture", softenFragment),
        });
    });
}

}  // namespace hx::shaders

#include "core/film/RenderContract.h"
#include "core/film/shaders/cpu/FilmShaders.h"
#include "core/film/shaders/cpu/ShaderCommon.h"
#include "platform/gpu/ShaderLibraryRegistry.h"
#include "platform/gpu/cpu/CpuLibrary.h"

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

namespace {

// The eight functions the film renderers ask for; live and full-resolution passes share
// their mathematics.
gpu::LibraryRef makeFilmShaderLibrary() {
    using gpu::FunctionType;
    using gpu::cpu::ShaderFunction;
    auto vertex = [](const char* name) {
        return ShaderFunction{name, FunctionType::Vertex, mapVertex, nullptr};
    };
    auto fragment = [](const char* name, gpu::cpu::FragmentFunction f) {
        return ShaderFunction{name, FunctionType::Fragment, nullptr, f};
    };
    return std::make_shared<gpu::cpu::CpuLibrary>(std::vector<ShaderFunction>{
        vertex(film::kMapTexture),
        fragment(film::kDisplayTexture, monochromeFragment),
        fragment(film::kDisplayColorTexture, colorFragment),
        fragment(film::kPreDisplayTexture, softenFragment),
        vertex(film::kOffMapTexture),
        fragment(film::kOffDisplayTexture, monochromeFragment),
        fragment(film::kOffDisplayColorTexture, colorFragment),
        fragment(film::kOffPreDisplayTexture, softenFragment),
    });
}

// The CPU backend's default library from the moment the program starts.
const gpu::ShaderLibraryRegistration registration(gpu::cpu::kBackendName, makeFilmShaderLibrary);

}  // namespace

}  // namespace hx::shaders

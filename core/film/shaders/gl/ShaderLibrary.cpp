// The film shader library of the GL backend: the same eight functions as the CPU library, from
// the GLSL sources in resources/shaders/gl. The live and the full-resolution function of each
// pass share one source file, as they share their mathematics.

#include <cstring>
#include <string>

#include "FilmShaderSources.h"
#include "core/film/RenderContract.h"
#include "platform/gpu/ShaderLibraryRegistry.h"
#include "platform/gpu/gl/GlLibrary.h"

namespace hx::shaders {

namespace {

std::string sourceFile(const char* name) {
    for (const auto& file : glsl::kSourceFiles)
        if (std::strcmp(file.name, name) == 0) return file.text;
    return {};
}

// GLSL ES wants literal binding points; they are written out from the slot numbers here, so
// the numbers themselves live only in ShaderTypes.h, which the sources include as well.
std::string bindings() {
    using Slot = gpu::gl::SlotName;
#define HX_SLOT(name, kind)     \
    Slot {                      \
#name, name, Slot::kind \
    }
    return gpu::gl::bindingDefinitions({
        HX_SLOT(HX_VERTEX_TEXCOORDS, VertexBuffer),
        HX_SLOT(HX_VERTEX_SHARPNESS, VertexBuffer),
        HX_SLOT(HX_VERTEX_TEXEL_WIDTH, VertexBuffer),
        HX_SLOT(HX_VERTEX_TEXEL_HEIGHT, VertexBuffer),
        HX_SLOT(HX_MONO_CHANNEL_MIX, FragmentBuffer),
        HX_SLOT(HX_MONO_SHARP_FLAG, FragmentBuffer),
        HX_SLOT(HX_MONO_BLUR_FLAG, FragmentBuffer),
        HX_SLOT(HX_COLOR_SHARP_FLAG, FragmentBuffer),
        HX_SLOT(HX_COLOR_BLUR_FLAG, FragmentBuffer),
        HX_SLOT(HX_SOURCE_TEXTURE, FragmentTexture),
        HX_SLOT(HX_TABLE_TEXTURE, FragmentTexture),
    });
#undef HX_SLOT
}

gpu::LibraryRef makeFilmShaderLibrary() {
    const std::string common =
        sourceFile("ShaderTypes.h") + bindings() + sourceFile("FilmCommon.glsl");
    const std::string fragmentCommon = common + sourceFile("FilmFragment.glsl");
    using gpu::FunctionType;
    auto vertex = [&](const char* name) {
        return gpu::gl::GlShaderFunction{name, FunctionType::Vertex,
                                         common + sourceFile("mapTexture.vert")};
    };
    auto fragment = [&](const char* name, const char* file) {
        return gpu::gl::GlShaderFunction{name, FunctionType::Fragment,
                                         fragmentCommon + sourceFile(file)};
    };
    return std::make_shared<gpu::gl::GlLibrary>(std::vector<gpu::gl::GlShaderFunction>{
        vertex(film::kMapTexture),
        fragment(film::kDisplayTexture, "displayTexture.frag"),
        fragment(film::kDisplayColorTexture, "displayColorTexture.frag"),
        fragment(film::kPreDisplayTexture, "preDisplayTexture.frag"),
        vertex(film::kOffMapTexture),
        fragment(film::kOffDisplayTexture, "displayTexture.frag"),
        fragment(film::kOffDisplayColorTexture, "displayColorTexture.frag"),
        fragment(film::kOffPreDisplayTexture, "preDisplayTexture.frag"),
    });
}

// The GL backend's default library from the moment the program starts.
const gpu::ShaderLibraryRegistration registration(gpu::gl::kBackendName, makeFilmShaderLibrary);

}  // namespace

}  // namespace hx::shaders

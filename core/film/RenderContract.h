#pragma once
// What the film renderers hand to the shader library: function names, pipeline labels,
// texture-coordinate tables, per-pass parameter buffers and the binding slots of each pass.

#include <string>

#include "core/film/FilmTable.h"
#include "platform/gpu/Device.h"
#include "resources/shaders/ShaderTypes.h"

namespace hx::film {

// Shader function names.
inline constexpr const char* kMapTexture = "mapTexture";
inline constexpr const char* kDisplayTexture = "displayTexture";
inline constexpr const char* kDisplayColorTexture = "displayColorTexture";
inline constexpr const char* kPreDisplayTexture = "preDisplayTexture";
inline constexpr const char* kOffMapTexture = "offMapTexture";
inline constexpr const char* kOffDisplayTexture = "offDisplayTexture";
inline constexpr const char* kOffDisplayColorTexture = "offDisplayColorTexture";
inline constexpr const char* kOffPreDisplayTexture = "offPreDisplayTexture";

// Pipeline labels.
inline constexpr const char* kRenderPipeline = "Render Pipeline";
inline constexpr const char* kRenderColorPipeline = "Render Color Pipeline";
inline constexpr const char* kOffscreenRenderPipeline = "Offscreen Render Pipeline";
inline constexpr const char* kOfflineRenderPipeline = "Offline Render Pipeline";
inline constexpr const char* kOfflineOffscreenRenderPipeline = "Offline Offscreen Render Pipeline";
inline constexpr const char* kOfflineRenderColorPipeline = "Offline Render Color Pipeline";

// Encoder label and debug groups of the passes.
inline constexpr const char* kOffscreenRenderPass = "Offscreen Render Pass";
inline constexpr const char* kRenderFrame = "RenderFrame";
inline constexpr const char* kRenderColorFrame = "RenderColorFrame";

// Four (u, v) pairs, one per strip vertex: bottom-left, bottom-right, top-left, top-right.
struct TexCoordTable {
    float pairs[4][2];
};
inline constexpr TexCoordTable texCoordsUpright = {{{0, 1}, {1, 1}, {0, 0}, {1, 0}}};
inline constexpr TexCoordTable texCoordsMirrorU = {{{1, 1}, {0, 1}, {1, 0}, {0, 0}}};
inline constexpr TexCoordTable texCoordsMirrorV = {{{0, 0}, {1, 0}, {0, 1}, {1, 1}}};
static_assert(sizeof(TexCoordTable) == 32);

using namespace hx::shaders;  // binding slots

// The film state that one render reads.
struct FilmRenderState {
    ChannelMix channelMixerValue = kDefaultChannelMix;
    bool sharpFlag = false;
    bool blurFlag = false;
    float currentSharpness = 0;
};

// The seven parameter buffers of one render, copied from the state at encoding time.
struct PassParameters {
    gpu::BufferRef texCoords, channelMix, sharpFlag, blurFlag, sharpness, texelWidth, texelHeight;
    static PassParameters make(gpu::Device& device, const FilmRenderState& state,
                               const TexCoordTable& texCoords, float texelWidth, float texelHeight);
};

// Everything one render (an optional softening pre-pass, then the main pass) needs.
struct FilmPasses {
    PassParameters parameters;
    bool blur = false;
    bool color = false;      // colour main pass instead of monochrome
    gpu::TextureRef source;  // may be null (no camera frame yet)
    gpu::TextureRef table;   // tone or lookup texture; may be null
    gpu::RenderPipelineStateRef prePipeline, mainPipeline;
    gpu::RenderPassDescriptor prePass, mainPass;
};

// Encodes the passes into the command buffer in render order; the caller commits.
void encodeFilmPasses(gpu::CommandBuffer& commandBuffer, const FilmPasses& passes);

}  // namespace hx::film

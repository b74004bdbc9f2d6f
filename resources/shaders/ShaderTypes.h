#ifndef HX_SHADER_TYPES_H
#define HX_SHADER_TYPES_H
// Binding slots shared by every film shader library and the program that drives them. The
// slot numbers are plain #defines, which C++ and GLSL read alike, so a GLSL library can include
// this file as it is; C++ also gets them as typed enumerations below.

// Vertex buffers.
#define HX_VERTEX_TEXCOORDS 0     // 4 (u, v) float pairs, one per strip vertex
#define HX_VERTEX_SHARPNESS 1     // float
#define HX_VERTEX_TEXEL_WIDTH 2   // float, 1 / target width in pixels
#define HX_VERTEX_TEXEL_HEIGHT 3  // float, 1 / target height in pixels

// Fragment buffers of the monochrome main pass and the softening pre-pass.
#define HX_MONO_CHANNEL_MIX 0  // 3 floats r, g, b in a 16-byte slot
#define HX_MONO_SHARP_FLAG 1   // byte 0: 0 or 1
#define HX_MONO_BLUR_FLAG 2    // byte 0: 0 or 1

// Fragment buffers of the colour main pass.
#define HX_COLOR_SHARP_FLAG 0
#define HX_COLOR_BLUR_FLAG 1

// Fragment textures.
#define HX_SOURCE_TEXTURE 0  // the picture, or the softened picture after a pre-pass
#define HX_TABLE_TEXTURE 1   // R8 tone table (monochrome) or 512 x 512 RGBA lookup (colour)

#ifdef __cplusplus
#include <cstddef>

namespace hx::shaders {

enum VertexBufferIndex : size_t {
    kVertexTexCoords = HX_VERTEX_TEXCOORDS,
    kVertexSharpness = HX_VERTEX_SHARPNESS,
    kVertexTexelWidth = HX_VERTEX_TEXEL_WIDTH,
    kVertexTexelHeight = HX_VERTEX_TEXEL_HEIGHT
};
enum MonoFragmentBufferIndex : size_t {
    kMonoChannelMix = HX_MONO_CHANNEL_MIX,
    kMonoSharpFlag = HX_MONO_SHARP_FLAG,
    kMonoBlurFlag = HX_MONO_BLUR_FLAG
};
enum ColorFragmentBufferIndex : size_t {
    kColorSharpFlag = HX_COLOR_SHARP_FLAG,
    kColorBlurFlag = HX_COLOR_BLUR_FLAG
};
enum FragmentTextureIndex : size_t {
    kSourceTexture = HX_SOURCE_TEXTURE,
    kTableTexture = HX_TABLE_TEXTURE
};

}  // namespace hx::shaders
#endif

#endif  // HX_SHADER_TYPES_H

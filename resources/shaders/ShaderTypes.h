#pragma once
// Binding slots shared by the film shaders and the program that drives them.

#include <cstddef>

namespace hx::shaders {

enum VertexBufferIndex : size_t {
    kVertexTexCoords = 0,   // 4 (u, v) float pairs, one per strip vertex
    kVertexSharpness = 1,   // float
    kVertexTexelWidth = 2,  // float, 1 / target width in pixels
    kVertexTexelHeight = 3  // float, 1 / target height in pixels
};
// Monochrome main pass and softening pre-pass.
enum MonoFragmentBufferIndex : size_t {
    kMonoChannelMix = 0,  // 3 floats r, g, b in a 16-byte slot
    kMonoSharpFlag = 1,   // byte 0: 0 or 1
    kMonoBlurFlag = 2     // byte 0: 0 or 1
};
// Colour main pass.
enum ColorFragmentBufferIndex : size_t { kColorSharpFlag = 0, kColorBlurFlag = 1 };
enum FragmentTextureIndex : size_t {
    kSourceTexture = 0,  // the picture, or the softened picture after a pre-pass
    kTableTexture = 1    // R8 tone table (monochrome) or 512 × 512 RGBA lookup (colour)
};

}  // namespace hx::shaders

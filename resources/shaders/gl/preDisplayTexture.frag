// The softening pre-pass: the grey mix of the source, blurred with a 9 x 9 Gaussian of
// standard deviation 1 (a horizontal 9-tap sum per row, rounded to grey x 256, then a vertical
// 9-tap sum of those), written as opaque grey.

layout(std140, binding = HX_MONO_CHANNEL_MIX_BINDING) uniform ChannelMix {
    vec4 value;
} channelMix;

// exp(-x^2 / 2) / sqrt(2 pi) scaled to sum to 4096.
const int kKernel[9] = int[9](1, 18, 221, 991, 1634, 991, 221, 18, 1);

void main() {
    ivec2 p = ivec2(gl_FragCoord.xy);
    ivec3 weights = greyWeights(hx_fragmentBufferBound(HX_MONO_CHANNEL_MIX), channelMix.value);
    // The tap count comes from a uniform so that compilers keep the loops as loops: unrolled,
    // the 81 bilinear samples make a shader that takes seconds to compile on a CPU rasteriser.
    int taps = 9 + min(hx_targetSize.x, 0);
    int total = 0;
    for (int ky = 0; ky < taps; ++ky) {
        int row = 0;
        for (int kx = 0; kx < taps; ++kx)
            row += kKernel[kx] * greyOf(sampleAt(p, ivec2(kx - 4, ky - 4)), weights);
        total += kKernel[ky] * ((row + 8) >> 4);
    }
    storeGrey((total + (1 << 19)) >> 20);
}

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
    int total = 0;
    for (int ky = 0; ky < 9; ++ky) {
        int row = 0;
        for (int kx = 0; kx < 9; ++kx)
            row += kKernel[kx] * greyOf(sampleAt(p, ivec2(kx - 4, ky - 4)), weights);
        total += kKernel[ky] * ((row + 8) >> 4);
    }
    storeGrey((total + (1 << 19)) >> 20);
}

// The monochrome main pass: grey mix, tone table, optional sharpening after the tone table.

layout(std140, binding = HX_MONO_CHANNEL_MIX_BINDING) uniform ChannelMix {
    vec4 value;  // r, g, b
} channelMix;
layout(std140, binding = HX_MONO_SHARP_FLAG_BINDING) uniform SharpFlag {
    uint value;
} sharpFlag;

int tonedAt(ivec2 p, ivec2 offset, ivec3 weights) {
    return toneOf(greyOf(sampleAt(p, offset), weights));
}

void main() {
    ivec2 p = ivec2(gl_FragCoord.xy);
    ivec3 weights = greyWeights(hx_fragmentBufferBound(HX_MONO_CHANNEL_MIX), channelMix.value);
    bool sharp = hx_fragmentBufferBound(HX_MONO_SHARP_FLAG) && flagOf(sharpFlag.value);
    int strength = sharp ? sharpnessFixed() : 0;
    int c = tonedAt(p, ivec2(0, 0), weights);
    if (strength != 0) {
        c = sharpenOf(c, tonedAt(p, ivec2(-1, 0), weights), tonedAt(p, ivec2(1, 0), weights),
                      tonedAt(p, ivec2(0, -1), weights), tonedAt(p, ivec2(0, 1), weights),
                      strength);
    }
    storeGrey(c);
}

// The colour main pass: every colour goes through a 64 x 64 x 64 colour cube stored as a
// 512 x 512 lookup image (8 x 8 tiles of 64 x 64; blue picks the tile in reading order, red is
// the column and green the row inside it), with trilinear interpolation between cube entries
// in 8-bit weights. Sharpening, when on, works on the looked-up colours.

layout(std140, binding = HX_COLOR_SHARP_FLAG_BINDING) uniform SharpFlag {
    uint value;
} sharpFlag;

// The cube entry below an 8-bit level and the weight of the entry above, in 1/256; the top
// level uses entry 62 with full weight on 63, so the entry above always exists.
ivec2 cubeAxis(int level) {
    int scaled = level * 63;
    int index = min(scaled / 255, 62);
    return ivec2(index, ((scaled - index * 255) * 256 + 127) / 255);
}

ivec3 cubeEntry(int r, int g, int b) {
    return texelOf(tableTexture, (b % 8) * 64 + r, (b / 8) * 64 + g).rgb;
}

ivec3 blendOf(ivec3 a, ivec3 b, int w) {
    return (a * (256 - w) + b * w + 128) >> 8;
}

ivec3 lookUp(ivec3 colour) {
    ivec3 info = hx_texture(HX_TABLE_TEXTURE);
    // Without a usable lookup image colours pass through unchanged.
    if (info != ivec3(512, 512, 2)) return colour;
    ivec2 r = cubeAxis(colour.r), g = cubeAxis(colour.g), b = cubeAxis(colour.b);
    ivec3 lowBlue[2], highBlue[2];
    for (int dg = 0; dg < 2; ++dg) {
        lowBlue[dg] = blendOf(cubeEntry(r.x, g.x + dg, b.x), cubeEntry(r.x + 1, g.x + dg, b.x), r.y);
        highBlue[dg] =
            blendOf(cubeEntry(r.x, g.x + dg, b.x + 1), cubeEntry(r.x + 1, g.x + dg, b.x + 1), r.y);
    }
    ivec3 low = blendOf(lowBlue[0], lowBlue[1], g.y);
    ivec3 high = blendOf(highBlue[0], highBlue[1], g.y);
    return blendOf(low, high, b.y);
}

ivec3 lookedUpAt(ivec2 p, ivec2 offset) {
    return lookUp(sampleAt(p, offset).rgb);
}

void main() {
    ivec2 p = ivec2(gl_FragCoord.xy);
    bool sharp = hx_fragmentBufferBound(HX_COLOR_SHARP_FLAG) && flagOf(sharpFlag.value);
    int strength = sharp ? sharpnessFixed() : 0;
    ivec3 c = lookedUpAt(p, ivec2(0, 0));
    if (strength != 0) {
        c = sharpenOf(c, lookedUpAt(p, ivec2(-1, 0)), lookedUpAt(p, ivec2(1, 0)),
                      lookedUpAt(p, ivec2(0, -1)), lookedUpAt(p, ivec2(0, 1)), strength);
    }
    hx_store(vec4(vec3(c) / 255.0, 1.0));
}

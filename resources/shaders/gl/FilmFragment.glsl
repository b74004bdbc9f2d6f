// Shared by the fragment functions: sampling the source, the grey mix, the tone table and
// sharpening, all in integer arithmetic with the same fixed-point steps on every backend, so a
// picture comes out the same on each of them.

layout(binding = HX_SOURCE_TEXTURE_UNIT) uniform highp sampler2D sourceTexture;
layout(binding = HX_TABLE_TEXTURE_UNIT) uniform highp sampler2D tableTexture;

layout(std140, binding = HX_VERTEX_SHARPNESS_BINDING) uniform Sharpness {
    float value;
} sharpnessBuffer;

// The texture coordinate at the centre of target pixel p + offset. mapTexture covers the whole
// target, so the coordinate follows from the corner table: it is worked out here for each
// neighbour rather than interpolated, which keeps neighbourhoods exactly one pixel apart.
vec2 texCoordAt(ivec2 p, ivec2 offset) {
    vec2 s = (vec2(p + offset) + 0.5) / vec2(hx_targetSize);
    vec2 topLeft = cornerTexCoord(2);
    return topLeft + (cornerTexCoord(3) - topLeft) * s.x + (cornerTexCoord(0) - topLeft) * s.y;
}

ivec4 texelOf(highp sampler2D t, int x, int y) {
    return ivec4(round(texelFetch(t, ivec2(x, y), 0) * 255.0));
}

// Bilinear with 8-bit weights; coordinates outside the texture clamp to its edge texels. Red,
// green, blue and alpha as 0..255; black when no source is bound.
ivec4 sampleSource(vec2 uv) {
    ivec3 info = hx_texture(HX_SOURCE_TEXTURE);
    if (info.z == 0) return ivec4(0);
    float w = float(info.x), h = float(info.y);
    float sx = clamp(uv.x * w - 0.5, 0.0, w - 1.0);
    float sy = clamp(uv.y * h - 0.5, 0.0, h - 1.0);
    int x0 = int(sx), y0 = int(sy);
    int x1 = min(x0 + 1, info.x - 1), y1 = min(y0 + 1, info.y - 1);
    int wx = int((sx - float(x0)) * 256.0 + 0.5);
    int wy = int((sy - float(y0)) * 256.0 + 0.5);
    ivec4 top = texelOf(sourceTexture, x0, y0) * (256 - wx) + texelOf(sourceTexture, x1, y0) * wx;
    ivec4 bottom =
        texelOf(sourceTexture, x0, y1) * (256 - wx) + texelOf(sourceTexture, x1, y1) * wx;
    return (top * (256 - wy) + bottom * wy + 32768) >> 16;
}

ivec4 sampleAt(ivec2 p, ivec2 offset) {
    return sampleSource(texCoordAt(p, offset));
}

int roundToInt(float v) {
    return v < 0.0 ? -int(floor(-v + 0.5)) : int(floor(v + 0.5));
}

// Grey weights in 2.14 fixed point.
ivec3 greyWeights(bool bound, vec4 mixValue) {
    vec3 m = bound ? mixValue.rgb : vec3(0.3086, 0.6094, 0.0820);
    return ivec3(roundToInt(m.r * 16384.0), roundToInt(m.g * 16384.0), roundToInt(m.b * 16384.0));
}

int greyOf(ivec4 texel, ivec3 weights) {
    return clamp((weights.r * texel.r + weights.g * texel.g + weights.b * texel.b + 8192) >> 14,
                 0, 255);
}

// The 256-entry tone table, or the identity when none is bound.
int toneOf(int grey) {
    ivec3 info = hx_texture(HX_TABLE_TEXTURE);
    if (info.z != 1 || info.x < 256) return grey;
    return texelOf(tableTexture, grey, 0).r;
}

// Sharpening strength in 8.8 fixed point.
int sharpnessFixed() {
    float s = hx_vertexBufferBound(HX_VERTEX_SHARPNESS) ? sharpnessBuffer.value : 0.0;
    return roundToInt(s * 256.0);
}

// 3 x 3 Laplacian sharpening of one channel: c + s * (4c - left - right - up - down).
int sharpenOf(int c, int left, int right, int up, int down, int strength) {
    return clamp(c + ((strength * (4 * c - left - right - up - down) + 128) >> 8), 0, 255);
}

ivec3 sharpenOf(ivec3 c, ivec3 left, ivec3 right, ivec3 up, ivec3 down, int strength) {
    return clamp(c + ((strength * (4 * c - left - right - up - down) + 128) >> 8), 0, 255);
}

bool flagOf(uint word) {
    return (word & 255u) != 0u;
}

void storeGrey(int grey) {
    hx_store(vec4(vec3(float(grey) / 255.0), 1.0));
}

// Shared by every film function: the texture-coordinate table of the strip's corners.
// Before this file come ShaderTypes.h (the slot numbers) and the binding points generated from
// them (<slot>_BINDING, <slot>_UNIT).

layout(std140, binding = HX_VERTEX_TEXCOORDS_BINDING) uniform TexCoordTable {
    vec4 pairs[2];  // (u, v) of bottom-left, bottom-right, top-left, top-right
} texCoordTable;

// Texture coordinate of strip corner 0..3; the upright table when none is bound.
vec2 cornerTexCoord(int corner) {
    if (!hx_vertexBufferBound(HX_VERTEX_TEXCOORDS)) {
        const vec2 upright[4] = vec2[4](vec2(0.0, 1.0), vec2(1.0, 1.0), vec2(0.0, 0.0),
                                        vec2(1.0, 0.0));
        return upright[corner];
    }
    vec4 pair = texCoordTable.pairs[corner / 2];
    return (corner % 2) == 0 ? pair.xy : pair.zw;
}

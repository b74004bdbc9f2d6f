// Places strip vertex i at the corners bottom-left, bottom-right, top-left, top-right, so the
// quad covers the whole target, and passes on coordinate pair i of the texture-coordinate table.
void main() {
    int corner = gl_VertexID % 4;
    vec2 clip = vec2((corner % 2) == 1 ? 1.0 : -1.0, corner >= 2 ? 1.0 : -1.0);
    hx_emit(vec4(clip, 0.0, 1.0), cornerTexCoord(corner));
}

#pragma once
// Shader libraries of the GL backend: GLSL ES 3.1 sources by function name. The backend wraps
// every source with its own prelude (below) and compiles vertex and fragment function together
// when a pipeline is made.
//
// What a function's source can rely on:
//   - `#version 310 es` and high precision for floats, integers and samplers;
//   - vertex functions: `void hx_emit(vec4 clipPosition, vec2 texCoord)`, which places the
//     vertex (clip space, y up, as on every backend) and passes the texture coordinate on;
//   - fragment functions: `in vec2 hx_texCoord`, `ivec2 hx_targetSize` (the target's size in
//     pixels; gl_FragCoord counts rows from the top, as memory does) and
//     `void hx_store(vec4 colour)`, which writes the colour in the target's channel order;
//   - both: `ivec3 hx_texture(int slot)` (width, height and format of the texture bound at a
//     fragment texture slot: 0 none, 1 R8Unorm, 2 RGBA8Unorm, 3 BGRA8Unorm) and
//     `bool hx_vertexBufferBound(int slot)`, `bool hx_fragmentBufferBound(int slot)`;
//   - uniform blocks: vertex buffer slot i is binding point i, fragment buffer slot i binding
//     point kFragmentBindingBase + i; fragment texture slot i is texture unit i. GLSL ES wants
//     literal numbers in layout qualifiers, so a library writes them out (see
//     bindingDefinitions()).

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gpu/Library.h"
#include "platform/gpu/RenderPipeline.h"

namespace hx::gpu::gl {

inline constexpr const char* kBackendName = "gl";
inline constexpr size_t kMaxBindings = 8;
inline constexpr size_t kFragmentBindingBase = kMaxBindings;

// One binding slot of a library, named as its sources name it.
struct SlotName {
    const char* name;
    size_t slot;
    enum Kind { VertexBuffer, FragmentBuffer, FragmentTexture } kind;
};
// `#define <name>_BINDING <binding point>` for buffer slots and `#define <name>_UNIT <unit>`
// for texture slots, one line each, to put in front of a library's sources.
std::string bindingDefinitions(const std::vector<SlotName>& slots);

struct GlShaderFunction {
    std::string name;
    FunctionType type = FunctionType::Fragment;
    std::string source;
};

class GlFunction final : public Function {
  public:
    explicit GlFunction(GlShaderFunction function) : function_(std::move(function)) {}
    const std::string& name() const override { return function_.name; }
    FunctionType functionType() const override { return function_.type; }
    const std::string& source() const { return function_.source; }

  private:
    GlShaderFunction function_;
};

class GlLibrary final : public Library {
  public:
    explicit GlLibrary(const std::vector<GlShaderFunction>& functions);
    FunctionRef newFunctionWithName(const std::string& name) const override;
    std::vector<std::string> functionNames() const override;

  private:
    std::map<std::string, GlShaderFunction> functions_;
};

// Registers `functions` as the program's shader library for this backend; the GL device's
// newDefaultLibrary() returns it. Thread-safe; may run during static initialisation.
void installDefaultLibrary(std::vector<GlShaderFunction> functions);

// The complete source of a function as the backend compiles it.
std::string completeSource(const GlShaderFunction& function);

}  // namespace hx::gpu::gl

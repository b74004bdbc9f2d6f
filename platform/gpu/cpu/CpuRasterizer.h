#pragma once

#include <string>

#include "platform/gpu/cpu/CpuLibrary.h"
#include "platform/gpu/cpu/ShaderABI.h"
#include "platform/gpu/cpu/WorkerPool.h"

namespace hx::gpu::cpu {

// Where one quad lands on the target and how target pixels map to texture coordinates.
struct QuadGeometry {
    bool valid = false;
    std::string problem;  // why the quad cannot be drawn, when not valid
    FragmentBand area;    // the covered pixels and the texture-coordinate map
    bool coversTarget(const RenderTarget& target) const {
        return valid && area.x0 == 0 && area.y0 == 0 && area.x1 == target.width &&
               area.y1 == target.height;
    }
};

// Runs the vertex function on the four strip vertices starting at `vertexStart`. The CPU
// backend draws quads whose strip forms an axis-aligned rectangle, which is all that
// full-target passes need.
QuadGeometry prepareQuad(const CpuRenderPipelineState& pipeline, const ShaderBindings& bindings,
                         const RenderTarget& target, size_t vertexStart);

// Shades the quad's pixels in bands of rows spread over the pool.
void shadeQuad(const CpuRenderPipelineState& pipeline, const ShaderBindings& bindings,
               const RenderTarget& target, const QuadGeometry& quad, WorkerPool& pool);

// Fills the whole target with one colour.
void clearTarget(const RenderTarget& target, const ClearColor& color, WorkerPool& pool);

}  // namespace hx::gpu::cpu

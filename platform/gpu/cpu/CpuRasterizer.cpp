#include "platform/gpu/cpu/CpuRasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gpu/cpu/Sampling.h"

namespace hx::gpu::cpu {

namespace {

struct Point {
    double x, y, u, v;
};

bool near(double a, double b) {
    return std::fabs(a - b) < 1e-4;
}

uint8_t unorm(double value) {
    return uint8_t(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
}

}  // namespace

QuadGeometry prepareQuad(const CpuRenderPipelineState& pipeline, const ShaderBindings& bindings,
                         const RenderTarget& target, size_t vertexStart) {
    QuadGeometry quad;
    Point p[4];
    for (uint32_t i = 0; i < 4; ++i) {
        VertexOutput out;
        pipeline.vertex()(bindings, uint32_t(vertexStart + i), out);
        double w = out.position[3] != 0 ? out.position[3] : 1.0;
        p[i] = {(out.position[0] / w + 1.0) * 0.5 * double(target.width),
                (1.0 - out.position[1] / w) * 0.5 * double(target.height), out.texCoord[0],
                out.texCoord[1]};
    }
    // Strip order: 0 and 1 share one edge, 0 and 2 the other, 3 is opposite 0.
    const double ex = p[1].x - p[0].x, ey = p[1].y - p[0].y;
    const double fx = p[2].x - p[0].x, fy = p[2].y - p[0].y;
    const bool axisAligned = (near(ey, 0) && near(fx, 0)) || (near(ex, 0) && near(fy, 0));
    const bool parallelogram =
        near(p[3].x, p[1].x + p[2].x - p[0].x) && near(p[3].y, p[1].y + p[2].y - p[0].y) &&
        near(p[3].u, p[1].u + p[2].u - p[0].u) && near(p[3].v, p[1].v + p[2].v - p[0].v);
    const double det = ex * fy - ey * fx;
    if (!axisAligned || !parallelogram || near(det, 0)) {
        quad.problem = "the CPU backend draws only axis-aligned rectangular quads";
        return quad;
    }
    // Texture coordinates are affine in the pixel position: t = t0 + J (p - p0).
    const double inv00 = fy / det, inv01 = -fx / det, inv10 = -ey / det, inv11 = ex / det;
    const double du1 = p[1].u - p[0].u, du2 = p[2].u - p[0].u;
    const double dv1 = p[1].v - p[0].v, dv2 = p[2].v - p[0].v;
    FragmentBand& a = quad.area;
    a.dudx = du1 * inv00 + du2 * inv10;
    a.dudy = du1 * inv01 + du2 * inv11;
    a.dvdx = dv1 * inv00 + dv2 * inv10;
    a.dvdy = dv1 * inv01 + dv2 * inv11;
    // Coordinates at the centre of pixel (x, y) are (x + 0.5, y + 0.5).
    a.u0 = p[0].u + a.dudx * (0.5 - p[0].x) + a.dudy * (0.5 - p[0].y);
    a.v0 = p[0].v + a.dvdx * (0.5 - p[0].x) + a.dvdy * (0.5 - p[0].y);

    auto span = [](double lo, double hi, size_t size, size_t* first, size_t* last) {
        double from = std::ceil(std::min(lo, hi) - 0.5), to = std::ceil(std::max(lo, hi) - 0.5);
        *first = size_t(std::clamp(from, 0.0, double(size)));
        *last = size_t(std::clamp(to, 0.0, double(size)));
    };
    double minX = std::min({p[0].x, p[1].x, p[2].x}), maxX = std::max({p[0].x, p[1].x, p[2].x});
    double minY = std::min({p[0].y, p[1].y, p[2].y}), maxY = std::max({p[0].y, p[1].y, p[2].y});
    span(minX, maxX, target.width, &a.x0, &a.x1);
    span(minY, maxY, target.height, &a.y0, &a.y1);
    // A quad that covers no pixel centre draws nothing, as on any GPU; it is not an error.
    quad.valid = a.x0 < a.x1 && a.y0 < a.y1;
    return quad;
}

void shadeQuad(const CpuRenderPipelineState& pipeline, const ShaderBindings& bindings,
               const RenderTarget& target, const QuadGeometry& quad, WorkerPool& pool) {
    if (!quad.valid) return;
    const size_t rows = quad.area.y1 - quad.area.y0;
    // Several bands per core even out uneven rows; at least 16 rows keep per-band set-up small.
    const size_t bands = std::max<size_t>(1, std::min(rows / 16, pool.concurrency() * 8));
    const FragmentFunction fragment = pipeline.fragment();
    pool.parallelFor(bands, [&](size_t band) {
        FragmentBand b = quad.area;
        b.y0 = quad.area.y0 + rows * band / bands;
        b.y1 = quad.area.y0 + rows * (band + 1) / bands;
        if (b.y0 < b.y1) fragment(bindings, target, b);
    });
}

void clearTarget(const RenderTarget& target, const ClearColor& c, WorkerPool& pool) {
    const uint32_t rgb =
        packOpaque(target.format, unorm(c.red), unorm(c.green), unorm(c.blue)) & 0x00ffffffu;
    const uint32_t texel = rgb | uint32_t(unorm(c.alpha)) << 24;
    const size_t bands = std::max<size_t>(1, std::min(target.height / 16, pool.concurrency()));
    pool.parallelFor(bands, [&](size_t band) {
        for (size_t y = target.height * band / bands; y < target.height * (band + 1) / bands; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(target.row(y));
            std::fill(row, row + target.width, texel);
        }
    });
}

}  // namespace hx::gpu::cpu

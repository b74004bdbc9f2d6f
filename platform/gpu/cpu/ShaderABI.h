#pragma once
// How the CPU backend calls a shader library written in C++.
//
// A vertex function runs once per strip vertex and places it in clip space. The rasteriser
// turns the quad into an affine map from target pixels to texture coordinates, cuts the
// target into bands of rows and hands each band to the fragment function on a worker thread.
// A fragment function therefore shades whole rows at a time: it may keep per-row scratch
// (thread_local, reused) and must not allocate per pixel. Bands of one draw run concurrently
// and must only write their own rows.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gpu/GpuTypes.h"

// Hot shader loops are built for several instruction sets and picked at run time, so one
// binary is fast on AVX2 machines and still runs on older ones.
// ThreadSanitizer's builds keep the plain loop: the clones' resolver runs while the program
// is loaded, before that sanitizer's runtime is ready, and its instrumented code crashes there.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define HX_SHADER_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define HX_SHADER_CLONES
#endif

namespace hx::gpu::cpu {

constexpr size_t kMaxBindings = 8;

struct BoundTexture {
    const uint8_t* data = nullptr;  // texel (0, 0)
    size_t width = 0;
    size_t height = 0;
    size_t bytesPerRow = 0;
    PixelFormat format = PixelFormat::Invalid;
    explicit operator bool() const { return data != nullptr; }
};

struct BoundBuffer {
    const void* data = nullptr;
    size_t length = 0;
    explicit operator bool() const { return data != nullptr; }
    // The buffer's first bytes as a T, or `fallback` when the buffer is missing or too short.
    template <typename T>
    T as(T fallback = T{}) const {
        if (!data || length < sizeof(T)) return fallback;
        T value;
        __builtin_memcpy(&value, data, sizeof(T));
        return value;
    }
};

struct ShaderBindings {
    std::array<BoundBuffer, kMaxBindings> vertexBuffers{};
    std::array<BoundBuffer, kMaxBindings> fragmentBuffers{};
    std::array<BoundTexture, kMaxBindings> fragmentTextures{};
};

struct VertexOutput {
    float position[4] = {0, 0, 0, 1};  // clip space, y up
    float texCoord[2] = {0, 0};
};
using VertexFunction = void (*)(const ShaderBindings&, uint32_t vertexId, VertexOutput& out);

struct RenderTarget {
    uint8_t* data = nullptr;  // texel (0, 0), the top-left corner
    size_t width = 0;
    size_t height = 0;
    size_t bytesPerRow = 0;
    PixelFormat format = PixelFormat::Invalid;
    uint8_t* row(size_t y) const { return data + y * bytesPerRow; }
};

// Rows [y0, y1) and columns [x0, x1) of the target to shade. The texture coordinate at the
// centre of target pixel (x, y) is (u0 + x·dudx + y·dudy, v0 + x·dvdx + y·dvdy).
struct FragmentBand {
    size_t x0 = 0, x1 = 0;
    size_t y0 = 0, y1 = 0;
    double u0 = 0, v0 = 0;
    double dudx = 0, dudy = 0, dvdx = 0, dvdy = 0;
    double u(double x, double y) const { return u0 + x * dudx + y * dudy; }
    double v(double x, double y) const { return v0 + x * dvdx + y * dvdy; }
};
using FragmentFunction = void (*)(const ShaderBindings&, const RenderTarget&, const FragmentBand&);

struct ShaderFunction {
    std::string name;
    FunctionType type = FunctionType::Fragment;
    VertexFunction vertex = nullptr;
    FragmentFunction fragment = nullptr;
};

// The name under which this backend's shader library is registered
// (platform/gpu/ShaderLibraryRegistry.h).
inline constexpr const char* kBackendName = "cpu";

// Registers `functions` as the program's shader library for this backend; the CPU device's
// newDefaultLibrary() returns it. Thread-safe; may run during static initialisation.
void installDefaultLibrary(std::vector<ShaderFunction> functions);

}  // namespace hx::gpu::cpu

#pragma once
// A small shader library and helpers shared by the GPU tests: every test draws through the real
// device and command queue of a backend with these functions. The conformance suites run once
// per backend (BackendTest); the CPU rasteriser's own suites run on the CPU backend.

#include <gtest/gtest.h>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gpu/CommandBuffer.h"
#include "platform/gpu/Device.h"

namespace hx::gpu::test {

// The backends every conformance suite runs on.
std::vector<std::string> backends();
// Makes the support functions below draw on `backend` ("cpu", the default, or "gl").
void useBackend(const std::string& backend);
const std::string& currentBackend();

// A test that runs once per backend.
class BackendTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override;
    // Back to the CPU backend, which the suites of the CPU rasteriser expect.
    void TearDown() override { useBackend("cpu"); }
};
std::string backendName(const ::testing::TestParamInfo<std::string>& info);

// Declares a suite of TEST_P tests that run once on every backend.
#define HX_GPU_BACKEND_SUITE(suite)                                                             \
    class suite : public ::hx::gpu::test::BackendTest {};                                       \
    INSTANTIATE_TEST_SUITE_P(Backends, suite, ::testing::ValuesIn(::hx::gpu::test::backends()), \
                             ::hx::gpu::test::backendName)

// Names of the functions in the test library.
inline constexpr const char* kQuadVertex = "quadVertex";      // reads Vertex[] from vertex buffer 0
inline constexpr const char* kCopyFragment = "copyFragment";  // samples texture 0
inline constexpr const char* kConstantFragment = "constantFragment";  // Rgba in fragment buffer 0
inline constexpr const char* kProbeFragment = "probeFragment";  // PixelProbe* in fragment buffer 0;
                                                                // CPU backend only
// Declared as a vertex function without a vertex entry point: the library must leave it out.
inline constexpr const char* kBrokenVertex = "brokenVertex";

// One strip vertex: position in clip space (y up) and texture coordinate.
struct Vertex {
    float x, y, u, v;
};
using Quad = std::array<Vertex, 4>;

// Texture coordinates for the strip corners bottom-left, bottom-right, top-left, top-right.
using TexCoordTable = std::array<std::array<float, 2>, 4>;
inline constexpr TexCoordTable kUpright = {{{0, 1}, {1, 1}, {0, 0}, {1, 0}}};
inline constexpr TexCoordTable kFlippedTopBottom = {{{0, 0}, {1, 0}, {0, 1}, {1, 1}}};
inline constexpr TexCoordTable kFlippedLeftRight = {{{1, 1}, {0, 1}, {1, 0}, {0, 0}}};

// A quad over the clip-space rectangle [left, right] × [bottom, top] (the full target by
// default) with the given texture coordinates at its corners.
Quad makeQuad(const TexCoordTable& table = kUpright, float left = -1, float bottom = -1,
              float right = 1, float top = 1);

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Rgba& colour);

// Records what the fragment function saw at every target pixel: how often it was shaded and
// its texture coordinate. Bands of one draw run concurrently, hence the atomic counters.
struct PixelProbe {
    PixelProbe(size_t width, size_t height);
    size_t width, height;
    std::unique_ptr<std::atomic<int>[]> visits;
    std::vector<double> u, v;
};

// The current backend's device, with the test library installed; null when the backend cannot
// be had on this machine.
DeviceRef testDevice();

// A pipeline of quadVertex and the named fragment function for targets of `format`.
RenderPipelineStateRef makePipeline(const std::string& fragment, PixelFormat format,
                                    const std::string& label = "test");

// A texture that passes can render into and shaders can read.
TextureRef makeTarget(PixelFormat format, size_t width, size_t height);
// A shader-readable 4-byte texture holding `texels` (tightly packed, in the format's order).
TextureRef makeSource(PixelFormat format, size_t width, size_t height,
                      const std::vector<uint8_t>& texels);

// Distinct, repeatable bytes for every channel of every texel, alpha included.
std::vector<uint8_t> patternTexels(size_t width, size_t height, uint32_t seed);

// All texels of the texture, tightly packed.
std::vector<uint8_t> readTexels(const Texture& texture);
// Texel (x, y) of tightly packed 4-byte texels of the given format.
Rgba texelAt(const std::vector<uint8_t>& texels, PixelFormat format, size_t width, size_t x,
             size_t y);
// Stores texel (x, y) of tightly packed 4-byte texels.
void setTexel(std::vector<uint8_t>& texels, PixelFormat format, size_t width, size_t x, size_t y,
              Rgba colour);

BufferRef vertexBuffer(const Quad& quad);
BufferRef colourBuffer(Rgba colour);
BufferRef probeBuffer(PixelProbe* probe);

// One pass over `target`; `encode` records its draws. Returns the committed command buffer.
CommandBufferRef commitPass(const TextureRef& target, LoadAction load, ClearColor clear,
                            const std::function<void(RenderCommandEncoder&)>& encode);

// Returns once everything committed so far on the device has finished and let go of its
// resources.
void drainDevice();

// Records one quad into an open encoder.
void encodeQuad(RenderCommandEncoder& encoder, const RenderPipelineStateRef& pipeline,
                const Quad& quad, const TextureRef& source = nullptr,
                const BufferRef& fragmentBuffer = nullptr);

// Draws `source` over the whole of `target` with the table and waits for the result.
CommandBufferRef drawCopy(const TextureRef& target, const TextureRef& source,
                          const TexCoordTable& table = kUpright);
// Fills the quad with one colour and waits for the result.
CommandBufferRef drawConstant(const TextureRef& target, Rgba colour, const Quad& quad = makeQuad(),
                              LoadAction load = LoadAction::DontCare, ClearColor clear = {});

}  // namespace hx::gpu::test

#include "GpuTestSupport.h"

#include <cstring>
#include <map>
#include <mutex>
#include <ostream>

#include "platform/gpu/cpu/Sampling.h"
#include "platform/gpu/cpu/ShaderABI.h"
#include "platform/gpu/gl/GlLibrary.h"

namespace hx::gpu::test {

namespace {

using cpu::BoundTexture;
using cpu::FragmentBand;
using cpu::RenderTarget;
using cpu::ShaderBindings;
using cpu::VertexOutput;

void quadVertex(const ShaderBindings& bindings, uint32_t vertexId, VertexOutput& out) {
    const cpu::BoundBuffer& vertices = bindings.vertexBuffers[0];
    if (!vertices || vertices.length < (vertexId + 1) * sizeof(Vertex)) return;
    Vertex vertex;
    std::memcpy(&vertex, static_cast<const uint8_t*>(vertices.data) + vertexId * sizeof(Vertex),
                sizeof(Vertex));
    out.position[0] = vertex.x;
    out.position[1] = vertex.y;
    out.texCoord[0] = vertex.u;
    out.texCoord[1] = vertex.v;
}

void writeTexel(uint8_t* out, cpu::ChannelOrder order, Rgba colour) {
    out[order.r] = colour.r;
    out[order.g] = colour.g;
    out[order.b] = colour.b;
    out[3] = colour.a;
}

void copyFragment(const ShaderBindings& bindings, const RenderTarget& target,
                  const FragmentBand& band) {
    const BoundTexture& source = bindings.fragmentTextures[0];
    if (!source) return;
    const cpu::ChannelOrder from = cpu::channelOrder(source.format);
    const cpu::ChannelOrder to = cpu::channelOrder(target.format);
    const size_t count = band.x1 - band.x0;
    thread_local std::vector<uint8_t> scratch;
    scratch.resize(count * 4);
    for (size_t y = band.y0; y < band.y1; ++y) {
        const uint8_t* in = cpu::sampleRow(source, band.u(double(band.x0), double(y)),
                                           band.v(double(band.x0), double(y)), band.dudx, band.dvdx,
                                           count, scratch.data());
        uint8_t* out = target.row(y) + band.x0 * 4;
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* texel = in + i * 4;
            writeTexel(out + i * 4, to, {texel[from.r], texel[from.g], texel[from.b], texel[3]});
        }
    }
}

void constantFragment(const ShaderBindings& bindings, const RenderTarget& target,
                      const FragmentBand& band) {
    const Rgba colour = bindings.fragmentBuffers[0].as<Rgba>(Rgba{1, 2, 3, 4});
    const cpu::ChannelOrder to = cpu::channelOrder(target.format);
    for (size_t y = band.y0; y < band.y1; ++y)
        for (size_t x = band.x0; x < band.x1; ++x) writeTexel(target.row(y) + x * 4, to, colour);
}

void probeFragment(const ShaderBindings& bindings, const RenderTarget& target,
                   const FragmentBand& band) {
    auto* probe = bindings.fragmentBuffers[0].as<PixelProbe*>(nullptr);
    if (!probe) return;
    const cpu::ChannelOrder to = cpu::channelOrder(target.format);
    for (size_t y = band.y0; y < band.y1; ++y) {
        for (size_t x = band.x0; x < band.x1; ++x) {
            const size_t i = y * probe->width + x;
            probe->visits[i].fetch_add(1);
            probe->u[i] = band.u(double(x), double(y));
            probe->v[i] = band.v(double(x), double(y));
            writeTexel(target.row(y) + x * 4, to, {255, 255, 255, 255});
        }
    }
}

// The same functions in GLSL. Copies sample with the CPU backend's bilinear arithmetic, so both
// backends give the same bytes; there is no probe, as a GL shader cannot reach CPU memory.
void installGlTestLibrary() {
    const std::string quadVertex = R"(
layout(std140, binding = 0) uniform Vertices {
    vec4 vertices[16];  // x, y, u, v
} quad;
void main() {
    if (!hx_vertexBufferBound(0) || gl_VertexID >= 16) {
        hx_emit(vec4(0.0, 0.0, 0.0, 1.0), vec2(0.0));
        return;
    }
    vec4 v = quad.vertices[gl_VertexID];
    hx_emit(vec4(v.xy, 0.0, 1.0), v.zw);
}
)";
    const std::string copyFragment = R"(
layout(binding = 0) uniform highp sampler2D source;
ivec4 texelOf(int x, int y) { return ivec4(round(texelFetch(source, ivec2(x, y), 0) * 255.0)); }
void main() {
    ivec3 info = hx_texture(0);
    if (info.z == 0) discard;
    float w = float(info.x), h = float(info.y);
    float sx = clamp(hx_texCoord.x * w - 0.5, 0.0, w - 1.0);
    float sy = clamp(hx_texCoord.y * h - 0.5, 0.0, h - 1.0);
    int x0 = int(sx), y0 = int(sy);
    int x1 = min(x0 + 1, info.x - 1), y1 = min(y0 + 1, info.y - 1);
    int wx = int((sx - float(x0)) * 256.0 + 0.5), wy = int((sy - float(y0)) * 256.0 + 0.5);
    ivec4 top = texelOf(x0, y0) * (256 - wx) + texelOf(x1, y0) * wx;
    ivec4 bottom = texelOf(x0, y1) * (256 - wx) + texelOf(x1, y1) * wx;
    hx_store(vec4((top * (256 - wy) + bottom * wy + 32768) >> 16) / 255.0);
}
)";
    const std::string constantFragment = R"(
layout(std140, binding = 8) uniform Colour {
    uint rgba;
} colour;
void main() {
    uint c = hx_fragmentBufferBound(0) ? colour.rgba : 0x04030201u;
    hx_store(vec4(uvec4(c, c >> 8, c >> 16, c >> 24) & 255u) / 255.0);
}
)";
    gl::installDefaultLibrary({
        {kQuadVertex, FunctionType::Vertex, quadVertex},
        {kCopyFragment, FunctionType::Fragment, copyFragment},
        {kConstantFragment, FunctionType::Fragment, constantFragment},
        // No source: the library leaves it out.
        {kBrokenVertex, FunctionType::Vertex, ""},
    });
}

void installTestLibrary() {
    using cpu::ShaderFunction;
    std::vector<ShaderFunction> functions;
    functions.push_back({kQuadVertex, FunctionType::Vertex, quadVertex, nullptr});
    functions.push_back({kCopyFragment, FunctionType::Fragment, nullptr, copyFragment});
    functions.push_back({kConstantFragment, FunctionType::Fragment, nullptr, constantFragment});
    functions.push_back({kProbeFragment, FunctionType::Fragment, nullptr, probeFragment});
    functions.push_back({kBrokenVertex, FunctionType::Vertex, nullptr, copyFragment});
    cpu::installDefaultLibrary(std::move(functions));
    installGlTestLibrary();
}

std::string& backendInUse() {
    static std::string backend = "cpu";
    return backend;
}

}  // namespace

Quad makeQuad(const TexCoordTable& table, float left, float bottom, float right, float top) {
    return {{{left, bottom, table[0][0], table[0][1]},
             {right, bottom, table[1][0], table[1][1]},
             {left, top, table[2][0], table[2][1]},
             {right, top, table[3][0], table[3][1]}}};
}

std::ostream& operator<<(std::ostream& out, const Rgba& c) {
    return out << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ", " << int(c.a)
               << ")";
}

PixelProbe::PixelProbe(size_t width, size_t height)
    : width(width),
      height(height),
      visits(new std::atomic<int>[width * height]),
      u(width * height, -1),
      v(width * height, -1) {
    for (size_t i = 0; i < width * height; ++i) visits[i].store(0);
}

std::vector<std::string> backends() {
    return {"cpu", "gl"};
}

void useBackend(const std::string& backend) {
    backendInUse() = backend;
}

const std::string& currentBackend() {
    return backendInUse();
}

void BackendTest::SetUp() {
    useBackend(GetParam());
    ASSERT_TRUE(testDevice()) << "no " << GetParam() << " device on this machine";
}

std::string backendName(const ::testing::TestParamInfo<std::string>& info) {
    return info.param;
}

DeviceRef testDevice() {
    static std::once_flag installed;
    std::call_once(installed, installTestLibrary);
    // One device per backend for the whole run, as programs have one.
    static std::mutex mutex;
    static std::map<std::string, DeviceRef> devices;
    std::lock_guard lock(mutex);
    auto [it, made] = devices.try_emplace(currentBackend());
    if (made) {
        std::string error;
        it->second = createDevice(currentBackend(), &error);
        if (!it->second)
            std::fprintf(stderr, "no %s device: %s\n", currentBackend().c_str(), error.c_str());
    }
    return it->second;
}

RenderPipelineStateRef makePipeline(const std::string& fragment, PixelFormat format,
                                    const std::string& label) {
    DeviceRef device = testDevice();
    LibraryRef library = device->newDefaultLibrary();
    if (!library) return nullptr;
    RenderPipelineDescriptor descriptor;
    descriptor.label = label;
    descriptor.vertexFunction = library->newFunctionWithName(kQuadVertex);
    descriptor.fragmentFunction = library->newFunctionWithName(fragment);
    descriptor.colorAttachments[0].pixelFormat = format;
    return device->newRenderPipelineStateWithDescriptor(descriptor, nullptr);
}

TextureRef makeTarget(PixelFormat format, size_t width, size_t height) {
    auto descriptor = TextureDescriptor::texture2D(format, width, height);
    descriptor.usage = TextureUsageRenderTarget | TextureUsageShaderRead;
    return testDevice()->newTextureWithDescriptor(descriptor);
}

TextureRef makeSource(PixelFormat format, size_t width, size_t height,
                      const std::vector<uint8_t>& texels) {
    TextureRef texture =
        testDevice()->newTextureWithDescriptor(TextureDescriptor::texture2D(format, width, height));
    if (texture) texture->replaceRegion(Region::make2D(0, 0, width, height), 0, texels.data(), 0);
    return texture;
}

std::vector<uint8_t> patternTexels(size_t width, size_t height, uint32_t seed) {
    std::vector<uint8_t> texels(width * height * 4);
    uint32_t state = seed * 2654435761u + 1;
    for (auto& byte : texels) {
        state = state * 1664525u + 1013904223u;
        byte = uint8_t(state >> 24);
    }
    return texels;
}

std::vector<uint8_t> readTexels(const Texture& texture) {
    const size_t rowBytes = texture.width() * bytesPerPixel(texture.pixelFormat());
    std::vector<uint8_t> texels(rowBytes * texture.height());
    texture.getBytes(texels.data(), rowBytes,
                     Region::make2D(0, 0, texture.width(), texture.height()), 0);
    return texels;
}

Rgba texelAt(const std::vector<uint8_t>& texels, PixelFormat format, size_t width, size_t x,
             size_t y) {
    const uint8_t* texel = texels.data() + (y * width + x) * 4;
    const cpu::ChannelOrder order = cpu::channelOrder(format);
    return {texel[order.r], texel[order.g], texel[order.b], texel[3]};
}

void setTexel(std::vector<uint8_t>& texels, PixelFormat format, size_t width, size_t x, size_t y,
              Rgba colour) {
    writeTexel(texels.data() + (y * width + x) * 4, cpu::channelOrder(format), colour);
}

BufferRef vertexBuffer(const Quad& quad) {
    return testDevice()->newBufferWithBytes(quad.data(), sizeof(quad));
}

BufferRef colourBuffer(Rgba colour) {
    return testDevice()->newBufferWithBytes(&colour, sizeof(colour));
}

BufferRef probeBuffer(PixelProbe* probe) {
    return testDevice()->newBufferWithBytes(&probe, sizeof(probe));
}

CommandBufferRef commitPass(const TextureRef& target, LoadAction load, ClearColor clear,
                            const std::function<void(RenderCommandEncoder&)>& encode) {
    static std::map<Device*, CommandQueueRef> queues;
    DeviceRef device = testDevice();
    CommandQueueRef& queue = queues[device.get()];
    if (!queue) queue = device->newCommandQueue();
    CommandBufferRef commandBuffer = queue->commandBuffer();
    RenderPassDescriptor pass;
    pass.colorAttachments[0].texture = target;
    pass.colorAttachments[0].loadAction = load;
    pass.colorAttachments[0].storeAction = StoreAction::Store;
    pass.colorAttachments[0].clearColor = clear;
    RenderCommandEncoderRef encoder = commandBuffer->renderCommandEncoderWithDescriptor(pass);
    if (encoder) {
        encode(*encoder);
        encoder->endEncoding();
    }
    commandBuffer->commit();
    return commandBuffer;
}

void drainDevice() {
    // Buffers run one after another, so an empty one finishes after all earlier work is done.
    auto commandBuffer = testDevice()->newCommandQueue()->commandBuffer();
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
}

void encodeQuad(RenderCommandEncoder& encoder, const RenderPipelineStateRef& pipeline,
                const Quad& quad, const TextureRef& source, const BufferRef& fragmentBuffer) {
    encoder.setRenderPipelineState(pipeline);
    encoder.setVertexBuffer(vertexBuffer(quad), 0, 0);
    if (source) encoder.setFragmentTexture(source, 0);
    if (fragmentBuffer) encoder.setFragmentBuffer(fragmentBuffer, 0, 0);
    encoder.drawPrimitives(PrimitiveType::TriangleStrip, 0, 4);
}

CommandBufferRef drawCopy(const TextureRef& target, const TextureRef& source,
                          const TexCoordTable& table) {
    auto pipeline = makePipeline(kCopyFragment, target->pixelFormat());
    auto commandBuffer = commitPass(target, LoadAction::DontCare, {}, [&](auto& encoder) {
        encodeQuad(encoder, pipeline, makeQuad(table), source);
    });
    commandBuffer->waitUntilCompleted();
    return commandBuffer;
}

CommandBufferRef drawConstant(const TextureRef& target, Rgba colour, const Quad& quad,
                              LoadAction load, ClearColor clear) {
    auto pipeline = makePipeline(kConstantFragment, target->pixelFormat());
    auto commandBuffer = commitPass(target, load, clear, [&](auto& encoder) {
        encodeQuad(encoder, pipeline, quad, nullptr, colourBuffer(colour));
    });
    commandBuffer->waitUntilCompleted();
    return commandBuffer;
}

}  // namespace hx::gpu::test

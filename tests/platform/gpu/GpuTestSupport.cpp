#include "GpuTestSupport.h"

#include <cstring>
#include <mutex>
#include <ostream>

#include "platform/gpu/cpu/Sampling.h"
#include "platform/gpu/cpu/ShaderABI.h"

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

void installTestLibrary() {
    using cpu::ShaderFunction;
    std::vector<ShaderFunction> functions;
    functions.push_back({kQuadVertex, FunctionType::Vertex, quadVertex, nullptr});
    functions.push_back({kCopyFragment, FunctionType::Fragment, nullptr, copyFragment});
    functions.push_back({kConstantFragment, FunctionType::Fragment, nullptr, constantFragment});
    functions.push_back({kProbeFragment, FunctionType::Fragment, nullptr, probeFragment});
    functions.push_back({kBrokenVertex, FunctionType::Vertex, nullptr, copyFragment});
    cpu::installDefaultLibrary(std::move(functions));
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

DeviceRef testDevice() {
    static std::once_flag installed;
    std::call_once(installed, installTestLibrary);
    return createSystemDefaultDevice();
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
    static CommandQueueRef queue = testDevice()->newCommandQueue();
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

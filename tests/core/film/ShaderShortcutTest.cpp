// The film shaders with every shortcut of the CPU backend (vector code, separable filtering)
// against the plain per-pixel code: each film, drawn the way the live preview draws it (scaled,
// upright or mirrored, with the softening pre-pass where the film has one), must come out byte
// for byte the same.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/film/FilmRenderer.h"
#include "core/film/RenderContract.h"
#include "platform/gpu/cpu/Sampling.h"

namespace hx::film {
namespace {

using gpu::cpu::CodePaths;

struct Size {
    size_t width, height;
};

gpu::TextureRef makeTexture(gpu::Device& device, Size size, bool renderTarget,
                            gpu::PixelFormat format = gpu::PixelFormat::BGRA8Unorm) {
    auto descriptor = gpu::TextureDescriptor::texture2D(format, size.width, size.height);
    descriptor.usage =
        gpu::TextureUsageShaderRead | (renderTarget ? gpu::TextureUsageRenderTarget : 0u);
    return device.newTextureWithDescriptor(descriptor);
}

// A camera-like frame: smooth gradients with a fine pattern and saturated corners.
gpu::TextureRef makeFrame(gpu::Device& device, Size size) {
    auto texture = makeTexture(device, size, false);
    std::vector<uint8_t> bytes(size.width * size.height * 4);
    for (size_t y = 0; y < size.height; ++y)
        for (size_t x = 0; x < size.width; ++x) {
            uint8_t* p = &bytes[(y * size.width + x) * 4];
            p[0] = uint8_t(x * 255 / size.width);
            p[1] = uint8_t(y * 255 / size.height);
            p[2] = uint8_t((x * 37 + y * 91 + x * y) % 256);
            p[3] = 255;
            if ((x + y) % 11 == 0) p[0] = p[1] = p[2] = 255;
            if ((x * 3 + y) % 13 == 0) p[0] = p[1] = p[2] = 0;
        }
    texture->replaceRegion(gpu::Region::make2D(0, 0, size.width, size.height), 0, bytes.data(),
                           size.width * 4);
    return texture;
}

gpu::RenderPipelineStateRef pipeline(gpu::Device& device, const char* fragment,
                                     gpu::PixelFormat format) {
    auto library = device.newDefaultLibrary();
    gpu::RenderPipelineDescriptor descriptor;
    descriptor.vertexFunction = library->newFunctionWithName(kMapTexture);
    descriptor.fragmentFunction = library->newFunctionWithName(fragment);
    descriptor.colorAttachments[0].pixelFormat = format;
    std::string error;
    auto state = device.newRenderPipelineStateWithDescriptor(descriptor, &error);
    EXPECT_TRUE(state) << error;
    return state;
}

// Draws `frame` through the renderer's current film into a new `target`-sized drawable, as
// the live preview does, and reads the drawable back.
std::vector<uint8_t> draw(hxFilmRenderer& renderer, const gpu::TextureRef& frame, Size target,
                          const TexCoordTable& texCoords, CodePaths paths) {
    gpu::Device& device = *renderer.metaldevice;
    const FilmRenderState state = renderer.renderState();
    const bool color = renderer._currentFilm > 8;
    auto drawable = makeTexture(device, target, true);
    // The softening pass runs at a third of the drawable, as at the phone's screen scale.
    auto pre = makeTexture(
        device, {std::max<size_t>(1, target.width / 3), std::max<size_t>(1, target.height / 3)},
        true, gpu::PixelFormat::RGBA8Unorm);
    FilmPasses passes;
    passes.parameters = PassParameters::make(device, state, texCoords, 1.0f / float(target.width),
                                             1.0f / float(target.height));
    passes.blur = state.blurFlag;
    passes.color = color;
    passes.source = frame;
    passes.table = color ? renderer.lookup2DTexture : renderer.contrastTexture;
    passes.prePipeline = pipeline(device, kPreDisplayTexture, gpu::PixelFormat::RGBA8Unorm);
    passes.mainPipeline = pipeline(device, color ? kDisplayColorTexture : kDisplayTexture,
                                   gpu::PixelFormat::BGRA8Unorm);
    passes.prePass.colorAttachments[0].texture = pre;
    passes.prePass.colorAttachments[0].loadAction = gpu::LoadAction::Clear;
    passes.mainPass.colorAttachments[0].texture = drawable;
    passes.mainPass.colorAttachments[0].loadAction = gpu::LoadAction::Clear;

    const CodePaths previous = gpu::cpu::setCodePaths(paths);
    auto commandBuffer = renderer.commandQueue->commandBuffer();
    encodeFilmPasses(*commandBuffer, passes);
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    gpu::cpu::setCodePaths(previous);
    EXPECT_EQ(commandBuffer->status(), gpu::CommandBufferStatus::Completed)
        << commandBuffer->errorDescription();

    std::vector<uint8_t> pixels(target.width * target.height * 4);
    drawable->getBytes(pixels.data(), target.width * 4,
                       gpu::Region::make2D(0, 0, target.width, target.height), 0);
    return pixels;
}

class ShaderShortcuts : public testing::TestWithParam<int32_t> {};

TEST_P(ShaderShortcuts, PreviewDrawsMatchThePerPixelCode) {
    hxFilmRenderer renderer;
    renderer.selectFilm(GetParam());
    ASSERT_EQ(renderer.missingFilmResource(), "");
    const Size frameSize{54, 72};
    auto frame = makeFrame(*renderer.metaldevice, frameSize);
    // Enlarged by an odd factor (as the phone's preview), reduced, by a whole factor, and the
    // frame's own size (texel for texel).
    const Size targets[] = {{59, 78}, {23, 31}, {162, 216}, {54, 72}, {1, 1}, {7, 3}};
    const std::pair<const char*, TexCoordTable> mappings[] = {
        {"upright", texCoordsUpright},
        {"mirrored left to right", texCoordsMirrorU},
        {"mirrored top to bottom", texCoordsMirrorV}};
    for (Size target : targets)
        for (const auto& [name, texCoords] : mappings) {
            auto expected = draw(renderer, frame, target, texCoords, CodePaths::PerPixel);
            for (CodePaths paths : {CodePaths::Portable, CodePaths::All}) {
                auto actual = draw(renderer, frame, target, texCoords, paths);
                ASSERT_EQ(actual.size(), expected.size());
                size_t differing = 0, first = 0;
                for (size_t i = 0; i < actual.size(); ++i)
                    if (actual[i] != expected[i] && differing++ == 0) first = i;
                EXPECT_EQ(differing, 0u)
                    << target.width << "x" << target.height << " " << name << ", "
                    << (paths == CodePaths::All ? "all shortcuts" : "portable code")
                    << ": first difference at pixel " << first / 4 % target.width << ", "
                    << first / 4 / target.width;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(EveryFilm, ShaderShortcuts, testing::Range(0, kFilmCount));

}  // namespace
}  // namespace hx::film

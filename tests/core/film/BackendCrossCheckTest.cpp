// Every film through both GPU backends: the CPU backend and OpenGL ES (Mesa's llvmpipe where
// the machine has no GPU). Photos, front-camera photos, live-size preview draws and re-filtered
// pictures must agree within 1 in every channel of every pixel. A disagreement leaves both
// renders and a difference image (differences x 32) under the build folder's
// backend-crosscheck-failures/.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/film/FilmRenderer.h"
#include "core/film/RenderContract.h"
#include "platform/image/PixelConversion.h"
#include "platform/image/png/PngCodec.h"

namespace hx::film {
namespace {

namespace fs = std::filesystem;

// The sample photo reduced by box averages, so the inputs never depend on resampling code.
image::ImageRef reducedSample(int reduction) {
    image::ImageRef sample =
        image::convert(image::readPng(std::string(HX_TEST_RESOURCES_DIR) + "/samples/sample.png"),
                       image::PixelFormat::RGB8);
    if (!sample) return nullptr;
    const int w = sample->width() / reduction, h = sample->height() / reduction;
    std::vector<uint8_t> pixels(size_t(w) * size_t(h) * 3);
    const int area = reduction * reduction;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < reduction; ++dy)
                    for (int dx = 0; dx < reduction; ++dx)
                        sum += sample->row(y * reduction +
                                           dy)[size_t(x * reduction + dx) * 3 + size_t(c)];
                pixels[(size_t(y) * size_t(w) + size_t(x)) * 3 + size_t(c)] =
                    uint8_t((sum + area / 2) / area);
            }
    return image::Image::adopt(image::PixelFormat::RGB8, w, h, std::move(pixels));
}

gpu::PixelBufferRef photoOf(const image::Image& picture) {
    gpu::PixelBufferRef buffer;
    if (gpu::PixelBuffer::create(size_t(picture.width()), size_t(picture.height()),
                                 gpu::PixelFormatType32BGRA, {true, true, true}, &buffer))
        return nullptr;
    for (int y = 0; y < picture.height(); ++y)
        image::convertPixels(picture.pixelFormat(), picture.row(y), image::PixelFormat::BGRA8,
                             buffer->baseAddress() + size_t(y) * buffer->bytesPerRow(),
                             size_t(picture.width()));
    return buffer;
}

// A renderer drawing on `device` instead of the system default one.
std::unique_ptr<hxFilmRenderer> rendererOn(const gpu::DeviceRef& device, int32_t film) {
    auto renderer = std::make_unique<hxFilmRenderer>();
    renderer->metaldevice = device;
    renderer->commandQueue = device->newCommandQueue();
    renderer->selectFilm(film);
    return renderer;
}

// Compares two pictures of one format and size; on a difference above 1 writes both and a
// difference image, and fails naming them.
void expectClose(const image::ImageRef& cpuRender, const image::ImageRef& glRender,
                 const std::string& what) {
    ASSERT_TRUE(cpuRender && glRender) << what;
    const image::Image &cpu = *cpuRender, &gl = *glRender;
    ASSERT_EQ(cpu.pixelFormat(), gl.pixelFormat()) << what;
    ASSERT_EQ(cpu.width(), gl.width()) << what;
    ASSERT_EQ(cpu.height(), gl.height()) << what;
    const int w = cpu.width(), h = cpu.height();
    const size_t channels = cpu.bytesPerPixel();
    std::vector<uint8_t> diff(size_t(w) * size_t(h));
    int worst = 0, worstX = 0, worstY = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int pixelWorst = 0;
            for (size_t c = 0; c < channels; ++c) {
                const size_t i = size_t(x) * channels + c;
                pixelWorst = std::max(pixelWorst, std::abs(int(cpu.row(y)[i]) - int(gl.row(y)[i])));
            }
            if (pixelWorst > worst) worst = pixelWorst, worstX = x, worstY = y;
            diff[size_t(y) * size_t(w) + size_t(x)] = uint8_t(std::min(pixelWorst * 32, 255));
        }
    if (worst <= 1) return;
    const fs::path folder = fs::path(HX_TEST_BINARY_DIR) / "backend-crosscheck-failures";
    fs::create_directories(folder);
    std::string stem = what;
    std::replace(stem.begin(), stem.end(), ' ', '_');
    auto store = [&](const image::ImageRef& picture, const std::string& suffix) {
        image::ImageRef stored = picture->pixelFormat() == image::PixelFormat::Grey8
                                     ? picture
                                     : image::convert(picture, image::PixelFormat::RGB8);
        const fs::path path = folder / (stem + suffix);
        if (stored) image::writePng(*stored, path.string());
        return path;
    };
    store(cpuRender, ".cpu.png");
    store(glRender, ".gl.png");
    const fs::path diffPath = folder / (stem + ".diff.png");
    image::writePng(*image::Image::adopt(image::PixelFormat::Grey8, w, h, std::move(diff)),
                    diffPath.string());
    ADD_FAILURE() << what << ": the backends differ by up to " << worst << " (first worst at "
                  << worstX << ", " << worstY << "); see " << diffPath;
}

// Draws `frame` through the renderer's film into a `width` x `height` BGRA drawable, with the
// softening pass at a third of that size, as the live preview does.
image::ImageRef drawLive(hxFilmRenderer& renderer, const image::ImageRef& frame, size_t width,
                         size_t height, const TexCoordTable& texCoords) {
    gpu::Device& device = *renderer.metaldevice;
    auto texture = [&](size_t w, size_t h, bool target, gpu::PixelFormat format) {
        auto d = gpu::TextureDescriptor::texture2D(format, w, h);
        d.usage = gpu::TextureUsageShaderRead | (target ? gpu::TextureUsageRenderTarget : 0u);
        return device.newTextureWithDescriptor(d);
    };
    image::ImageRef bgra = image::convert(frame, image::PixelFormat::BGRA8);
    auto source = texture(size_t(frame->width()), size_t(frame->height()), false,
                          gpu::PixelFormat::BGRA8Unorm);
    source->replaceRegion(gpu::Region::make2D(0, 0, source->width(), source->height()), 0,
                          bgra->data(), bgra->bytesPerRow());
    auto drawable = texture(width, height, true, gpu::PixelFormat::BGRA8Unorm);
    auto pre = texture(std::max<size_t>(1, width / 3), std::max<size_t>(1, height / 3), true,
                       gpu::PixelFormat::RGBA8Unorm);
    auto library = device.newDefaultLibrary();
    auto pipeline = [&](const char* fragment, gpu::PixelFormat format) {
        gpu::RenderPipelineDescriptor d;
        d.vertexFunction = library->newFunctionWithName(kMapTexture);
        d.fragmentFunction = library->newFunctionWithName(fragment);
        d.colorAttachments[0].pixelFormat = format;
        std::string error;
        auto state = device.newRenderPipelineStateWithDescriptor(d, &error);
        EXPECT_TRUE(state) << error;
        return state;
    };
    const FilmRenderState state = renderer.renderState();
    const bool color = isColorFilm(renderer._currentFilm);
    FilmPasses passes;
    passes.parameters =
        PassParameters::make(device, state, texCoords, 1.0f / float(width), 1.0f / float(height));
    passes.blur = state.blurFlag;
    passes.color = color;
    passes.source = source;
    passes.table = color ? renderer.lookup2DTexture : renderer.contrastTexture;
    passes.prePipeline = pipeline(kPreDisplayTexture, gpu::PixelFormat::RGBA8Unorm);
    passes.mainPipeline =
        pipeline(color ? kDisplayColorTexture : kDisplayTexture, gpu::PixelFormat::BGRA8Unorm);
    passes.prePass.colorAttachments[0].texture = pre;
    passes.prePass.colorAttachments[0].loadAction = gpu::LoadAction::Clear;
    passes.mainPass.colorAttachments[0].texture = drawable;
    passes.mainPass.colorAttachments[0].loadAction = gpu::LoadAction::Clear;
    auto commandBuffer = renderer.commandQueue->commandBuffer();
    encodeFilmPasses(*commandBuffer, passes);
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(commandBuffer->status(), gpu::CommandBufferStatus::Completed)
        << commandBuffer->errorDescription();
    std::vector<uint8_t> pixels(width * height * 4);
    drawable->getBytes(pixels.data(), width * 4, gpu::Region::make2D(0, 0, width, height), 0);
    return image::Image::adopt(image::PixelFormat::BGRA8, int(width), int(height),
                               std::move(pixels));
}

gpu::DeviceRef glDevice() {
    static std::string error;
    static const gpu::DeviceRef device = gpu::createDevice("gl", &error);
    EXPECT_TRUE(device) << "no OpenGL ES device (" << error
                        << "); scripts/install-deps.sh installs Mesa's llvmpipe";
    return device;
}

class BackendCrossCheck : public testing::TestWithParam<int32_t> {
  protected:
    void SetUp() override {
        gl_ = glDevice();
        ASSERT_TRUE(gl_);
        cpu_ = gpu::createDevice("cpu", nullptr);
        ASSERT_TRUE(cpu_);
    }
    std::string name(const char* what) const {
        return "film " + std::to_string(GetParam()) + " " + what;
    }
    gpu::DeviceRef cpu_, gl_;
};

TEST_P(BackendCrossCheck, PhotosAndFrontCameraPhotosAgree) {
    static const image::ImageRef sample = reducedSample(4);
    ASSERT_TRUE(sample);
    for (int64_t position : {1, 2}) {
        image::ImageRef renders[2];
        const gpu::DeviceRef devices[2] = {cpu_, gl_};
        for (int i = 0; i < 2; ++i) {
            auto renderer = rendererOn(devices[i], GetParam());
            ASSERT_EQ(renderer->missingFilmResource(), "");
            renderer->_currentCameraPosition = position;
            renders[i] = renderer->renderPhoto(photoOf(*sample));
            ASSERT_TRUE(renders[i]);
        }
        expectClose(renders[0], renders[1], name(position == 2 ? "front photo" : "photo"));
    }
}

TEST_P(BackendCrossCheck, LiveSizeDrawsAgree) {
    static const image::ImageRef frame = reducedSample(12);
    ASSERT_TRUE(frame);
    auto cpuRenderer = rendererOn(cpu_, GetParam());
    auto glRenderer = rendererOn(gl_, GetParam());
    struct Target {
        size_t width, height;
    };
    // Enlarged by an odd factor, reduced, and texel for texel.
    const Target targets[] = {{141, 106}, {75, 56}, {128, 96}};
    const std::pair<const char*, TexCoordTable> mappings[] = {{"upright", texCoordsUpright},
                                                              {"mirrored", texCoordsMirrorU},
                                                              {"flipped", texCoordsMirrorV}};
    for (Target t : targets)
        for (const auto& [mapping, texCoords] : mappings) {
            auto cpu = drawLive(*cpuRenderer, frame, t.width, t.height, texCoords);
            auto gl = drawLive(*glRenderer, frame, t.width, t.height, texCoords);
            expectClose(cpu, gl,
                        name("live") + " " + std::to_string(t.width) + "x" +
                            std::to_string(t.height) + " " + mapping);
        }
}

TEST_P(BackendCrossCheck, RefilteredPicturesAgree) {
    static const image::ImageRef sample = reducedSample(6);
    ASSERT_TRUE(sample);
    image::ImageRef renders[2];
    const gpu::DeviceRef devices[2] = {cpu_, gl_};
    for (int i = 0; i < 2; ++i) {
        auto renderer = rendererOn(devices[i], 0);
        renders[i] = renderer->filterImage(nullptr, sample, nullptr, GetParam());
        ASSERT_TRUE(renders[i]);
    }
    expectClose(renders[0], renders[1], name("filterImage"));
}

INSTANTIATE_TEST_SUITE_P(EveryFilm, BackendCrossCheck, testing::Range(0, kFilmCount));

}  // namespace
}  // namespace hx::film

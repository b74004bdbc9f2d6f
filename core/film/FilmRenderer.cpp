#include "core/film/FilmRenderer.h"

#include <cstring>

#include "core/film/FrameCrop.h"
#include "platform/bundle/Bundle.h"
#include "platform/gpu/TextureLoader.h"
#include "platform/image/BitmapContext.h"
#include "platform/image/PixelConversion.h"
#include "platform/log/Log.h"
#include "platform/runloop/DispatchQueue.h"

namespace hx::film {

namespace {
constexpr size_t kToneBytes = 256;
constexpr size_t kLookupSide = 512;
constexpr size_t kLookupBytes = kLookupSide * kLookupSide * 4;
}  // namespace

hxFilmRenderer::hxFilmRenderer() {
    metaldevice = gpu::createSystemDefaultDevice();
    commandQueue = metaldevice->newCommandQueue();
}

// ---- film state

void hxFilmRenderer::selectFilm(int32_t film) {
    _currentFilm = film;
    changeToneCurve(film);
}

void hxFilmRenderer::changeToneCurve(int32_t film) {
    channelMixerValue = kDefaultChannelMix;
    _currentSharpness = 0;
    _sharpFlag = false;
    _blurFlag = false;
    // Colour films change nothing more here: their lookup and flags follow the camera's film
    // in updateToneCurveTextureColor, and the tone table stays as the last monochrome film left it.
    if (isFilm(film) && !isColorFilm(film)) {
        const FilmParameters& p = filmParameters(film);
        _sharpFlag = p.sharpen;
        _currentSharpness = p.sharpness;
        _blurFlag = p.soften;
        channelMixerValue = p.channelMix;
        contrastTable = *p.toneTable;
    }
    if (!isColorFilm(film)) updateToneCurveTexture();
    changeToneCurveColor();
}

void hxFilmRenderer::updateToneCurveTexture() {
    if (!toneCurveByteArray) toneCurveByteArray = std::make_unique<uint8_t[]>(kToneBytes);
    std::memcpy(toneCurveByteArray.get(), contrastTable.data(), kToneBytes);
    auto descriptor = gpu::TextureDescriptor::textureBuffer(gpu::PixelFormat::R8Unorm, kToneBytes,
                                                            gpu::ResourceOptionsDefault,
                                                            gpu::TextureUsageShaderRead);
    descriptor.textureType = gpu::TextureType::Type1D;
    contrastTexture = metaldevice->newTextureWithDescriptor(descriptor);
    if (contrastTexture)
        contrastTexture->replaceRegion(gpu::Region::make1D(0, descriptor.width), 0,
                                       toneCurveByteArray.get(), 0);
}

void hxFilmRenderer::changeToneCurveColor() {
    updateToneCurveTextureColor();
}

void hxFilmRenderer::updateToneCurveTextureColor() {
    if (!toneRgbByteArray) toneRgbByteArray = std::make_unique<uint8_t[]>(kLookupBytes);
    // The lookup is the camera screen's film's, whatever film was applied: a re-filter renders
    // with the monochrome pass only, and closing it applies the camera's film again.
    if (isColorFilm(_currentFilm) && filmParameters(_currentFilm).sharpen) _sharpFlag = true;
    const char* name = lookupImageForFilm(_currentFilm);
    missingFilmResource_.clear();

    Bundle& bundle = Bundle::main();
    image::ImageRef lookup = image::convert(bundle.imageNamed(name), image::PixelFormat::RGBA8);
    if (!lookup || size_t(lookup->width()) * size_t(lookup->height()) * 4 < kLookupBytes) {
        // Without its lookup image a colour film shows colours unchanged rather than black.
        const auto path = bundle.pathForResource(name);
        const std::string problem =
            !path     ? std::string(name) + " is missing from " + bundle.resourcePath()
            : !lookup ? *path + " cannot be read as an image"
                      : *path + " is smaller than 512 x 512";
        hxLog("Lookup image %s", problem.c_str());
        // Only a colour film reads the lookup; the monochrome ones render as they should.
        if (isColorFilm(_currentFilm)) missingFilmResource_ = problem;
        lookup2DTexture.reset();
        return;
    }
    // The first 1 MiB of the decoded pixels, row after row.
    const size_t rowBytes = size_t(lookup->width()) * 4;
    for (size_t offset = 0, y = 0; offset < kLookupBytes; offset += rowBytes, ++y)
        std::memcpy(toneRgbByteArray.get() + offset, lookup->row(int(y)),
                    std::min(rowBytes, kLookupBytes - offset));

    auto descriptor =
        gpu::TextureDescriptor::texture2D(gpu::PixelFormat::RGBA8Unorm, kLookupSide, kLookupSide);
    descriptor.usage = gpu::TextureUsageShaderRead;
    lookup2DTexture = metaldevice->newTextureWithDescriptor(descriptor);
    if (lookup2DTexture)
        lookup2DTexture->replaceRegion(gpu::Region::make2D(0, 0, kLookupSide, kLookupSide), 0,
                                       toneRgbByteArray.get(), kLookupSide * 4);
}

// ---- full-resolution resources

void hxFilmRenderer::makeOfflineOutputTarget(size_t width, size_t height) {
    offlineOutputTarget.reset();
    cvTexture.reset();
    offlineOutputTexture.reset();
    outputLease_ = std::make_shared<int>(0);

    gpu::VideoTextureCacheRef cache;
    if (auto status = gpu::VideoTextureCache::create(metaldevice, &cache))
        hxLog("CVMetalTextureCacheCreate %d", int(status));
    gpu::PixelBufferAttributes attributes{true, true, true};
    if (auto status = gpu::PixelBuffer::create(width, height, gpu::PixelFormatType32BGRA,
                                               attributes, &offlineOutputTarget))
        hxLog("CVPixelBufferCreate %d", int(status));
    if (cache && offlineOutputTarget) {
        if (auto status = cache->createTextureFromImage(
                offlineOutputTarget, gpu::PixelFormat::BGRA8Unorm, offlineOutputTarget->width(),
                offlineOutputTarget->height(), 0, &cvTexture))
            hxLog("CVMetalTextureCacheCreateTextureFromImage %d", int(status));
    }
    if (cvTexture) offlineOutputTexture = cvTexture->texture();

    auto& attachment = offlinePassDescriptor.colorAttachments[0];
    attachment.texture = offlineOutputTexture;
    attachment.loadAction = gpu::LoadAction::Clear;
    attachment.clearColor = {1, 0, 0, 1};
    attachment.storeAction = gpu::StoreAction::Store;
}

void hxFilmRenderer::setupOfflineWidth(int32_t width, int32_t height) {
    gpu::LibraryRef library = metaldevice->newDefaultLibrary();
    if (!library)
        hxLog("The GPU backend %s has no film shader library", metaldevice->name().c_str());
    auto function = [&](const char* name) {
        return library ? library->newFunctionWithName(name) : nullptr;
    };
    gpu::FunctionRef offDisplay = function(kOffDisplayTexture);
    gpu::FunctionRef offPreDisplay = function(kOffPreDisplayTexture);
    gpu::FunctionRef offMap = function(kOffMapTexture);
    gpu::FunctionRef offDisplayColor = function(kOffDisplayColorTexture);

    commandQueue = metaldevice->newCommandQueue();
    offlineRenderPipelineState.reset();
    offlinePreTexture.reset();
    offlinePassDescriptor = {};
    offlinePrePassDescriptor = {};

    const size_t w = width > 0 ? size_t(width) : 0, h = height > 0 ? size_t(height) : 0;
    makeOfflineOutputTarget(w, h);

    gpu::RenderPipelineDescriptor descriptor;
    descriptor.label = kOfflineRenderPipeline;
    descriptor.vertexFunction = offMap;
    descriptor.fragmentFunction = offDisplay;
    descriptor.colorAttachments[0].pixelFormat =
        offlineOutputTexture ? offlineOutputTexture->pixelFormat() : gpu::PixelFormat::Invalid;
    offlineRenderPipelineState =
        metaldevice->newRenderPipelineStateWithDescriptor(descriptor, nullptr);

    auto pre = gpu::TextureDescriptor::texture2D(gpu::PixelFormat::RGBA8Unorm, w, h);
    pre.usage = gpu::TextureUsageShaderRead | gpu::TextureUsageRenderTarget;
    offlinePreTexture = metaldevice->newTextureWithDescriptor(pre);
    auto& preAttachment = offlinePrePassDescriptor.colorAttachments[0];
    preAttachment.texture = offlinePreTexture;
    preAttachment.loadAction = gpu::LoadAction::Clear;
    preAttachment.clearColor = {1, 1, 1, 1};
    preAttachment.storeAction = gpu::StoreAction::Store;

    descriptor.label = kOfflineOffscreenRenderPipeline;
    descriptor.fragmentFunction = offPreDisplay;
    descriptor.colorAttachments[0].pixelFormat =
        offlinePreTexture ? offlinePreTexture->pixelFormat() : gpu::PixelFormat::Invalid;
    offlinePreRenderPipelineState =
        metaldevice->newRenderPipelineStateWithDescriptor(descriptor, nullptr);

    descriptor.label = kOfflineRenderColorPipeline;
    descriptor.fragmentFunction = offDisplayColor;
    descriptor.colorAttachments[0].pixelFormat =
        offlineOutputTexture ? offlineOutputTexture->pixelFormat() : gpu::PixelFormat::Invalid;
    offlineRenderColorPipelineState =
        metaldevice->newRenderPipelineStateWithDescriptor(descriptor, nullptr);
}

bool hxFilmRenderer::offlineSizeIs(size_t width, size_t height) const {
    return offlineOutputTarget && offlineOutputTarget->width() == width &&
           offlineOutputTarget->height() == height && offlinePreTexture &&
           offlinePreTexture->width() == width && offlinePreTexture->height() == height;
}

// ---- renders

void hxFilmRenderer::renderOffline(const gpu::TextureRef& source, const TexCoordTable& texCoords,
                                   bool colorPass, size_t width, size_t height) {
    // An image read back earlier still shows the output buffer: render into a fresh one so
    // that image keeps its pixels.
    if (outputLease_.use_count() > 1) makeOfflineOutputTarget(width, height);

    FilmPasses passes;
    passes.parameters = PassParameters::make(*metaldevice, renderState(), texCoords,
                                             1.0f / float(width), 1.0f / float(height));
    passes.blur = _blurFlag;
    passes.color = colorPass;
    passes.source = source;
    passes.table = colorPass ? lookup2DTexture : contrastTexture;
    passes.prePipeline = offlinePreRenderPipelineState;
    passes.mainPipeline = colorPass ? offlineRenderColorPipelineState : offlineRenderPipelineState;
    passes.prePass = offlinePrePassDescriptor;
    passes.mainPass = offlinePassDescriptor;

    gpu::CommandBufferRef commandBuffer = commandQueue->commandBuffer();
    encodeFilmPasses(*commandBuffer, passes);
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
}

OfflineVariant hxFilmRenderer::offlineVariant(PhotoOutput output) const {
    if (isColorFilm(_currentFilm)) return OfflineVariant::Color;
    return output == PhotoOutput::HEIC ? OfflineVariant::MonoHEIC : OfflineVariant::Mono;
}

image::ImageRef hxFilmRenderer::renderPhoto(const gpu::PixelBufferRef& photo, PhotoOutput output) {
    if (!photo) return nullptr;
    const OfflineVariant variant = offlineVariant(output);
    photo->lockBaseAddress(gpu::PixelBuffer::LockReadOnly);
    const size_t width = photo->width(), height = photo->height();
    // The output must match the photo; a photo of another size than the camera format would
    // otherwise be drawn into a wrongly sized target.
    if (!offlineSizeIs(width, height)) setupOfflineWidth(int32_t(width), int32_t(height));

    gpu::VideoTextureCacheRef cache;
    if (auto status = gpu::VideoTextureCache::create(metaldevice, &cache))
        hxLog("CVMetalTextureCacheCreate %d", int(status));
    gpu::VideoTextureRef wrapper;
    if (cache) {
        if (auto status = cache->createTextureFromImage(photo, gpu::PixelFormat::BGRA8Unorm, width,
                                                        height, 0, &wrapper))
            hxLog("CVMetalTextureCacheCreateTextureFromImage %d", int(status));
    }
    offlineTexture = wrapper ? wrapper->texture() : nullptr;
    photo->unlockBaseAddress(gpu::PixelBuffer::LockReadOnly);
    wrapper.reset();
    cache.reset();
    if (!offlineTexture || !offlineOutputTexture) return nullptr;

    const TexCoordTable& texCoords =
        _currentCameraPosition == 2 ? texCoordsMirrorV : texCoordsUpright;
    renderOffline(offlineTexture, texCoords, variant == OfflineVariant::Color, width, height);
    // The photo's texture goes with its render: kept, it would hold the camera's still buffer
    // until the next photo, or for good after a change of camera.
    offlineTexture.reset();
    if (variant == OfflineVariant::Mono) return readBackGrey(width, height);
    return readBackColor(width, height, true);
}

image::ImageRef hxFilmRenderer::filterImage(const void*, const image::ImageRef& source, const void*,
                                            int32_t film) {
    if (!source) return nullptr;
    int width = source->width();
    const int height = source->height();
    image::ImageRef picture = source;
    if (width % 16 != 0) {
        const int rounded = width / 16 * 16;
        if (rounded == 0) {
            hxLog("Cannot filter a picture %d pixels wide", width);
            return nullptr;
        }
        // An image context counts y downwards like the screen; the flip turns it back, so the
        // picture lands upright. Drawn at full width, its right-hand columns fall outside.
        auto context = image::BitmapContext::create(image::PixelFormat::BGRA8, rounded, height);
        if (!context) return nullptr;
        context->setCTM({1, 0, 0, -1, 0, double(height)});
        context->concatCTM({1, 0, 0, -1, 0, double(height)});
        context->drawImage(source, {0, 0, double(width), double(height)});
        picture = context->makeImage();
        width = rounded;
        if (!picture) return nullptr;
    }

    setupOfflineWidth(width, height);
    std::string error;
    offlineTexture = gpu::TextureLoader(metaldevice).newTextureWithImage(picture, {}, &error);
    if (!offlineTexture) hxLog("newTextureWithCGImage %s", error.c_str());
    changeToneCurve(film);
    if (!offlineOutputTexture) return nullptr;
    renderOffline(offlineTexture, texCoordsUpright, false, size_t(width), size_t(height));
    offlineTexture.reset();
    return readBackColor(size_t(width), size_t(height), false);
}

// ---- read-back

image::ImageRef hxFilmRenderer::readBackGrey(size_t width, size_t height) const {
    const CropRect crop = cropRectForFrame(_currentFrame, int(width), int(height));
    // Every byte is written below, so the buffer is left uninitialised.
    std::shared_ptr<uint8_t[]> grey =
        std::make_shared_for_overwrite<uint8_t[]>(size_t(crop.width) * size_t(crop.height));
    offlineOutputTarget->lockBaseAddress(gpu::PixelBuffer::LockReadOnly);
    const uint8_t* base = offlineOutputTarget->baseAddress();
    const size_t bytesPerRow = offlineOutputTarget->bytesPerRow();
    // Red, green and blue are equal in a monochrome render; the first byte is the grey.
    const size_t rows = size_t(crop.height), chunks = std::min<size_t>(rows, 64);
    DispatchQueue::concurrentPerform(chunks, [&](size_t chunk) {
        for (size_t y = rows * chunk / chunks; y < rows * (chunk + 1) / chunks; ++y) {
            const uint8_t* in = base + (y + size_t(crop.y)) * bytesPerRow + size_t(crop.x) * 4;
            uint8_t* out = grey.get() + y * size_t(crop.width);
            for (int x = 0; x < crop.width; ++x) out[x] = in[size_t(x) * 4];
        }
    });
    offlineOutputTarget->unlockBaseAddress(gpu::PixelBuffer::LockReadOnly);
    const uint8_t* pixels = grey.get();
    return image::Image::wrap(image::PixelFormat::Grey8, crop.width, crop.height, pixels,
                              size_t(crop.width), std::move(grey));
}

image::ImageRef hxFilmRenderer::readBackColor(size_t width, size_t height, bool crop) {
    struct Holder {
        gpu::PixelBufferRef buffer;
        std::shared_ptr<int> lease;
    };
    auto holder = std::make_shared<Holder>(Holder{offlineOutputTarget, outputLease_});
    offlineOutputTarget->lockBaseAddress(gpu::PixelBuffer::LockReadOnly);
    // Rows are read with the buffer's real stride, so any width reads back correctly.
    image::ImageRef picture = image::Image::wrap(image::PixelFormat::BGRA8, int(width), int(height),
                                                 offlineOutputTarget->baseAddress(),
                                                 offlineOutputTarget->bytesPerRow(), holder);
    offlineOutputTarget->unlockBaseAddress(gpu::PixelBuffer::LockReadOnly);
    if (!picture || !crop || _currentFrame < 1 || _currentFrame > 4) return picture;
    const CropRect r = cropRectForFrame(_currentFrame, int(width), int(height));
    return picture->cropped(r.x, r.y, r.width, r.height);
}

}  // namespace hx::film

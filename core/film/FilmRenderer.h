#pragma once
// The camera's film renderer: the film state written when a film is chosen, and the
// full-resolution render of photos and re-filtered pictures. The camera screen controller
// owns one; its fields keep the names the rest of the camera uses.
//
// Threads: changeToneCurve() and setupOfflineWidth() run on the main thread. The renders block
// their calling thread until the GPU is done; they must not run concurrently with each other
// or with a film change.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "core/film/FilmTable.h"
#include "core/film/RenderContract.h"
#include "platform/gpu/Device.h"
#include "platform/gpu/PixelBuffer.h"
#include "platform/image/Image.h"

namespace hx::film {

// Which of the three photo-processing variants a full-resolution render serves. The renderer
// picks it from the camera's film and the kind of file the photo is stored in.
enum class OfflineVariant {
    Mono,      // monochrome film, compressed output: read back as 8-bit grey
    MonoHEIC,  // monochrome film, HEIC output: read back in colour
    Color,     // colour film: colour pass, read back in colour
};

// The kind of file a rendered photo is stored in.
enum class PhotoOutput {
    Compressed,  // JPEG or TIFF (and PNG in the tools)
    HEIC,
};

class hxFilmRenderer {
  public:
    hxFilmRenderer();

    // ---- film state
    // Makes `film` the camera's film and applies it: what the film picker does, and the one way
    // a program that renders with one film sets it.
    void selectFilm(int32_t film);
    // Applies `film`: the monochrome state fields come from its row of the film table (an index
    // outside the table only resets); the lookup, the colour films' flags and the variant of the
    // next renders follow `_currentFilm`.
    void changeToneCurve(int32_t film);
    void updateToneCurveTexture();
    void changeToneCurveColor();
    // Rebuilds lookup2DTexture for `_currentFilm`.
    void updateToneCurveTextureColor();
    // Empty when the camera's film can be rendered as it should; otherwise which resource
    // it lacks and why ("lookup_3.png is missing from /path"). Renders still run: a colour
    // film without its lookup shows the colours unchanged.
    const std::string& missingFilmResource() const { return missingFilmResource_; }

    // ---- full-resolution render
    void setupOfflineWidth(int32_t width, int32_t height);
    // The variant a photo of the camera's film takes when stored as `output`.
    OfflineVariant offlineVariant(PhotoOutput output) const;
    // Renders a captured BGRA photo through the camera's film, in the variant that film
    // and `output` need, and reads it back, cropped to `_currentFrame`. Null when the photo
    // cannot be rendered.
    image::ImageRef renderPhoto(const gpu::PixelBufferRef& photo,
                                PhotoOutput output = PhotoOutput::Compressed);
    // Re-filters a picture with `film`: same height, width rounded down to a multiple of 16,
    // never mirrored or cropped. `caller` and `meta` are not used.
    image::ImageRef filterImage(const void* caller, const image::ImageRef& source, const void* meta,
                                int32_t film);

    FilmRenderState renderState() const {
        return {channelMixerValue, _sharpFlag, _blurFlag, _currentSharpness};
    }

    // ---- film state (written by changeToneCurve, read by every render)
    std::array<uint8_t, 256> contrastTable{};
    std::unique_ptr<uint8_t[]> toneCurveByteArray;  // 256 bytes, upload staging
    std::unique_ptr<uint8_t[]> toneRgbByteArray;    // 512 × 512 × 4 bytes, upload staging
    gpu::TextureRef contrastTexture;
    gpu::TextureRef lookup2DTexture;
    ChannelMix channelMixerValue = kDefaultChannelMix;
    bool _sharpFlag = false;
    bool _blurFlag = false;
    float _currentSharpness = 0;

    // ---- GPU
    gpu::DeviceRef metaldevice;
    gpu::CommandQueueRef commandQueue;

    // ---- full-resolution resources, rebuilt for every size
    gpu::PixelBufferRef offlineOutputTarget;
    gpu::VideoTextureRef cvTexture;
    gpu::TextureRef offlineOutputTexture;
    gpu::TextureRef offlinePreTexture;
    gpu::TextureRef offlineTexture;
    gpu::RenderPassDescriptor offlinePassDescriptor;
    gpu::RenderPassDescriptor offlinePrePassDescriptor;
    gpu::RenderPipelineStateRef offlineRenderPipelineState;
    gpu::RenderPipelineStateRef offlinePreRenderPipelineState;
    gpu::RenderPipelineStateRef offlineRenderColorPipelineState;

    // ---- camera state
    // The camera screen's film: it picks the lookup and the render variant. The screen applies
    // it with changeToneCurve(_currentFilm) or selectFilm().
    int32_t _currentFilm = 0;
    int32_t _photoWidth = 0, _photoHeight = 0;
    int32_t _currentFrame = 0;
    int64_t _currentCameraPosition = 1;  // 2 is the front camera
    bool _drawGL = true;

  private:
    void makeOfflineOutputTarget(size_t width, size_t height);
    bool offlineSizeIs(size_t width, size_t height) const;
    void renderOffline(const gpu::TextureRef& source, const TexCoordTable& texCoords,
                       bool colorPass, size_t width, size_t height);
    image::ImageRef readBackGrey(size_t width, size_t height) const;
    image::ImageRef readBackColor(size_t width, size_t height, bool crop);

    std::string missingFilmResource_;

    // Images read back without a copy hold this lease; while one is alive the output pixel
    // buffer is not rendered into again.
    std::shared_ptr<int> outputLease_;
};

}  // namespace hx::film
